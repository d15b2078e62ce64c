// Nothing is lost: a destination that names a source, and a failure in the middle of writing.
// Failures are real: a child process writes under a file-size limit, so the write of the new
// file fails part way as on a full disk.
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <functional>

#include "test_files.h"

namespace calstore_test {
namespace {

class DurabilityTest : public CalstoreTest {
 protected:
  // A file of cards first .. first + count - 1, two segments each; kind tells files apart.
  void Write(const std::string& name, int32_t first, int32_t count, uint8_t kind) {
    std::string bytes;
    for (int32_t card = first; card < first + count; ++card) {
      bytes += Record(card, 0, {{0, 10, 1, 0}, {10, 20, 1, 0}}, kind);
    }
    WriteBytes(At(name), bytes);
    ASSERT_EQ(JZAnalyFile(W(name).c_str()), 0);
  }
  std::vector<int32_t> Cards(const std::string& name) { return Read(At(name), 0).cards; }

  // Runs call in a child whose files may not grow past limit bytes; its result code.
  static int32_t UnderFileSizeLimit(rlim_t limit, const std::function<int32_t()>& call) {
    const pid_t child = ::fork();
    if (child == 0) {
      ::signal(SIGXFSZ, SIG_IGN);
      const rlimit r{limit, limit};
      ::setrlimit(RLIMIT_FSIZE, &r);
      ::_exit(call() & 0xFF);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  // Runs call in a child that may map only extra bytes more than it has already; its result code.
  static int32_t UnderMemoryLimit(size_t extra, const std::function<int32_t()>& call) {
    const pid_t child = ::fork();
    if (child == 0) {
      unsigned long pages = 0;
      if (std::FILE* f = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(f, "%lu", &pages) != 1) pages = 0;
        std::fclose(f);
      }
      const rlim_t limit = rlim_t(pages) * rlim_t(::sysconf(_SC_PAGESIZE)) + extra;
      const rlimit r{limit, limit};
      if (pages == 0 || ::setrlimit(RLIMIT_AS, &r) != 0) ::_exit(0xFE);
      ::_exit(call() & 0xFF);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
};

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kSanitized = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif
#else
constexpr bool kSanitized = false;
#endif

TEST_F(DurabilityTest, ADestinationThatNamesTheFirstSourceByAnotherSpellingLosesNothing) {
  fs::create_directory(At("sub"));
  fs::create_symlink(At("a.jz"), At("link.jz"));
  for (const std::string& destination :
       {At("sub/../a.jz").string(), At("a").string(), At("link.jz").string()}) {
    Write("a.jz", 1, 3, 1);
    Write("b.jz", 3, 2, 2);
    ASSERT_EQ(JZCombineFiles(U16(destination).c_str(), W("a.jz").c_str(), W("b.jz").c_str()), 0)
        << destination;
    EXPECT_EQ(Cards("a.jz"), (std::vector<int32_t>{1, 2, 3, 4})) << destination;
    EXPECT_EQ(DecodeFile(At("a.jz"))[2].kind, 1) << "card 3 of the first source";
    EXPECT_FALSE(fs::exists(At("a.jz.temp")));
  }
}

TEST_F(DurabilityTest, LinkedDataAndIndexFilesStayLinks) {
  fs::create_directory(At("store"));
  Write("store/a.jz", 1, 2, 1);
  Write("b.jz", 3, 1, 2);
  fs::create_symlink(At("store/a.jz"), At("l.jz"));
  fs::create_symlink(At("store/a.jz.ini"), At("l.jz.ini"));
  ASSERT_EQ(JZCombineFiles(W("l.jz").c_str(), W("l.jz").c_str(), W("b.jz").c_str()), 0);
  EXPECT_TRUE(fs::is_symlink(At("l.jz")));
  EXPECT_TRUE(fs::is_symlink(At("l.jz.ini")));
  EXPECT_EQ(Cards("store/a.jz"), (std::vector<int32_t>{1, 2, 3}));
  EXPECT_EQ(Section(At("store/a.jz.ini"), "cards").size(), 3u);
}

TEST_F(DurabilityTest, ADestinationThatIsTheSecondSourceLosesNothing) {
  Write("a.jz", 1, 2, 1);
  Write("b.jz", 2, 3, 2);
  ASSERT_EQ(JZCombineFiles(W("b.jz").c_str(), W("a.jz").c_str(), W("b.jz").c_str()), 0);
  EXPECT_EQ(Cards("b.jz"), (std::vector<int32_t>{1, 2, 3, 4}));
  EXPECT_EQ(DecodeFile(At("b.jz"))[1].kind, 1);
}

TEST_F(DurabilityTest, AFailedMergeLeavesTheDestinationAsItWas) {
  Write("d.jz", 1, 2, 1);
  Write("big.jz", 100, 2000, 2);
  const auto before = Snapshot();
  EXPECT_EQ(UnderFileSizeLimit(4096, [&] {
              return JZCombineFiles(W("d.jz").c_str(), W("d.jz").c_str(), W("big.jz").c_str());
            }),
            103);
  EXPECT_EQ(Snapshot(), before) << "destination, index, no temporary file left";
  EXPECT_EQ(UnderFileSizeLimit(4096, [&] {
              return JZCombineFiles(W("big.jz").c_str(), W("d.jz").c_str(), W("big.jz").c_str());
            }),
            103);
  EXPECT_EQ(Snapshot(), before);
  // Without the limit the same merge goes through.
  ASSERT_EQ(JZCombineFiles(W("d.jz").c_str(), W("d.jz").c_str(), W("big.jz").c_str()), 0);
  EXPECT_EQ(Cards("d.jz").size(), 2002u);
}

TEST_F(DurabilityTest, AFailedCreateLeavesThePreviousFileAsItWas) {
  Write("c.jz", 1, 2, 1);
  const auto before = Snapshot();
  std::vector<int32_t> cards(3000);
  for (size_t i = 0; i < cards.size(); ++i) cards[i] = int32_t(i);
  std::vector<float> measured(cards.size() * 10, 1.0f);
  for (size_t i = 0; i < cards.size(); ++i) measured[i * 10 + 1] = 2.0f;
  const float refs[] = {0, 10};
  EXPECT_EQ(UnderFileSizeLimit(4096, [&] {
              return JZCreateFile(W("c.jz").c_str(), 0, refs, 2, cards.data(),
                                  int32_t(cards.size()), measured.data(), 0);
            }),
            103);
  EXPECT_EQ(Snapshot(), before);
}

TEST_F(DurabilityTest, AFailedImportLeavesThePreviousTargetAsItWas) {
  fs::create_directory(At("src"));
  Write("src/s.jz", 1, 2000, 2);
  Write("t.jz", 5000, 2, 1);
  const auto before = Snapshot();
  EXPECT_EQ(UnderFileSizeLimit(4096, [&] {
              return JZImportInfoStr(W("t").c_str(), W("src").c_str(), u"1-2000");
            }),
            103);
  EXPECT_EQ(Snapshot(), before) << "target and index back, no .old left";
}

TEST_F(DurabilityTest, AMergeEndedByOutOfMemoryLeavesNoTemporaryCopy) {
  if (kSanitized) GTEST_SKIP() << "the sanitizers' allocator aborts instead of throwing";
  Write("d.jz", 1, 2, 1);
  // 300,000 records without segments: 3.6 MB on disk, far more than 16 MB once held in memory.
  std::string big;
  for (int32_t card = 0; card < 300000; ++card) big += Record(card, 0, {}, 2);
  WriteBytes(At("big.jz"), big);
  big.clear();
  big.shrink_to_fit();
  const std::string data = ReadBytes(At("d.jz")), index = ReadBytes(At("d.jz.ini"));
  EXPECT_EQ(UnderMemoryLimit(16u << 20, [&] {
              return JZCombineFiles(W("d.jz").c_str(), W("d.jz").c_str(), W("big.jz").c_str());
            }),
            103);
  EXPECT_FALSE(fs::exists(At("d.jz.temp")));
  EXPECT_TRUE(ReadBytes(At("d.jz")) == data && ReadBytes(At("d.jz.ini")) == index)
      << "the destination and its index as they were";
  EXPECT_EQ(Snapshot().size(), 3u) << "d.jz, its index and big.jz, no temporary file";
}

TEST_F(DurabilityTest, AnImportEndedByOutOfMemoryPutsThePreviousTargetBack) {
  if (kSanitized) GTEST_SKIP() << "the sanitizers' allocator aborts instead of throwing";
  fs::create_directory(At("src"));
  Write("src/s.jz", 1, 2, 2);
  Write("t.jz", 5000, 2, 1);
  const auto before = Snapshot();
  // Two million keys to look for need far more than the 32 MB the child may still map.
  std::vector<int32_t> cards(1000000);
  for (size_t i = 0; i < cards.size(); ++i) cards[i] = int32_t(i + 1);
  EXPECT_EQ(UnderMemoryLimit(32u << 20, [&] {
              return JZImportInfo(W("t").c_str(), W("src").c_str(), cards.data(),
                                  int32_t(cards.size()), 1);
            }),
            103);
  EXPECT_EQ(Snapshot(), before) << "target and index back, no .old left";
}

}  // namespace
}  // namespace calstore_test
