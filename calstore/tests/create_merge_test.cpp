// Writing, indexing, merging, looking up and correcting.
#include <cmath>

#include "test_files.h"

namespace calstore_test {
namespace {

constexpr float kNo = JZ_NO_VALUE;

class CreateMergeTest : public CalstoreTest {
 protected:
  // Writes a file of the given cards; measured holds 10 values per card.
  int32_t Create(const std::string& name, uint8_t type, std::vector<float> references,
                 std::vector<int32_t> cards, std::vector<float> measured, uint8_t kind = 3) {
    measured.resize(cards.size() * 10, kNo);
    return JZCreateFile(W(name).c_str(), type, references.data(), uint8_t(references.size()),
                        cards.data(), int32_t(cards.size()), measured.data(), kind);
  }
  // One card per number, with a curve of two segments (0..10..20) whose values depend on the card.
  void Simple(const std::string& name, std::vector<int32_t> cards, uint8_t type = 0,
              float bias = 0) {
    std::vector<float> measured;
    for (int32_t card : cards) {
      const float m[10] = {bias + card * 0.01f, 10 + bias, 20.5f + bias};
      measured.insert(measured.end(), m, m + 10);
    }
    ASSERT_EQ(Create(name, type, {0, 10, 20}, cards, measured), 0);
  }
  std::vector<int32_t> CardsOf(const std::string& name) {
    std::vector<int32_t> cards;
    for (const Decoded& d : DecodeFile(At(name))) cards.push_back(d.card);
    return cards;
  }
};

TEST_F(CreateMergeTest, WritesRecordsAndIndexThatReadBack) {
  ASSERT_EQ(Create("out", 0, {-20, 0, 25, 50}, {7, 8},
                   {-19.5f, 0.4f, 24.5f, 49.0f, 0, 0, 0, 0, 0, 0,  //
                    kNo, 0.1f, kNo, 50.5f}, 42),
            0);
  EXPECT_TRUE(fs::exists(At("out.jz")));
  const auto records = DecodeFile(At("out.jz"));
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[0].kind, 42);
  EXPECT_EQ(records[0].type, 0);
  EXPECT_EQ(records[0].low, -20);
  EXPECT_EQ(records[0].high, 60);
  EXPECT_EQ(records[0].card, 7);
  ASSERT_EQ(records[0].segments.size(), 3u);
  const Segment& s = records[0].segments[1];  // 0 -> 25 over measured 0.4 -> 24.5
  EXPECT_EQ(s.x0, 0);
  EXPECT_EQ(s.x1, 25);
  EXPECT_EQ(s.k, (25.0f - 0.0f) / (24.5f - 0.4f));
  EXPECT_EQ(s.b, 25.0f - 24.5f * s.k);
  EXPECT_EQ(Section(At("out.jz.ini"), "cards"),
            (std::vector<std::pair<std::string, std::string>>{{"7_0", "0"}, {"8_0", "60"}}));

  const ReadResult r = Read(At("out.jz"), 0);
  ASSERT_EQ(r.rc, 0);
  EXPECT_EQ(r.kind, 42);
  EXPECT_EQ(r.points, (std::vector<float>{-20, 0, 25, 50}));
  EXPECT_NEAR(r.values[0][2], 24.5f, 1e-4);
  EXPECT_EQ(r.values[1][0], kNo);
  EXPECT_NEAR(r.values[1][3], 50.5f, 1e-4);
}

TEST_F(CreateMergeTest, HumidityRecordsCarryTheirRange) {
  ASSERT_EQ(Create("h.jz", 1, {20, 80}, {3}, {21, 79}), 0);
  const auto records = DecodeFile(At("h.jz"));
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].type, 1);
  EXPECT_EQ(records[0].low, 0);
  EXPECT_EQ(records[0].high, 100);
  EXPECT_EQ(Section(At("h.jz.ini"), "cards")[0].first, "3_1");
}

TEST_F(CreateMergeTest, TheSuffixIsAppendedUnlessThePathEndsInIt) {
  ASSERT_EQ(Create("out", 0, {0, 1}, {1}, {0, 1}), 0);
  ASSERT_EQ(Create("up.JZ", 0, {0, 1}, {1}, {0, 1}), 0);
  EXPECT_TRUE(fs::exists(At("out.jz")) && fs::exists(At("out.jz.ini")));
  EXPECT_TRUE(fs::exists(At("up.JZ.jz")) && fs::exists(At("up.JZ.jz.ini")));
  EXPECT_FALSE(fs::exists(At("up.JZ")));
}

