// What a crashed replacement of a data file and its index leaves behind is settled by the next
// operation on that file: the previous pair or the new pair, never a mix, and no leftover.
#include <sys/wait.h>
#include <unistd.h>

#include "test_files.h"

namespace calstore_test {
namespace {

// The id of a process that has ended.
pid_t DeadProcess() {
  const pid_t child = ::fork();
  if (child == 0) ::_exit(0);
  int status = 0;
  ::waitpid(child, &status, 0);
  return child;
}

const std::string kTemperature = "\xE6\xB8\xA9\xE5\xBA\xA6";  // 温度

class RecoveryTest : public CalstoreTest {
 protected:
  void SetUp() override {
    CalstoreTest::SetUp();
    token_ = std::to_string(DeadProcess()) + "-3";
  }
  std::string Temp(const std::string& name, const std::string& role = "") const {
    return name + ".tmp-" + token_ + role;
  }

  const std::string oldData_ = Record(1, 0, {{0, 10, 1, 0}}) + Record(2, 0, {{0, 10, 2, 0}});
  const std::string oldIndex_ =
      "[info]\r\nescape=9_" + kTemperature + "\r\n[cards]\r\n1_0=0\r\n2_0=28\r\n";
  const std::string newData_ =
      Record(1, 0, {{0, 10, 3, 0}}) + Record(3, 0, {}) + Record(4, 0, {{0, 10, 1, 1}});
  const std::string newIndex_ =
      "[info]\r\nescape=8_" + kTemperature + "\r\n[cards]\r\n1_0=0\r\n3_0=28\r\n4_0=40\r\n";
  std::string token_;
};

struct Leftovers {
  const char* moment;
  bool newDataInPlace;
  bool indexInPlace;
  // Files beside t.jz named after the token: data temporary, .next, .prev, lone index temporary.
  const char* dataTemp;   // "" none, "part" half of the new data, "whole" the new data
  bool next, prev;
  const char* loneIndex;  // "" none, "whole" the new index, "cut" the new index cut short
  bool expectNew;         // else the previous pair
  bool expectInfo;        // the index keeps its "info" section (else it was rebuilt)
};

TEST_F(RecoveryTest, TheNextOperationSettlesEveryMomentOfACrashedReplacement) {
  const Leftovers cases[] = {
      {"writing the new data", false, true, "part", false, false, "", false, true},
      {"new index written", false, true, "whole", true, false, "", false, true},
      {"previous index moved aside", false, false, "whole", true, true, "", false, true},
      {"new data renamed in", true, false, "", true, true, "", true, true},
      {"new index renamed in", true, true, "", false, true, "", true, true},
      // An earlier version named the new index like a lone save; whole and agreeing, it is the
      // index of the data in place, and its "info" section is kept.
      {"earlier version: data renamed in", true, false, "", false, false, "whole", true, true},
      {"a lone index save cut short", true, false, "", false, false, "cut", true, false},
  };
  for (const Leftovers& c : cases) {
    SCOPED_TRACE(c.moment);
    for (const auto& e : fs::directory_iterator(dir_)) fs::remove(e.path());
    WriteBytes(At("t.jz"), c.newDataInPlace ? newData_ : oldData_);
    if (c.indexInPlace) WriteBytes(At("t.jz.ini"), c.newDataInPlace ? newIndex_ : oldIndex_);
    if (std::string(c.dataTemp) == "part") WriteBytes(At(Temp("t.jz")), newData_.substr(0, 20));
    if (std::string(c.dataTemp) == "whole") WriteBytes(At(Temp("t.jz")), newData_);
    if (c.next) WriteBytes(At(Temp("t.jz.ini", ".next")), newIndex_);
    if (c.prev) WriteBytes(At(Temp("t.jz.ini", ".prev")), oldIndex_);
    if (std::string(c.loneIndex) == "whole") WriteBytes(At(Temp("t.jz.ini")), newIndex_);
    if (std::string(c.loneIndex) == "cut") {
      WriteBytes(At(Temp("t.jz.ini")), newIndex_.substr(0, newIndex_.size() - 6));
    }

    int32_t offset = -1;
    EXPECT_EQ(JZFileContain(W("t.jz").c_str(), 1, 0, &offset), 1);
    EXPECT_EQ(offset, 0);
    const auto files = Snapshot();
    EXPECT_EQ(files.size(), 2u) << "t.jz and its index, nothing else";
    EXPECT_EQ(ReadBytes(At("t.jz")), c.expectNew ? newData_ : oldData_);
    if (c.expectInfo) {
      EXPECT_EQ(ReadBytes(At("t.jz.ini")), c.expectNew ? newIndex_ : oldIndex_);
    } else {
      EXPECT_EQ(Section(At("t.jz.ini"), "cards").size(), 3u);
    }
  }
}

TEST_F(RecoveryTest, EveryOperationOnTheFileSettlesItsLeftovers) {
  const auto operations = std::vector<std::pair<const char*, std::function<void()>>>{
      {"read", [&] { EXPECT_EQ(Read(At("t.jz"), 0).rc, 0); }},
      {"index", [&] { EXPECT_EQ(JZAnalyFile(W("t.jz").c_str()), 0); }},
      {"merge into", [&] {
         WriteBytes(At("s.jz"), Record(5, 0, {}));
         EXPECT_EQ(JZCombineFiles(W("t.jz").c_str(), W("t.jz").c_str(), W("s.jz").c_str()), 0);
       }},
      {"import into", [&] {
         fs::create_directory(At("src"));
         const int32_t card = 1;
         EXPECT_EQ(JZImportInfo(W("t").c_str(), W("src").c_str(), &card, 1, 1), 0);
       }},
  };
  for (const auto& [name, operation] : operations) {
    SCOPED_TRACE(name);
    fs::remove_all(dir_);
    fs::create_directory(dir_);
    // The new data was renamed in when the process died.
    WriteBytes(At("t.jz"), newData_);
    WriteBytes(At(Temp("t.jz.ini", ".next")), newIndex_);
    WriteBytes(At(Temp("t.jz.ini", ".prev")), oldIndex_);
    operation();
    EXPECT_FALSE(fs::exists(At(Temp("t.jz.ini", ".next"))));
    EXPECT_FALSE(fs::exists(At(Temp("t.jz.ini", ".prev"))));
    EXPECT_EQ(Section(At("t.jz.ini"), "info").size(), 1u) << "the index of the new data";
    EXPECT_EQ(DecodeFile(At("t.jz"))[1].card, 3);
  }
}

TEST_F(RecoveryTest, FilesOfARunningProcessOrOfOtherNamesAreLeftAlone) {
  WriteBytes(At("t.jz"), oldData_);
  WriteBytes(At("t.jz.ini"), oldIndex_);
  const std::string running = ".tmp-" + std::to_string(::getppid()) + "-1";
  const std::vector<std::string> others = {
      "t.jz" + running, "t.jz.ini" + running + ".next", "t.jz.ini" + running,
      "t.jz.temp", "t.jz.old.x", "t.jz.tmp-", "t.jz.tmp-12", "t.jz.tmp-x-1",
      "t.jz.tmp-" + token_ + ".bak", "u.jz" + Temp("")};
  for (const std::string& name : others) WriteBytes(At(name), "not ours to remove: " + name);
  const auto before = Snapshot();
  EXPECT_EQ(JZFileContain(W("t.jz").c_str(), 2, 0, nullptr), 1);
  fs::create_directory(At("src"));
  const int32_t card = 1;
  EXPECT_EQ(JZImportInfo(W("t").c_str(), W("src").c_str(), &card, 1, 1), 0);
  for (const std::string& name : others) {
    EXPECT_EQ(ReadBytes(At(name)), "not ours to remove: " + name) << name;
  }
}

// A process that ended but was not reaped (no init reaps it in a container) writes nothing more.
TEST_F(RecoveryTest, LeftoversOfAnUnreapedProcessAreSettledToo) {
  const pid_t zombie = ::fork();
  if (zombie == 0) ::_exit(0);
  for (int i = 0; i < 500; ++i) {  // until it has ended
    const std::string stat = ReadBytes("/proc/" + std::to_string(zombie) + "/stat");
    if (stat.find(") Z") != std::string::npos) break;
    ::usleep(1000);
  }
  WriteBytes(At("t.jz"), oldData_);
  const std::string temp = "t.jz.tmp-" + std::to_string(zombie) + "-0";
  WriteBytes(At(temp), "half");
  EXPECT_EQ(JZFileContain(W("t.jz").c_str(), 1, 0, nullptr), 1);
  EXPECT_FALSE(fs::exists(At(temp)));
  int status = 0;
  ::waitpid(zombie, &status, 0);
}

}  // namespace
}  // namespace calstore_test
