// Importing cards from a folder of calibration files.
#include "test_files.h"

namespace calstore_test {
namespace {

class ImportTest : public CalstoreTest {
 protected:
  void SetUp() override {
    CalstoreTest::SetUp();
    fs::create_directory(At("src"));
  }
  // Writes src/name with one record per (card, type); the kind byte tells the files apart.
  void Source(const std::string& name, std::vector<std::pair<int32_t, uint8_t>> keys,
              uint8_t kind) {
    std::string bytes;
    for (const auto& [card, type] : keys) {
      bytes += Record(card, type, {{0, 10, 1, float(kind)}, {10, 20, 1, float(kind)}}, kind);
    }
    WriteBytes(At("src/" + name), bytes);
    fs::remove(At("src/" + name + ".ini"));
  }
  // (card, type, kind) of every record of a file, in file order.
  std::vector<std::tuple<int32_t, int, int>> RecordsOf(const std::string& name) {
    std::vector<std::tuple<int32_t, int, int>> keys;
    for (const Decoded& d : DecodeFile(At(name))) keys.emplace_back(d.card, d.type, d.kind);
    return keys;
  }
  int32_t ImportStr(const std::string& target, const std::string& list) {
    return JZImportInfoStr(W(target).c_str(), W("src").c_str(), U16(list).c_str());
  }
  std::string Missing(const std::string& target) {
    const auto info = Section(At(target + ".ini"), "info");
    return info.empty() ? "<none>" : info[0].second;
  }
};

using Keys = std::vector<std::tuple<int32_t, int, int>>;

TEST_F(ImportTest, CardListsOfNumbersAndRanges) {
  std::vector<std::pair<int32_t, uint8_t>> all;
  for (int32_t card = 1; card <= 12; ++card) all.emplace_back(card, 0);
  Source("all.jz", all, 1);
  ASSERT_EQ(ImportStr("t1", "3-5;9"), 0);
  EXPECT_EQ(RecordsOf("t1.jz"), (Keys{{3, 0, 1}, {4, 0, 1}, {5, 0, 1}, {9, 0, 1}}));
  ASSERT_EQ(ImportStr("t2", ";5-;;"), 0);
  EXPECT_EQ(RecordsOf("t2.jz"), (Keys{{5, 0, 1}}));
  ASSERT_EQ(ImportStr("t3", "5-0;8-5;0-3"), 0);
  EXPECT_EQ(RecordsOf("t3.jz"), (Keys{{5, 0, 1}}));
  ASSERT_EQ(ImportStr("t4", " 11x-12y;10abc"), 0);  // leading-integer reading
  EXPECT_EQ(RecordsOf("t4.jz"), (Keys{{10, 0, 1}, {11, 0, 1}, {12, 0, 1}}));
  for (const char* none : {";;", "", "8-5", "0", "-3", "abc"}) {
    EXPECT_EQ(ImportStr("t5", none), 102) << none;
  }
  EXPECT_EQ(JZImportInfoStr(W("t5").c_str(), W("src").c_str(), nullptr), 102);
  EXPECT_EQ(ImportStr("t5", "1-5000000"), 102) << "an unreasonable range";
  EXPECT_FALSE(fs::exists(At("t5.jz")));
}

TEST_F(ImportTest, TheFirstFileOfTheListingWinsAndMissingKeysAreListed) {
  Source("a.jz", {{1, 0}}, 1);
  Source("b.jz", {{1, 0}, {1, 1}, {3, 0}}, 2);
  ASSERT_EQ(ImportStr("t", "1-2"), 0);
  // Keys in set order: "1_0" from a, then "1_1" from b.
  EXPECT_EQ(RecordsOf("t.jz"), (Keys{{1, 0, 1}, {1, 1, 2}}));
  EXPECT_EQ(Section(At("t.jz.ini"), "cards"),
            (std::vector<std::pair<std::string, std::string>>{{"1_0", "0"}, {"1_1", "44"}}));
  EXPECT_EQ(Missing("t.jz"), "2_\xE6\xB8\xA9\xE5\xBA\xA6;2_\xE6\xB9\xBF\xE5\xBA\xA6");  // 2_温度;2_湿度
  // The sources got their own index on the way.
  EXPECT_TRUE(fs::exists(At("src/a.jz.ini")) && fs::exists(At("src/b.jz.ini")));
}

TEST_F(ImportTest, MissingListInSetOrder) {
  Source("a.jz", {{1, 1}}, 1);
  ASSERT_EQ(ImportStr("t", "2;1"), 0);
  EXPECT_EQ(RecordsOf("t.jz"), (Keys{{1, 1, 1}}));
  EXPECT_EQ(Missing("t.jz"),
            "1_\xE6\xB8\xA9\xE5\xBA\xA6;2_\xE6\xB8\xA9\xE5\xBA\xA6;2_\xE6\xB9\xBF\xE5\xBA\xA6");
  // Without the list, and with every card found: no list / an empty one.
  const int32_t one = 1;
  ASSERT_EQ(JZImportInfo(W("u").c_str(), W("src").c_str(), &one, 1, 0), 0);
  EXPECT_EQ(Missing("u.jz"), "<none>");
  Source("a.jz", {{1, 0}, {1, 1}}, 1);
  ASSERT_EQ(JZImportInfo(W("v").c_str(), W("src").c_str(), &one, 1, 1), 0);
  EXPECT_EQ(Missing("v.jz"), "");
}

TEST_F(ImportTest, ImportIntoAnExistingTargetKeepsItsOtherCards) {
  Source("a.jz", {{7, 0}, {8, 0}}, 5);
  WriteBytes(At("t.jz"), Record(7, 0, {{0, 1, 1, 0}}, 9) + Record(7, 1, {{0, 1, 1, 0}}, 9) +
                             Record(20, 0, {}, 9));
  WriteBytes(At("t.jz.temp"), "a file of the user's");
  ASSERT_EQ(ImportStr("t.jz", "7-8"), 0);
  EXPECT_EQ(ReadBytes(At("t.jz.temp")), "a file of the user's");
  // 7_0 and 8_0 from the folder, 7_1 and 20_0 from the previous target, in key-text order.
  EXPECT_EQ(RecordsOf("t.jz"), (Keys{{20, 0, 9}, {7, 0, 5}, {7, 1, 9}, {8, 0, 5}}));
  EXPECT_FALSE(fs::exists(At("t.jz.old")));
  int32_t offset = -1;
  EXPECT_EQ(JZFileContain(W("t.jz").c_str(), 8, 0, &offset), 1);
  EXPECT_EQ(offset, 12 + 44 + 28);
  EXPECT_EQ(Missing("t.jz"), "7_\xE6\xB9\xBF\xE5\xBA\xA6;8_\xE6\xB9\xBF\xE5\xBA\xA6");
}

TEST_F(ImportTest, AFolderWithoutCalibrationFilesGivesAnEmptyTarget) {
  WriteBytes(At("src/notes.txt"), "x");
  WriteBytes(At("src/a.JZ"), Record(1, 0, {}));  // the suffix is case-sensitive
  fs::create_directory(At("src/d.jz"));           // a folder is not a file
  const int32_t cards[] = {1};
  ASSERT_EQ(JZImportInfo(W("t").c_str(), W("src").c_str(), cards, 1, 1), 0);
  EXPECT_TRUE(fs::exists(At("t.jz")));
  EXPECT_EQ(fs::file_size(At("t.jz")), 0u);
  EXPECT_FALSE(fs::exists(At("t.jz.ini")));
  // An index left without its data file names nothing of the new, empty target.
  WriteBytes(At("u.jz.ini"), "[cards]\r\n1_0=0\r\n");
  ASSERT_EQ(JZImportInfo(W("u").c_str(), W("src").c_str(), cards, 1, 1), 0);
  EXPECT_EQ(fs::file_size(At("u.jz")), 0u);
  EXPECT_EQ(JZFileContain(W("u.jz").c_str(), 1, 0, nullptr), 0);
}

TEST_F(ImportTest, ArgumentChecks) {
  const int32_t cards[] = {1};
  EXPECT_EQ(JZImportInfo(W("t").c_str(), W("nowhere").c_str(), cards, 1, 1), 101);
  EXPECT_EQ(JZImportInfo(W("t").c_str(), W("src").c_str(), cards, 0, 1), 0);
  EXPECT_EQ(JZImportInfo(W("t").c_str(), W("src").c_str(), nullptr, 1, 1), 102);
  Source("a.jz", {{1, 0}}, 1);
  EXPECT_EQ(JZImportInfo(W("no-dir/t").c_str(), W("src").c_str(), cards, 1, 1), 101);
  EXPECT_FALSE(fs::exists(At("t.jz")));
  // A folder in the target's place is neither written into nor moved aside.
  fs::create_directory(At("f.jz"));
  WriteBytes(At("f.jz/keep"), "x");
  const auto before = Snapshot();
  EXPECT_EQ(JZImportInfo(W("f").c_str(), W("src").c_str(), cards, 1, 1), 101);
  EXPECT_EQ(Snapshot(), before);
  EXPECT_TRUE(fs::is_directory(At("f.jz")));
}

// Mends: nothing of a previous target is lost.

TEST_F(ImportTest, NoMatchingFileBringsThePreviousTargetBack) {
  WriteBytes(At("t.jz"), Record(7, 0, {{0, 1, 1, 0}}));
  WriteBytes(At("t.jz.ini"), "[cards]\r\n7_0=0\r\n[info]\r\nescape=3_\xE6\xB8\xA9\xE5\xBA\xA6\r\n");
  const auto before = Snapshot();
  ASSERT_EQ(ImportStr("t", "7"), 0);
  EXPECT_EQ(Snapshot(), before);
}

// A backup beside a target may be the only copy of an earlier target: nothing is touched. A
// backup alone is the target that an interrupted import took away: it is put back (its index
// rebuilt, the other sections of an index left beside it kept) and the import goes on.
TEST_F(ImportTest, ABackupOfAnEarlierImportIsPutBackUnlessATargetIsBesideIt) {
  Source("a.jz", {{7, 0}}, 5);
  WriteBytes(At("t.jz"), Record(7, 0, {{0, 1, 1, 0}}, 9) + Record(8, 0, {}, 9));
  WriteBytes(At("t.jz.old"), Record(30, 0, {}, 4) + Record(7, 0, {}, 4));
  const auto before = Snapshot();
  EXPECT_EQ(ImportStr("t", "7"), 103);
  EXPECT_EQ(Snapshot(), before);

  fs::remove(At("t.jz"));
  WriteBytes(At("t.jz.ini"), "[info]\r\nescape=9_\xE6\xB8\xA9\xE5\xBA\xA6\r\n[cards]\r\n30_0=0\r\n");
  const int32_t seven = 7;
  ASSERT_EQ(JZImportInfo(W("t").c_str(), W("src").c_str(), &seven, 1, 0), 0);
  EXPECT_FALSE(fs::exists(At("t.jz.old")));
  EXPECT_EQ(RecordsOf("t.jz"), (Keys{{30, 0, 4}, {7, 0, 5}}));
  EXPECT_EQ(Section(At("t.jz.ini"), "cards"),
            (std::vector<std::pair<std::string, std::string>>{{"30_0", "0"}, {"7_0", "12"}}));

  // Put back with nothing to import: the previous content and the sections of its index stay.
  fs::remove(At("t.jz.ini"));
  fs::rename(At("t.jz"), At("t.jz.old"));
  WriteBytes(At("t.jz.ini"), "[info]\r\nescape=9_\xE6\xB8\xA9\xE5\xBA\xA6\r\n");
  fs::remove(At("src/a.jz"));
  fs::remove(At("src/a.jz.ini"));
  ASSERT_EQ(ImportStr("t", "7"), 0);
  EXPECT_EQ(RecordsOf("t.jz"), (Keys{{30, 0, 4}, {7, 0, 5}}));
  EXPECT_EQ(Missing("t.jz"), "9_\xE6\xB8\xA9\xE5\xBA\xA6");
  EXPECT_EQ(Section(At("t.jz.ini"), "cards").size(), 2u);
  EXPECT_FALSE(fs::exists(At("t.jz.old")));
}

TEST_F(ImportTest, ATargetInsideTheSourceFolderIsNotItsOwnSource) {
  Source("a.jz", {{1, 0}}, 1);
  Source("t.jz", {{2, 0}, {3, 0}}, 2);  // the previous target
  Source("z.jz", {{2, 0}}, 3);
  ASSERT_EQ(JZImportInfoStr(W("src/t").c_str(), W("src").c_str(), u"1-3"), 0);
  // 1 and 2 from the folder (2 from z, as t is not a source), 3 from the previous target.
  EXPECT_EQ(RecordsOf("src/t.jz"), (Keys{{1, 0, 1}, {2, 0, 3}, {3, 0, 2}}));
  EXPECT_EQ(Section(At("src/t.jz.ini"), "cards"),
            (std::vector<std::pair<std::string, std::string>>{
                {"1_0", "0"}, {"2_0", "44"}, {"3_0", "88"}}));
  EXPECT_FALSE(fs::exists(At("src/t.jz.old")));
}

TEST_F(ImportTest, ARecordNamedByAStaleIndexIsLookedForElsewhere) {
  Source("a.jz", {{1, 0}, {2, 0}}, 1);
  WriteBytes(At("src/a.jz.ini"), "[cards]\r\n2_0=0\r\n");  // card 1's record
  Source("b.jz", {{2, 0}}, 2);
  ASSERT_EQ(ImportStr("t", "2"), 0);
  EXPECT_EQ(RecordsOf("t.jz"), (Keys{{2, 0, 2}}));
}

}  // namespace
}  // namespace calstore_test