TEST_F(CreateMergeTest, BadCountsGive102AndCreateNothing) {
  EXPECT_EQ(Create("a", 0, {0}, {1}, {0}), 102);          // one point
  EXPECT_EQ(Create("b", 0, {0, 1}, {}, {}), 102);         // no card
  std::vector<float> eleven(11, 1.0f);
  EXPECT_EQ(Create("c", 0, eleven, {1}, {}), 102);        // would read past the last card's row
  const float refs[2] = {0, 1};
  const int32_t card = 1;
  const float measured[10] = {0, 1};
  EXPECT_EQ(JZCreateFile(W("d").c_str(), 0, refs, 2, &card, -1, measured, 0), 102);
  EXPECT_EQ(JZCreateFile(W("e").c_str(), 0, nullptr, 2, &card, 1, measured, 0), 102);
  EXPECT_EQ(JZCreateFile(W("no-dir/f").c_str(), 0, refs, 2, &card, 1, measured, 0), 101);
  EXPECT_TRUE(Snapshot().empty());
}

TEST_F(CreateMergeTest, SegmentsJoinTheValidPointsInAscendingReference) {
  // References given in descending order; the card has values at points 0, 2 and 5 only.
  const std::vector<float> refs = {50, 40, 30, 20, 10, 0};
  ASSERT_EQ(Create("p", 0, refs, {9}, {49, kNo, 31, kNo, kNo, 1}), 0);
  const auto records = DecodeFile(At("p.jz"));
  ASSERT_EQ(records.size(), 1u);
  ASSERT_EQ(records[0].segments.size(), 2u);
  EXPECT_EQ(records[0].segments[0].x0, 0);
  EXPECT_EQ(records[0].segments[0].x1, 30);
  EXPECT_EQ(records[0].segments[1].x0, 30);
  EXPECT_EQ(records[0].segments[1].x1, 50);
  EXPECT_EQ(records[0].segments[1].k, 20.0f / 18.0f);
}

TEST_F(CreateMergeTest, ACardWithLessThanTwoPointsHasNoSegments) {
  ASSERT_EQ(Create("few", 0, {0, 10, 20}, {1, 2}, {kNo, kNo, kNo, 0, 0, 0, 0, 0, 0, 0,  //
                                                   kNo, 5, kNo}),
            0);
  const auto records = DecodeFile(At("few.jz"));
  ASSERT_EQ(records.size(), 2u);
  EXPECT_TRUE(records[0].segments.empty());
  EXPECT_TRUE(records[1].segments.empty());
  EXPECT_EQ(ReadBytes(At("few.jz")).size(), 24u);
}

TEST_F(CreateMergeTest, TheLaterOfTwoEqualReferencesWins) {
  ASSERT_EQ(Create("eq", 0, {0, 10, 10}, {1}, {0, 5, 8}), 0);
  const auto records = DecodeFile(At("eq.jz"));
  ASSERT_EQ(records[0].segments.size(), 1u);
  EXPECT_EQ(records[0].segments[0].k, 10.0f / 8.0f);
}

// A card given twice is written once, from its first row, so that reading, looking up,
// correcting and merging all see the same record.
TEST_F(CreateMergeTest, ACardGivenTwiceKeepsItsFirstRowEverywhere) {
  ASSERT_EQ(Create("dup", 0, {0, 10}, {5, 6, 5}, {0, 10, 0, 0, 0, 0, 0, 0, 0, 0,  //
                                                  1, 11, 0, 0, 0, 0, 0, 0, 0, 0,  //
                                                  2, 14}),
            0);
  const auto records = DecodeFile(At("dup.jz"));
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[0].card, 5);
  EXPECT_EQ(records[1].card, 6);
  EXPECT_EQ(records[0].segments[0].k, 1.0f) << "the first row: measured 0..10";
  EXPECT_EQ(Section(At("dup.jz.ini"), "cards"),
            (std::vector<std::pair<std::string, std::string>>{{"5_0", "0"}, {"6_0", "28"}}));
  EXPECT_EQ(Read(At("dup.jz"), 0).values[0], (std::vector<float>{0, 10}));
  int32_t offset = -1;
  EXPECT_EQ(JZFileContain(W("dup.jz").c_str(), 5, 0, &offset), 1);
  EXPECT_EQ(offset, 0);
  EXPECT_EQ(JZAjustData(W("dup.jz").c_str(), 5, 0, 5, 0, nullptr, nullptr), 5.0f);
  // A file made elsewhere with a key twice: the index names the first record too.
  WriteBytes(At("two.jz"), Record(5, 0, {{0, 10, 1, 0}}) + Record(5, 0, {{0, 10, 2, 0}}));
  ASSERT_EQ(JZAnalyFile(W("two.jz").c_str()), 0);
  EXPECT_EQ(JZAjustData(W("two.jz").c_str(), 5, 0, 5, 0, nullptr, nullptr), 5.0f);
}

