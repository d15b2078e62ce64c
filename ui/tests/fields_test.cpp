#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QVBoxLayout>
#include <QWidget>
#include <QtTest/QTest>

#include "ui/fields.h"
#include "ui/prompts.h"

namespace {

struct ParseCase {
  const char* text;
  std::optional<int64_t> asInt;        // ParseInt
  std::optional<int64_t> asPositive;   // ParsePositiveInt
  std::optional<double> asNumber;      // ParseNumber
};

class FieldParse : public ::testing::TestWithParam<ParseCase> {};

TEST_P(FieldParse, ParsersAgreeWithTheTable) {
  const ParseCase& c = GetParam();
  QString text = QString::fromUtf8(c.text);

  auto i = ui::ParseInt(text);
  ASSERT_EQ(i.has_value(), c.asInt.has_value()) << c.text;
  if (i) {
    EXPECT_EQ(*i, *c.asInt) << c.text;
  }

  auto p = ui::ParsePositiveInt(text);
  ASSERT_EQ(p.has_value(), c.asPositive.has_value()) << c.text;
  if (p) {
    EXPECT_EQ(*p, *c.asPositive) << c.text;
  }

  auto d = ui::ParseNumber(text);
  ASSERT_EQ(d.has_value(), c.asNumber.has_value()) << c.text;
  if (d) {
    EXPECT_DOUBLE_EQ(*d, *c.asNumber) << c.text;
  }
}

constexpr auto no = std::nullopt;

INSTANTIATE_TEST_SUITE_P(
    Texts, FieldParse,
    ::testing::Values(
        ParseCase{"600", 600, 600, 600.0},
        ParseCase{"  42\t", 42, 42, 42.0},
        ParseCase{"0", 0, 0, 0.0},
        ParseCase{"007", 7, 7, 7.0},
        ParseCase{"+5", 5, 5, 5.0},
        ParseCase{"-18", -18, no, -18.0},
        ParseCase{"", no, no, no},
        ParseCase{"   ", no, no, no},
        ParseCase{"-", no, no, no},
        ParseCase{"12a", no, no, no},
        ParseCase{"1 2", no, no, no},
        ParseCase{"-18.5", no, no, -18.5},
        ParseCase{".5", no, no, 0.5},
        ParseCase{"5.", no, no, 5.0},
        ParseCase{".", no, no, no},
        ParseCase{"1e3", no, no, 1000.0},
        ParseCase{"1e", no, no, no},
        ParseCase{"1,5", no, no, no},
        ParseCase{"inf", no, no, no},
        ParseCase{"nan", no, no, no},
        ParseCase{"0x10", no, no, no},
        ParseCase{"1e999", no, no, no},
        ParseCase{"2147483647", 2147483647, 2147483647, 2147483647.0},
        ParseCase{"2147483648", no, 2147483648, 2147483648.0},
        ParseCase{"-2147483648", -2147483648LL, no, -2147483648.0},
        ParseCase{"4294967295", no, 4294967295, 4294967295.0},
        ParseCase{"4294967296", no, no, 4294967296.0},
        ParseCase{"１２", no, no, no}));  // full-width digits are not a number

// A window with two fields, so focus moves can be seen.
class FieldReaders : public ::testing::Test {
 protected:
  void SetUp() override {
    ui::InstallPrompts(&prompts);
    auto* layout = new QVBoxLayout(&window);
    field = new QLineEdit(&window);
    other = new QLineEdit(&window);
    layout->addWidget(field);
    layout->addWidget(other);
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    other->setFocus();
  }
  void TearDown() override { ui::InstallPrompts(nullptr); }

  ui::ScriptedPrompts prompts;
  QWidget window;
  QLineEdit* field = nullptr;
  QLineEdit* other = nullptr;
};

TEST_F(FieldReaders, RefusalShowsTheNoticeAndSelectsTheField) {
  struct Case {
    const char* text;
    std::function<bool(QLineEdit*)> read;  // true when a value came back
    const char* notice;
  };
  const Case cases[] = {
      {"abc", [](QLineEdit* f) { return ui::ReadInt(f).has_value(); }, "请键入一个整数。"},
      {"1.5.", [](QLineEdit* f) { return ui::ReadNumber(f).has_value(); }, "请键入一个数。"},
      {"-3", [](QLineEdit* f) { return ui::ReadPositiveInt(f).has_value(); },
       "“请填入一个正整数。”"},
  };
  for (const Case& c : cases) {
    prompts.Clear();
    other->setFocus();
    field->setText(QString::fromUtf8(c.text));
    field->deselect();
    EXPECT_FALSE(c.read(field)) << c.text;
    EXPECT_EQ(prompts.Messages(), QStringList{QString::fromUtf8(c.notice)}) << c.text;
    EXPECT_TRUE(field->hasFocus()) << c.text;
    EXPECT_EQ(field->selectedText(), QString::fromUtf8(c.text)) << c.text;
  }
}

TEST_F(FieldReaders, AcceptedValueShowsNothingAndLeavesTheFocus) {
  field->setText(QStringLiteral("600"));
  EXPECT_EQ(ui::ReadInt(field), 600);
  field->setText(QStringLiteral("-18.5"));
  EXPECT_EQ(ui::ReadNumber(field), -18.5);
  field->setText(QStringLiteral("0"));
  EXPECT_EQ(ui::ReadPositiveInt(field), 0u);  // zero is for the caller to judge
  EXPECT_TRUE(prompts.shown.empty());
  EXPECT_TRUE(other->hasFocus());
}

}  // namespace
