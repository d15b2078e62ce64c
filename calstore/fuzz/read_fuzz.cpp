// Fuzz target: arbitrary bytes as a calibration file, through reading, indexing, look-up,
// correction and merging. Any crash, sanitizer report or broken invariant is a finding.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include <unistd.h>

#include "calstore.h"

namespace {

std::u16string Wide(const std::string& s) { return std::u16string(s.begin(), s.end()); }

// A folder of its own for the input file and what the library writes beside it; a plain array
// so that it outlives every destructor and can be removed at exit.
char g_directory[4096];

void RemoveWorkDirectory() {
  for (const char* name : {"/in.jz", "/in.jz.ini", "/merged.jz", "/merged.jz.ini"}) {
    std::remove((std::string(g_directory) + name).c_str());
  }
  ::rmdir(g_directory);
}

std::string WorkDirectory() {
  if (!g_directory[0]) {
    const char* base = std::getenv("TMPDIR");
    std::snprintf(g_directory, sizeof g_directory, "%s/calstore-fuzz-XXXXXX",
                  base && *base ? base : "/tmp");
    if (!::mkdtemp(g_directory)) std::abort();
    std::atexit(RemoveWorkDirectory);
  }
  return g_directory;
}

void Check(bool condition) {
  if (!condition) __builtin_trap();
}

// Reads one channel type and checks what was handed out.
void ReadAndCheck(const std::u16string& path, uint8_t type) {
  float* points = nullptr;
  int32_t* cards = nullptr;
  float** values = nullptr;
  uint8_t pointCount = 0, kind = 0;
  uint32_t cardCount = 0;
  const int32_t rc =
      JZReadFile(path.c_str(), type, &points, &pointCount, &cards, &cardCount, &values, &kind);
  Check(rc == 0 || rc == 103);
  if (rc != 0) return;
  for (uint32_t i = 1; i < cardCount; ++i) Check(cards[i - 1] < cards[i]);
  for (unsigned j = 1; j < pointCount; ++j) Check(!(points[j] < points[j - 1]));
  float sum = 0;
  for (uint32_t c = 0; c < cardCount; ++c) {
    for (unsigned j = 0; j < pointCount; ++j) sum += values[c][j];  // every value is readable
    JZFreeArray(values[c]);
  }
  (void)sum;
  JZFreeArray(values);
  JZFreeArray(cards);
  JZFreeArray(points);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string file = WorkDirectory() + "/in.jz";
  std::remove((file + ".ini").c_str());
  std::FILE* f = std::fopen(file.c_str(), "wb");
  if (!f) std::abort();
  if (size) std::fwrite(data, 1, size, f);
  std::fclose(f);
  const std::u16string path = Wide(file);

  ReadAndCheck(path, 0);
  ReadAndCheck(path, 1);
  Check(JZAnalyFile(path.c_str()) == 0);
  // Look up and correct with the first card of the file, when it has a whole header.
  if (size >= 12) {
    const int32_t card = static_cast<int32_t>(uint32_t(data[8]) | uint32_t(data[9]) << 8 |
                                              uint32_t(data[10]) << 16 | uint32_t(data[11]) << 24);
    int32_t offset = -1;
    if (JZFileContain(path.c_str(), card, data[1], &offset)) {
      Check(offset >= 0 && static_cast<size_t>(offset) + 12 <= size);
    }
    for (const float x : {-50.0f, 0.0f, 25.0f, 1e30f}) {
      (void)JZAjustData(path.c_str(), card, data[1], x, 0, nullptr, nullptr);
    }
  }
  const std::u16string merged = Wide(WorkDirectory() + "/merged.jz");
  Check(JZCombineFiles(merged.c_str(), path.c_str(), path.c_str()) == 0);
  ReadAndCheck(merged, 0);
  return 0;
}