TEST_F(CreateMergeTest, AnalyzeRebuildsTheIndexAndKeepsOtherSections) {
  WriteBytes(At("x.jz"), Record(5, 0, {{0, 1, 1, 0}, {1, 2, 1, 0}}) + Record(-3, 1, {}) +
                             Record(12, 0, {{0, 1, 1, 0}}));
  WriteBytes(At("x.jz.ini"), "[info]\r\nescape=1_\xE6\xB8\xA9\xE5\xBA\xA6\r\n[cards]\r\n99_0=4\r\n");
  ASSERT_EQ(JZAnalyFile(W("x.jz").c_str()), 0);
  EXPECT_EQ(Section(At("x.jz.ini"), "cards"),
            (std::vector<std::pair<std::string, std::string>>{
                {"5_0", "0"}, {"-3_1", "44"}, {"12_0", "56"}}));
  EXPECT_EQ(Section(At("x.jz.ini"), "info").size(), 1u);
  EXPECT_EQ(JZAnalyFile(W("none.jz").c_str()), 101);
  // The path is taken as given: no suffix is added.
  WriteBytes(At("plain"), Record(1, 0, {}));
  ASSERT_EQ(JZAnalyFile(W("plain").c_str()), 0);
  EXPECT_TRUE(fs::exists(At("plain.ini")));
}

TEST_F(CreateMergeTest, MergeKeepsTheFirstSourceOnACollisionAndOrdersByKeyText) {
  Simple("a.jz", {7, 10}, 0, 0.5f);
  Simple("b.jz", {2, 7}, 0, -0.5f);
  Simple("c.jz", {7}, 1);
  ASSERT_EQ(JZCombineFiles(W("m").c_str(), W("a.jz").c_str(), W("b.jz").c_str()), 0);
  // "10;0" < "2;0" < "7;0" as text.
  EXPECT_EQ(CardsOf("m.jz"), (std::vector<int32_t>{10, 2, 7}));
  const auto a = DecodeFile(At("a.jz"));
  const auto m = DecodeFile(At("m.jz"));
  EXPECT_EQ(std::memcmp(m[2].segments.data(), a[0].segments.data(), 32), 0) << "card 7 of a";
  EXPECT_EQ(Section(At("m.jz.ini"), "cards"),
            (std::vector<std::pair<std::string, std::string>>{
                {"10_0", "0"}, {"2_0", "44"}, {"7_0", "88"}}));
  // Both types of one card are two keys.
  ASSERT_EQ(JZCombineFiles(W("n.jz").c_str(), W("c.jz").c_str(), W("a.jz").c_str()), 0);
  const auto n = DecodeFile(At("n.jz"));
  ASSERT_EQ(n.size(), 3u);
  EXPECT_EQ(n[2].card, 7);
  EXPECT_EQ(n[2].type, 1);
}

// The user's files that merely have the names of temporary or backup files are not ours to use.
TEST_F(CreateMergeTest, MergeWithItselfLeavesFilesOfTheUserAlone) {
  Simple("d.jz", {1, 3});
  Simple("e.jz", {2, 3}, 0, 1.0f);
  const std::string before = ReadBytes(At("d.jz"));
  WriteBytes(At("d.jz.temp"), "the user's");
  WriteBytes(At("d.jz.old"), "the user's too");
  ASSERT_EQ(JZCombineFiles(W("d.jz").c_str(), W("d.jz").c_str(), W("e.jz").c_str()), 0);
  EXPECT_EQ(ReadBytes(At("d.jz.temp")), "the user's");
  EXPECT_EQ(ReadBytes(At("d.jz.old")), "the user's too");
  EXPECT_EQ(Snapshot().size(), 6u) << "d.jz, e.jz, their indexes, the user's two files";
  EXPECT_EQ(CardsOf("d.jz"), (std::vector<int32_t>{1, 2, 3}));
  EXPECT_EQ(ReadBytes(At("d.jz")).substr(0, 44), before.substr(0, 44));
  EXPECT_EQ(Read(At("d.jz"), 0).cards, (std::vector<int32_t>{1, 2, 3}));
}

