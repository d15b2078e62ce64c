#pragma once
// Helpers of the calstore tests: a temporary folder, UTF-16 paths, calibration records written
// byte by byte (independently of the library's writer), and JZReadFile results as plain vectors.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "calstore.h"
#include "utf.h"

namespace calstore_test {

namespace fs = std::filesystem;

inline std::u16string U16(const std::string& utf8) { return calstore::Utf8ToUtf16(utf8); }

// Paths to and from UTF-8 without the narrow code page (which on Windows is not UTF-8).
inline std::string Utf8(const fs::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}
inline fs::path PathOf(const std::string& utf8) {
  return fs::path(std::u8string(utf8.begin(), utf8.end()));
}

// A new folder under the temporary folder, its name holding Chinese characters so that every
// test goes through paths outside ASCII.
inline fs::path NewTestFolder(const std::string& stem) {
  std::random_device seed;
  std::mt19937_64 random(seed());
  for (int attempt = 0; attempt < 100; ++attempt) {
    const fs::path dir =
        fs::temp_directory_path() / PathOf(stem + "-校准-" + std::to_string(random() % 1000000000));
    std::error_code ec;
    if (fs::create_directory(dir, ec)) return dir;
  }
  return {};
}

struct Segment {
  float x0, x1, k, b;
};

// A record as bytes: kind, type, range bytes, count, 3 padding bytes, card, segments.
inline std::string Record(int32_t card, uint8_t type, const std::vector<Segment>& segments,
                          uint8_t kind = 1, int count = -1) {
  std::string r(12, '\0');
  r[0] = char(kind);
  r[1] = char(type);
  r[2] = type == 1 ? 0 : char(-20);
  r[3] = type == 1 ? 100 : 60;
  r[4] = char(count >= 0 ? count : int(segments.size()));
  std::memcpy(&r[8], &card, 4);  // the tests run on little-endian machines
  for (const Segment& s : segments) {
    char raw[16];
    std::memcpy(raw, &s, 16);
    r.append(raw, 16);
  }
  return r;
}

inline std::string ReadBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

inline void WriteBytes(const fs::path& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

// One record as decoded from bytes.
struct Decoded {
  uint8_t kind, type;
  int8_t low, high;
  int32_t card;
  std::vector<Segment> segments;
};

// Every record of a file, in file order (stops at a record the bytes do not hold whole).
inline std::vector<Decoded> DecodeFile(const fs::path& path) {
  const std::string bytes = ReadBytes(path);
  std::vector<Decoded> records;
  size_t pos = 0;
  while (pos + 12 <= bytes.size()) {
    Decoded d;
    d.kind = uint8_t(bytes[pos]);
    d.type = uint8_t(bytes[pos + 1]);
    d.low = int8_t(bytes[pos + 2]);
    d.high = int8_t(bytes[pos + 3]);
    const size_t n = uint8_t(bytes[pos + 4]);
    std::memcpy(&d.card, &bytes[pos + 8], 4);
    pos += 12;
    if (pos + 16 * n > bytes.size()) break;
    d.segments.resize(n);
    if (n) std::memcpy(d.segments.data(), &bytes[pos], 16 * n);
    pos += 16 * n;
    records.push_back(std::move(d));
  }
  return records;
}

// The JZReadFile result as vectors; every array handed out is given back.
struct ReadResult {
  int32_t rc = -1;
  std::vector<float> points;
  std::vector<int32_t> cards;
  std::vector<std::vector<float>> values;
  uint8_t kind = 0xEE;  // untouched marker
};

inline ReadResult Read(const fs::path& path, uint8_t type) {
  ReadResult r;
  float* points = nullptr;
  int32_t* cards = nullptr;
  float** values = nullptr;
  uint8_t pointCount = 0;
  uint32_t cardCount = 0;
  const std::u16string p = U16(Utf8(path));
  r.rc = JZReadFile(p.c_str(), type, &points, &pointCount, &cards, &cardCount, &values, &r.kind);
  if (r.rc != 0) return r;
  EXPECT_NE(points, nullptr);
  EXPECT_NE(cards, nullptr);
  EXPECT_NE(values, nullptr);
  r.points.assign(points, points + pointCount);
  r.cards.assign(cards, cards + cardCount);
  for (uint32_t c = 0; c < cardCount; ++c) {
    r.values.emplace_back(values[c], values[c] + pointCount);
    JZFreeArray(values[c]);
  }
  JZFreeArray(values);
  JZFreeArray(cards);
  JZFreeArray(points);
  return r;
}

// Key=value lines of one section of an INI file, in file order.
inline std::vector<std::pair<std::string, std::string>> Section(const fs::path& ini,
                                                                const std::string& name) {
  std::vector<std::pair<std::string, std::string>> entries;
  std::ifstream in(ini, std::ios::binary);
  std::string line;
  bool inside = false;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!line.empty() && line.front() == '[') {
      inside = line == "[" + name + "]";
    } else if (inside && line.find('=') != std::string::npos) {
      entries.emplace_back(line.substr(0, line.find('=')), line.substr(line.find('=') + 1));
    }
  }
  return entries;
}

// A fresh folder per test, removed afterwards.
class CalstoreTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = NewTestFolder("calstore-test");
    ASSERT_FALSE(dir_.empty());
  }
  void TearDown() override {
    std::error_code ec;
    fs::remove_all(dir_, ec);
  }

  fs::path At(const std::string& name) const { return dir_ / PathOf(name); }
  std::u16string W(const std::string& name) const { return U16(Utf8(At(name))); }
  std::u16string Wide(const fs::path& path) const { return U16(Utf8(path)); }

  // The files of the folder (recursively, relative names) with their bytes.
  std::map<std::string, std::string> Snapshot() const {
    std::map<std::string, std::string> files;
    for (const auto& e : fs::recursive_directory_iterator(dir_)) {
      if (e.is_regular_file()) files[Utf8(fs::relative(e.path(), dir_))] = ReadBytes(e.path());
    }
    return files;
  }

  fs::path dir_;
};

}  // namespace calstore_test
