// Reading calibration files: channel types, the union of points, rounding, slope 0, empty and
// damaged files, argument checks.
#include "test_files.h"

namespace calstore_test {
namespace {

using ReadFileTest = CalstoreTest;

TEST_F(ReadFileTest, EachChannelTypeSeesOnlyItsOwnRecords) {
  WriteBytes(At("a.jz"), Record(5, 0, {{0, 10, 2, 0}}, 7) + Record(5, 1, {{20, 80, 1, 5}}, 9) +
                             Record(6, 0, {{0, 10, 1, 0}}, 8));
  const ReadResult t = Read(At("a.jz"), 0);
  ASSERT_EQ(t.rc, 0);
  EXPECT_EQ(t.points, (std::vector<float>{0, 10}));
  EXPECT_EQ(t.cards, (std::vector<int32_t>{5, 6}));
  EXPECT_EQ(t.values[0], (std::vector<float>{0, 5}));  // (x - b) / k
  EXPECT_EQ(t.kind, 7);                               // the first record accepted
  const ReadResult h = Read(At("a.jz"), 1);
  ASSERT_EQ(h.rc, 0);
  EXPECT_EQ(h.points, (std::vector<float>{20, 80}));
  EXPECT_EQ(h.cards, (std::vector<int32_t>{5}));
  EXPECT_EQ(h.values[0], (std::vector<float>{15, 75}));
  EXPECT_EQ(h.kind, 9);
}

TEST_F(ReadFileTest, NoRecordOfTheTypeOrAnEmptyFileGiveEmptyArrays) {
  WriteBytes(At("t.jz"), Record(1, 0, {{0, 1, 1, 0}}));
  WriteBytes(At("empty.jz"), "");
  for (const auto& [name, type] : {std::pair{"t.jz", 1}, std::pair{"empty.jz", 0}}) {
    const ReadResult r = Read(At(name), uint8_t(type));
    EXPECT_EQ(r.rc, 0) << name;
    EXPECT_TRUE(r.points.empty() && r.cards.empty() && r.values.empty()) << name;
    EXPECT_EQ(r.kind, 0xEE) << name << ": kind is left unchanged";
  }
}

TEST_F(ReadFileTest, PointsAreTheUnionWithHolesWhereACardHasNoValue) {
  WriteBytes(At("u.jz"), Record(2, 0, {{0, 10, 1, 0}, {10, 20, 1, 0}}) +
                             Record(1, 0, {{-10, 10, 2, 0}}));
  const ReadResult r = Read(At("u.jz"), 0);
  ASSERT_EQ(r.rc, 0);
  EXPECT_EQ(r.points, (std::vector<float>{-10, 0, 10, 20}));
  EXPECT_EQ(r.cards, (std::vector<int32_t>{1, 2}));  // ascending, not file order
  EXPECT_EQ(r.values[0], (std::vector<float>{-5, -1000, 5, -1000}));
  EXPECT_EQ(r.values[1], (std::vector<float>{-1000, 0, 10, 20}));
}

TEST_F(ReadFileTest, ReferencesAreRoundedToOneDecimal) {
  // 25.04 and 25.0 are one point; the value is computed from the rounded point.
  WriteBytes(At("r.jz"), Record(1, 0, {{0, 25.04f, 1, 0}}) + Record(2, 0, {{25.0f, 30, 1, 1}}) +
                             Record(3, 0, {{0.05f, 1, 1, 0}}));
  const ReadResult r = Read(At("r.jz"), 0);
  ASSERT_EQ(r.rc, 0);
  EXPECT_EQ(r.points, (std::vector<float>{0, 0.1f, 1, 25, 30}));  // 0.05f is 0.0500000007 -> 0.1
  EXPECT_EQ(r.values[0][3], 25.0f);
  EXPECT_EQ(r.values[1][3], 24.0f);
}

TEST_F(ReadFileTest, ASegmentWithSlopeZeroGivesPointsButNoValues) {
  WriteBytes(At("z.jz"), Record(4, 0, {{0, 5, 0, 3}, {5, 9, 1, 0}}));
  const ReadResult r = Read(At("z.jz"), 0);
  ASSERT_EQ(r.rc, 0);
  EXPECT_EQ(r.points, (std::vector<float>{0, 5, 9}));
  EXPECT_EQ(r.values[0], (std::vector<float>{-1000, 5, 9}));
}

TEST_F(ReadFileTest, APointSharedByTwoSegmentsTakesTheValueOfTheFirst) {
  WriteBytes(At("s.jz"), Record(1, 0, {{0, 10, 1, 0}, {10, 20, 2, 0}}));
  const ReadResult r = Read(At("s.jz"), 0);
  ASSERT_EQ(r.rc, 0);
  EXPECT_EQ(r.values[0], (std::vector<float>{0, 10, 10}));
}

TEST_F(ReadFileTest, TwoRecordsOfOneCardAddUpTheirSegments) {
  WriteBytes(At("d.jz"), Record(1, 0, {{0, 10, 1, 0}}) + Record(1, 0, {{10, 20, 1, 0}}));
  const ReadResult r = Read(At("d.jz"), 0);
  ASSERT_EQ(r.rc, 0);
  EXPECT_EQ(r.cards, (std::vector<int32_t>{1}));
  EXPECT_EQ(r.values[0], (std::vector<float>{0, 10, 20}));
}

// The point count is one byte: 255 points are handed out whole, more are a failure with nothing
// handed out (not a count cut to its low byte with arrays cut to match).
TEST_F(ReadFileTest, MoreThan255PointsAreAFailureNotACutList) {
  for (const int distinct : {255, 256, 261}) {
    std::string bytes;
    std::vector<Segment> segments;
    for (int x = 0; x + 1 < distinct; ++x) {
      segments.push_back({float(x), float(x + 1), 1, 0});
      if (segments.size() == 100) bytes += Record(int(bytes.size()), 0, segments), segments = {};
    }
    bytes += Record(-1, 0, segments);
    WriteBytes(At("many.jz"), bytes);
    float* points = reinterpret_cast<float*>(0x1);
    int32_t* cards = reinterpret_cast<int32_t*>(0x2);
    float** values = reinterpret_cast<float**>(0x3);
    uint8_t count = 7, kind = 9;
    uint32_t cardCount = 8;
    const int32_t rc = JZReadFile(W("many.jz").c_str(), 0, &points, &count, &cards, &cardCount,
                                  &values, &kind);
    if (distinct == 255) {
      ASSERT_EQ(rc, 0);
      EXPECT_EQ(count, 255);
      EXPECT_EQ(points[254], 254.0f);
      EXPECT_EQ(values[0][254], 254.0f);
      for (uint32_t c = 0; c < cardCount; ++c) JZFreeArray(values[c]);
      JZFreeArray(values);
      JZFreeArray(cards);
      JZFreeArray(points);
      continue;
    }
    EXPECT_EQ(rc, 103) << distinct;
    EXPECT_TRUE(points == reinterpret_cast<float*>(0x1) && cards == reinterpret_cast<int32_t*>(0x2) &&
                values == reinterpret_cast<float**>(0x3) && count == 7 && cardCount == 8 &&
                kind == 9)
        << "nothing handed out";
  }
}

TEST_F(ReadFileTest, ResultCodesComeInTheirOrder) {
  float* points;
  int32_t* cards;
  float** values;
  uint8_t count;
  uint32_t cardCount;
  // A missing file is reported before the null pointers.
  EXPECT_EQ(JZReadFile(W("missing.jz").c_str(), 0, nullptr, nullptr, nullptr, nullptr, nullptr,
                       nullptr),
            101);
  EXPECT_EQ(JZReadFile(nullptr, 0, &points, &count, &cards, &cardCount, &values, nullptr), 101);
  EXPECT_EQ(JZReadFile(Wide(dir_).c_str(), 0, &points, &count, &cards, &cardCount, &values, nullptr),
            101)
      << "a folder cannot be opened as a file";
  WriteBytes(At("f.jz"), Record(1, 0, {{0, 1, 1, 0}}));
  const std::u16string f = W("f.jz");
  EXPECT_EQ(JZReadFile(f.c_str(), 0, nullptr, &count, &cards, &cardCount, &values, nullptr), 102);
  EXPECT_EQ(JZReadFile(f.c_str(), 0, &points, &count, nullptr, &cardCount, &values, nullptr), 102);
  EXPECT_EQ(JZReadFile(f.c_str(), 0, &points, &count, &cards, &cardCount, nullptr, nullptr), 102);
  EXPECT_EQ(JZReadFile(f.c_str(), 0, &points, nullptr, &cards, &cardCount, &values, nullptr), 102);
  EXPECT_EQ(JZReadFile(f.c_str(), 0, &points, &count, &cards, nullptr, &values, nullptr), 102);
  ASSERT_EQ(JZReadFile(f.c_str(), 0, &points, &count, &cards, &cardCount, &values, nullptr), 0);
  JZFreeArray(values[0]);
  JZFreeArray(values);
  JZFreeArray(cards);
  JZFreeArray(points);
  JZFreeArray(nullptr);
}

// A truncated last record would otherwise contribute the bytes of an unfilled buffer.
TEST_F(ReadFileTest, ATruncatedLastRecordEndsTheReading) {
  const std::string whole = Record(1, 0, {{0, 10, 1, 0}});
  const std::string cut = Record(2, 0, {{0, 10, 1, 0}, {10, 20, 1, 0}});
  for (size_t keep : {size_t(5), size_t(12), size_t(12 + 16 + 7)}) {
    WriteBytes(At("t.jz"), whole + cut.substr(0, keep));
    const ReadResult r = Read(At("t.jz"), 0);
    ASSERT_EQ(r.rc, 0);
    EXPECT_EQ(r.cards, (std::vector<int32_t>{1})) << keep << " bytes of the last record";
    EXPECT_EQ(r.points, (std::vector<float>{0, 10}));
  }
}

TEST_F(ReadFileTest, ACorruptSegmentCountNeverReadsPastTheFile) {
  // A record that claims 255 segments and holds one; one of the other type that claims more than
  // the file holds, in front of a good record that is then out of reach.
  WriteBytes(At("c.jz"), Record(9, 0, {{0, 1, 1, 0}}, 1, 255));
  EXPECT_EQ(Read(At("c.jz"), 0).cards, std::vector<int32_t>{});
  WriteBytes(At("d.jz"), Record(3, 1, {{0, 1, 1, 0}}, 1, 200) + Record(4, 0, {{0, 1, 1, 0}}));
  const ReadResult r = Read(At("d.jz"), 0);
  EXPECT_EQ(r.rc, 0);
  EXPECT_TRUE(r.cards.empty());
}

}  // namespace
}  // namespace calstore_test