TEST_F(CreateMergeTest, MergeOfAMissingSourceGives101) {
  Simple("a.jz", {1});
  EXPECT_EQ(JZCombineFiles(W("m.jz").c_str(), W("a.jz").c_str(), W("none.jz").c_str()), 101);
  EXPECT_EQ(JZCombineFiles(W("m.jz").c_str(), W("none.jz").c_str(), W("a.jz").c_str()), 101);
  EXPECT_EQ(JZCombineFiles(W("no-dir/m.jz").c_str(), W("a.jz").c_str(), W("a.jz").c_str()), 101);
  fs::create_directory(At("folder.jz"));
  EXPECT_EQ(JZCombineFiles(W("folder.jz").c_str(), W("a.jz").c_str(), W("a.jz").c_str()), 101);
  EXPECT_FALSE(fs::exists(At("m.jz")));
}

TEST_F(CreateMergeTest, ContainRecreatesAMissingIndex) {
  Simple("f.jz", {4, 5});
  Simple("g.jz", {6}, 1);
  fs::remove(At("f.jz.ini"));
  int32_t offset = -1;
  EXPECT_EQ(JZFileContain(W("f.jz").c_str(), 5, 0, &offset), 1);
  EXPECT_EQ(offset, 44);
  EXPECT_TRUE(fs::exists(At("f.jz.ini")));
  EXPECT_EQ(JZFileContain(W("f.jz").c_str(), 5, 1, &offset), 0);
  EXPECT_EQ(JZFileContain(W("g.jz").c_str(), 6, 1, nullptr), 1);
  EXPECT_EQ(JZFileContain(W("none.jz").c_str(), 5, 0, &offset), 0);
  EXPECT_EQ(JZFileContain(nullptr, 5, 0, &offset), 0);
  // Blanks around the value are ignored; an empty value is no record.
  WriteBytes(At("f.jz.ini"), "[cards]\n5_0 =  44 \n4_0=\n");
  EXPECT_EQ(JZFileContain(W("f.jz").c_str(), 5, 0, &offset), 1);
  EXPECT_EQ(JZFileContain(W("f.jz").c_str(), 4, 0, &offset), 0);
}

TEST_F(CreateMergeTest, AdjustWithoutARecordUsesTheDefaults) {
  Simple("a.jz", {1});
  const std::u16string a = W("a.jz");
  EXPECT_FLOAT_EQ(JZAjustData(a.c_str(), 100, 0, 20, 0, nullptr, nullptr), 21.7f);
  EXPECT_FLOAT_EQ(JZAjustData(a.c_str(), 3750, 0, 20, 0, nullptr, nullptr), 20.0f);
  EXPECT_FLOAT_EQ(JZAjustData(a.c_str(), 3749, 0, 20, 0, nullptr, nullptr), 21.7f);
  EXPECT_FLOAT_EQ(JZAjustData(a.c_str(), 100, 0, 20, 1, nullptr, nullptr), 20.0f);
  EXPECT_FLOAT_EQ(JZAjustData(a.c_str(), 100, 1, 50, 0, nullptr, nullptr), 48.5f);
  EXPECT_FLOAT_EQ(JZAjustData(a.c_str(), 100, 1, 50, 1, nullptr, nullptr), 48.5f);
  EXPECT_FLOAT_EQ(JZAjustData(W("none.jz").c_str(), 100, 0, 20, 0, nullptr, nullptr), 21.7f);
  const float k = 2, b = -1;
  EXPECT_FLOAT_EQ(JZAjustData(a.c_str(), 100, 0, 20, 0, &k, nullptr), 41.7f);
  EXPECT_FLOAT_EQ(JZAjustData(a.c_str(), 100, 0, 20, 0, nullptr, &b), 19.0f);
}

