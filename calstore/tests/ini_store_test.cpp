// The INI store: UTF-8 values, the profile functions' buffer limits, line ends, sections.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "ini_store.h"
#include "test_files.h"
#include "utf.h"

namespace calstore {
namespace {

namespace fs = std::filesystem;

class IniStoreTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = calstore_test::NewTestFolder("calstore-ini");
    ASSERT_FALSE(dir_.empty());
    path_ = calstore_test::Utf8(dir_ / "a.ini");
  }
  void TearDown() override { fs::remove_all(dir_); }
  std::string Bytes() const {
    std::ifstream in(calstore_test::PathOf(path_), std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  }
  void Put(const std::string& bytes) { std::ofstream(calstore_test::PathOf(path_), std::ios::binary) << bytes; }

  fs::path dir_;
  std::string path_;
};

TEST_F(IniStoreTest, ChineseValuesRoundTripAsUtf8WithCrLfAndNoBom) {
  CIniUtf8 ini(path_);
  ini.WriteString("info", "escape", u"1_温度;1_湿度");
  ini.WriteString("cards", "7_0", u"44");
  EXPECT_EQ(ini.ReadString("info", "escape"), u"1_温度;1_湿度");
  EXPECT_EQ(Bytes(), "[info]\r\nescape=1_\xE6\xB8\xA9\xE5\xBA\xA6;1_\xE6\xB9\xBF\xE5\xBA\xA6\r\n"
                     "[cards]\r\n7_0=44\r\n");
  ini.WriteString("INFO", "Escape", u"x");  // names match without regard to case
  EXPECT_EQ(ini.ReadString("info", "escape"), u"x");
  EXPECT_EQ(Bytes().find("\r\n[cards]"), Bytes().find("x\r\n") + 1) << "replaced in place";
}

TEST_F(IniStoreTest, MissingKeysSectionsAndFilesReadEmpty) {
  CIniUtf8 none(calstore_test::Utf8(dir_ / "none.ini"));
  EXPECT_EQ(none.ReadString("cards", "1_0"), u"");
  EXPECT_EQ(none.ReadSection("cards"), u"");
  none.DeleteSection("cards");
  EXPECT_FALSE(fs::exists(dir_ / "none.ini")) << "deleting from no file creates none";
  Put("[cards]\n1_0=5\n");
  CIniUtf8 ini(path_);
  EXPECT_EQ(ini.ReadString("cards", "2_0"), u"");
  EXPECT_EQ(ini.ReadString("other", "1_0"), u"");
}

TEST_F(IniStoreTest, LfAndCrLfFilesReadAlike) {
  Put("[a]\nk = v w \n[b]\r\nk=\"quoted\"\r\n  [c]  \r\nk=3");
  CIniUtf8 ini(path_);
  EXPECT_EQ(ini.ReadString("a", "k"), u"v w");
  EXPECT_EQ(ini.ReadString("b", "k"), u"quoted");
  EXPECT_EQ(ini.ReadString("c", "k"), u"3");
}

TEST_F(IniStoreTest, SectionsJoinTheirLinesWithOneCrLf) {
  Put("[cards]\r\n1_0=0\r\n\r\n2_0=44\r\n[info]\r\nescape=\r\n[empty]\r\n");
  CIniUtf8 ini(path_);
  EXPECT_EQ(ini.ReadSection("cards"), u"1_0=0\r\n2_0=44");
  EXPECT_EQ(ini.ReadSection("empty"), u"");
  EXPECT_EQ(ini.ReadSection("missing"), u"");
}

TEST_F(IniStoreTest, DeletingASectionKeepsTheOthers) {
  Put("; note\r\n[cards]\r\n1_0=0\r\n[info]\r\nescape=a\r\n[cards]\r\n2_0=1\r\n");
  CIniUtf8 ini(path_);
  ini.DeleteSection("cards");
  EXPECT_EQ(Bytes(), "; note\r\n[info]\r\nescape=a\r\n");
  ini.WriteString("cards", "3_0", u"12");
  EXPECT_EQ(ini.ReadSection("cards"), u"3_0=12");
}

TEST_F(IniStoreTest, ValuesAreCutAt1023Bytes) {
  CIniUtf8 ini(path_);
  const std::u16string exact(1023, u'a');
  ini.WriteString("s", "exact", exact);
  ini.WriteString("s", "long", std::u16string(1500, u'b'));
  EXPECT_EQ(ini.ReadString("s", "exact"), exact);
  EXPECT_EQ(ini.ReadString("s", "long"), std::u16string(1023, u'b'));
  // The file holds the whole value; only reading cuts it.
  EXPECT_NE(Bytes().find(std::string(1500, 'b')), std::string::npos);
}

TEST_F(IniStoreTest, SectionsAreCutAtTheBufferSize) {
  std::string text = "[s]\r\n";
  for (int i = 0; i < 20000; ++i) text += "k" + std::to_string(i) + "=v\r\n";  // > 102400 bytes
  Put(text);
  const std::u16string section = CIniUtf8(path_).ReadSection("s");
  const std::string utf8 = Utf16ToUtf8(section);
  // The entries with their NUL terminators fill the buffer less its final NULs: k0 .. k12611.
  EXPECT_EQ(std::count(utf8.begin(), utf8.end(), '\n') + 1, 12612);
  EXPECT_EQ(utf8.rfind("k0=v\r\n", 0), 0u);
  EXPECT_EQ(utf8.substr(utf8.size() - 10), "\r\nk12611=v");
}

TEST(Utf, IllFormedInputBecomesReplacementCharacters) {
  EXPECT_EQ(Utf8ToUtf16("a\xE6\xB8z\xFF"), u"a\uFFFDz\uFFFD");
  EXPECT_EQ(Utf8ToUtf16("\xC0\xAF"), u"\uFFFD") << "overlong";
  EXPECT_EQ(Utf8ToUtf16("\xF0\x9F\x98\x80"), u"\U0001F600");
  EXPECT_EQ(Utf16ToUtf8(u"\U0001F600"), "\xF0\x9F\x98\x80");
  EXPECT_EQ(Utf16ToUtf8(std::u16string(1, char16_t(0xD800)) + u"x"), "\xEF\xBF\xBDx");
}

}  // namespace
}  // namespace calstore
