// calstore-bench: creates, indexes, merges and reads calibration files of 10,000 and 100,000
// cards and prints the throughput of each step beside the time `cp` takes for the same file.
//
//   calstore-bench [DIRECTORY]     (default: a new folder under $TMPDIR, removed afterwards)
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "calstore.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

std::u16string Wide(const fs::path& p) {
  const std::string s = p.string();
  return std::u16string(s.begin(), s.end());
}

double Seconds(const std::function<void()>& work) {
  const auto start = Clock::now();
  work();
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// The time `cp from to` takes, the program started and waited for like any copy a script makes.
double CopyTime(const fs::path& from, const fs::path& to) {
  return Seconds([&] {
    const std::string a = from.string(), b = to.string();
    char* argv[] = {const_cast<char*>("cp"), const_cast<char*>(a.c_str()),
                    const_cast<char*>(b.c_str()), nullptr};
    pid_t pid;
    int status = 0;
    if (posix_spawnp(&pid, "cp", nullptr, nullptr, argv, environ) == 0) waitpid(pid, &status, 0);
    fs::remove(to);
  });
}

void Check(int32_t rc, const char* what) {
  if (rc != 0) {
    std::fprintf(stderr, "%s failed: %d\n", what, rc);
    std::exit(1);
  }
}

// Writes a file of count cards from first on, 10 reference points, every point measured.
void Create(const fs::path& path, int32_t first, int32_t count, uint8_t kind) {
  const float references[10] = {-20, -10, 0, 10, 20, 30, 40, 50, 60, 70};
  std::vector<int32_t> cards(count);
  std::vector<float> measured(size_t(count) * 10);
  for (int32_t c = 0; c < count; ++c) {
    cards[c] = first + c;
    for (int i = 0; i < 10; ++i) {
      measured[size_t(c) * 10 + i] = references[i] + 0.3f + 0.001f * float(c % 97) - 0.02f * float(i);
    }
  }
  Check(JZCreateFile(Wide(path).c_str(), 0, references, 10, cards.data(), count, measured.data(),
                     kind),
        "JZCreateFile");
}

void Row(const char* step, int32_t cards, const fs::path& file, double seconds, double cp) {
  const double mb = double(fs::file_size(file)) / 1e6;
  std::printf("%-8s %8d %9.2f %10.3f %10.1f %12.0f %10.3f %8.1fx\n", step, cards, mb, seconds,
              mb / seconds, cards / seconds, cp, seconds / cp);
}

void Run(const fs::path& dir, int32_t count) {
  const fs::path a = dir / "a.jz", b = dir / "b.jz", m = dir / "m.jz", copy = dir / "copy";
  double t = Seconds([&] { Create(a, 1, count, 1); });
  Row("create", count, a, t, CopyTime(a, copy));
  Create(b, count / 2, count, 2);

  fs::remove(dir / "a.jz.ini");
  t = Seconds([&] { Check(JZAnalyFile(Wide(a).c_str()), "JZAnalyFile"); });
  Row("index", count, a, t, CopyTime(a, copy));

  t = Seconds([&] { Check(JZCombineFiles(Wide(m).c_str(), Wide(a).c_str(), Wide(b).c_str()), "JZCombineFiles"); });
  const int32_t merged = count / 2 + count - 1;  // cards 1 .. count / 2 + count - 1
  Row("merge", merged, m, t, CopyTime(m, copy));

  uint32_t cardCount = 0;
  t = Seconds([&] {
    float* points;
    int32_t* cards;
    float** values;
    uint8_t pointCount;
    Check(JZReadFile(Wide(m).c_str(), 0, &points, &pointCount, &cards, &cardCount, &values, nullptr),
          "JZReadFile");
    for (uint32_t c = 0; c < cardCount; ++c) JZFreeArray(values[c]);
    JZFreeArray(values);
    JZFreeArray(cards);
    JZFreeArray(points);
  });
  if (cardCount != uint32_t(merged)) {
    std::fprintf(stderr, "read %u cards of the merged file, expected %d\n", cardCount, merged);
    std::exit(1);
  }
  Row("read", merged, m, t, CopyTime(m, copy));
  for (const char* name : {"a.jz", "a.jz.ini", "b.jz", "b.jz.ini", "m.jz", "m.jz.ini"}) {
    fs::remove(dir / name);
  }
}

}  // namespace

int main(int argc, char** argv) {
  fs::path dir;
  bool own = false;
  if (argc > 1) {
    dir = argv[1];
    fs::create_directories(dir);
  } else {
    std::string pattern = (fs::temp_directory_path() / "calstore-bench-XXXXXX").string();
    if (!mkdtemp(pattern.data())) return 1;
    dir = pattern;
    own = true;
  }
  std::printf("calibration files in %s (10 points, 9 segments per card)\n", dir.c_str());
  std::printf("%-8s %8s %9s %10s %10s %12s %10s %9s\n", "step", "cards", "MB", "seconds", "MB/s",
              "cards/s", "cp s", "vs cp");
  for (const int32_t count : {10000, 100000}) Run(dir, count);
  if (own) fs::remove_all(dir);
  return 0;
}