TEST_F(CreateMergeTest, AdjustFollowsTheCurveInsideBelowAndAbove) {
  // Card 8: 0..10 over measured 1..11 (k 1, b -1), 10..20 over 11..21.5 (k 10/10.5).
  ASSERT_EQ(Create("c.jz", 0, {0, 10, 20}, {8}, {1, 11, 21.5f}), 0);
  const auto seg = DecodeFile(At("c.jz"))[0].segments;
  const std::u16string c = W("c.jz");
  EXPECT_FLOAT_EQ(JZAjustData(c.c_str(), 8, 0, 5, 0, nullptr, nullptr), 4.0f);
  EXPECT_FLOAT_EQ(JZAjustData(c.c_str(), 8, 0, 15, 0, nullptr, nullptr),
                  seg[1].k * 15 + seg[1].b);
  // Below the first point: x plus the correction at the lowest point (0 - 1 = -1).
  EXPECT_FLOAT_EQ(JZAjustData(c.c_str(), 8, 0, -5, 0, nullptr, nullptr), -6.0f);
  // Above the last point: x plus the correction at the highest point (20 - 21.5 = -1.5).
  EXPECT_NEAR(JZAjustData(c.c_str(), 8, 0, 30, 0, nullptr, nullptr), 28.5f, 1e-5);
  // A curve replaces the overrides too.
  const float k = 3;
  EXPECT_FLOAT_EQ(JZAjustData(c.c_str(), 8, 0, 5, 0, &k, nullptr), 4.0f);
}

TEST_F(CreateMergeTest, AdjustOfARecordWithoutSegmentsUsesTheDefaults) {
  ASSERT_EQ(Create("e.jz", 0, {0, 10}, {8}, {kNo, 3}), 0);
  ASSERT_EQ(DecodeFile(At("e.jz"))[0].segments.size(), 0u);
  EXPECT_FLOAT_EQ(JZAjustData(W("e.jz").c_str(), 8, 0, 5, 0, nullptr, nullptr), 6.7f);
}

TEST_F(CreateMergeTest, AdjustIgnoresAnIndexThatPointsAtAnotherRecord) {
  ASSERT_EQ(Create("s.jz", 0, {0, 10}, {1, 2}, {5, 15, 0, 0, 0, 0, 0, 0, 0, 0, 0, 10}), 0);
  WriteBytes(At("s.jz.ini"), "[cards]\r\n1_0=28\r\n");  // card 2's record
  EXPECT_FLOAT_EQ(JZAjustData(W("s.jz").c_str(), 1, 0, 5, 0, nullptr, nullptr), 6.7f);
}

// The bytes of a truncated record would otherwise be taken from an unfilled buffer.
TEST_F(CreateMergeTest, ATruncatedLastRecordIsNeitherAppliedImportedIndexedNorMerged) {
  const std::string whole = Record(1, 0, {{0, 10, 1, 0}});
  const std::string cut = Record(2, 0, {{0, 10, 2, 0}, {10, 20, 2, 0}}).substr(0, 12 + 16 + 8);
  fs::create_directory(At("src"));
  for (const std::string name : {"t.jz", "src/t.jz"}) {
    WriteBytes(At(name), whole + cut);
    WriteBytes(At(name + ".ini"), "[cards]\r\n1_0=0\r\n2_0=28\r\n");  // names the cut record
  }
  EXPECT_FLOAT_EQ(JZAjustData(W("t.jz").c_str(), 2, 0, 5, 0, nullptr, nullptr), 6.7f);
  ASSERT_EQ(JZImportInfoStr(W("i").c_str(), W("src").c_str(), u"2"), 0);
  EXPECT_EQ(fs::file_size(At("i.jz")), 0u);
  EXPECT_EQ(Section(At("i.jz.ini"), "info")[0].second, "2_\xE6\xB9\xBF\xE5\xBA\xA6")
      << "the indexed key counts as done, only 2_湿度 is missing";
  ASSERT_EQ(JZAnalyFile(W("t.jz").c_str()), 0);
  EXPECT_EQ(Section(At("t.jz.ini"), "cards"),
            (std::vector<std::pair<std::string, std::string>>{{"1_0", "0"}}));
  ASSERT_EQ(JZCombineFiles(W("m.jz").c_str(), W("t.jz").c_str(), W("t.jz").c_str()), 0);
  EXPECT_EQ(ReadBytes(At("m.jz")), whole);
}

}  // namespace
}  // namespace calstore_test
