#include <gtest/gtest.h>

#include <QtTest/QTest>

#include "pages/widgets/range_edit.h"
#include "ui/prompts.h"

namespace {

using pages::RangeEdit;

struct KeyCase {
  const char* text;
  int start, end;
  char key;
  bool accepted;
  const char* why;
};

class RangeEditKeys : public ::testing::TestWithParam<KeyCase> {};

TEST_P(RangeEditKeys, FilterDecides) {
  const KeyCase& c = GetParam();
  EXPECT_EQ(RangeEdit::AcceptsKey(QString::fromLatin1(c.text), c.start, c.end,
                                  QLatin1Char(c.key)),
            c.accepted)
      << c.why;
}

INSTANTIATE_TEST_SUITE_P(
    Table, RangeEditKeys,
    ::testing::Values(
        KeyCase{"", 0, 0, '5', true, "digit"},
        KeyCase{"", 0, 0, 'a', false, "letter"},
        KeyCase{"", 0, 0, ' ', false, "blank"},
        KeyCase{"", 0, 0, '+', false, "plus"},
        KeyCase{"", 0, 0, '-', true, "minus at the start"},
        KeyCase{"5", 0, 0, '-', true, "minus in front of a digit"},
        KeyCase{"5", 1, 1, '-', false, "minus after the first character"},
        KeyCase{"-5", 0, 0, '-', false, "second leading minus"},
        KeyCase{"12", 0, 2, '-', true, "minus replacing a selection from the start"},
        KeyCase{"12", 1, 2, '-', false, "minus replacing a selection not at the start"},
        KeyCase{"-5", 0, 0, '5', false, "digit in front of a leading minus"},
        KeyCase{"-5", 0, 0, '\b', false, "backspace in front of a leading minus"},
        KeyCase{"-5", 0, 0, '.', false, "point in front of a leading minus"},
        KeyCase{"-5", 0, 1, '7', true, "digit replacing the selected minus"},
        KeyCase{"-5", 1, 1, '5', true, "digit after the minus"},
        KeyCase{"1.5", 3, 3, '.', false, "second point"},
        KeyCase{"1.5", 0, 3, '.', false, "point while the text holds one, even selected"},
        KeyCase{"15", 1, 1, '.', true, "first point"},
        KeyCase{"5", 1, 1, '\b', true, "backspace"}));

TEST(RangeEditValue, LeadingDecimalNumber) {
  struct Case {
    const char* text;
    double value;
  };
  for (const Case& c : {Case{"", 0}, Case{"-", 0}, Case{".", 0}, Case{"abc", 0},
                        Case{"12.5abc", 12.5}, Case{"-.5", -0.5}, Case{"5.", 5},
                        Case{"1e3", 1000}, Case{"1e", 1}, Case{"  7", 7}, Case{"1-2", 1},
                        Case{"-300", -300}, Case{"1e999", std::numeric_limits<double>::infinity()}}) {
    EXPECT_DOUBLE_EQ(RangeEdit::LeadingValue(QString::fromLatin1(c.text)), c.value) << c.text;
  }
}

class RangeEditTyping : public ::testing::Test {
 protected:
  void SetUp() override {
    ui::InstallPrompts(&prompts);
    edit.show();
  }
  void TearDown() override { ui::InstallPrompts(nullptr); }

  ui::ScriptedPrompts prompts;
  RangeEdit edit;
};

TEST_F(RangeEditTyping, RangeMessageNamesTheFieldAndItsBounds) {
  edit.SetRange(-300, 1000, QStringLiteral("温度"));
  EXPECT_EQ(edit.RangeMessage(), QStringLiteral("温度值范围为(-300~1000)"));
  edit.SetRange(0, 100, QStringLiteral("湿度"));
  EXPECT_EQ(edit.RangeMessage(), QStringLiteral("湿度值范围为(0~100)"));
}

TEST_F(RangeEditTyping, ThirdKeyOf101RaisesTheMessageAndEmptiesTheField) {
  edit.SetRange(0, 100, QStringLiteral("湿度"));
  QTest::keyClick(&edit, Qt::Key_1);
  QTest::keyClick(&edit, Qt::Key_0);
  EXPECT_EQ(edit.text(), QStringLiteral("10"));
  EXPECT_TRUE(prompts.shown.empty());
  QTest::keyClick(&edit, Qt::Key_1);
  EXPECT_EQ(edit.text(), QString());
  EXPECT_EQ(prompts.Messages(), QStringList{QStringLiteral("湿度值范围为(0~100)")});
}

TEST_F(RangeEditTyping, WithoutRangeAnyPermittedKeysMakeTheValue) {
  QTest::keyClicks(&edit, QStringLiteral("-12a.5.x9"));
  EXPECT_EQ(edit.text(), QStringLiteral("-12.59"));
  EXPECT_TRUE(prompts.shown.empty());
  edit.setText(QStringLiteral("123456789"));  // no range: nothing is checked
  EXPECT_EQ(edit.text(), QStringLiteral("123456789"));
}

TEST_F(RangeEditTyping, KeyFilterFollowsTheCaret) {
  edit.setText(QStringLiteral("-5"));
  edit.setCursorPosition(0);
  QTest::keyClick(&edit, Qt::Key_5);  // in front of the minus
  EXPECT_EQ(edit.text(), QStringLiteral("-5"));
  edit.setCursorPosition(1);
  QTest::keyClick(&edit, Qt::Key_Minus);  // not at the start
  EXPECT_EQ(edit.text(), QStringLiteral("-5"));
  edit.setCursorPosition(2);
  QTest::keyClicks(&edit, QStringLiteral(".2."));
  EXPECT_EQ(edit.text(), QStringLiteral("-5.2"));
  // Editing keys and shortcuts are not filtered.
  QTest::keyClick(&edit, Qt::Key_Home);
  QTest::keyClick(&edit, Qt::Key_Delete);
  EXPECT_EQ(edit.text(), QStringLiteral("5.2"));
  QTest::keyClick(&edit, Qt::Key_A, Qt::ControlModifier);
  EXPECT_EQ(edit.selectedText(), QStringLiteral("5.2"));
}

TEST_F(RangeEditTyping, EveryChangeIsCheckedIncludingProgrammaticOnes) {
  edit.SetRange(-300, 1000, QStringLiteral("温度"));
  edit.setText(QStringLiteral("0.0"));
  edit.setText(QStringLiteral("-"));  // counts as 0
  EXPECT_TRUE(prompts.shown.empty());
  edit.setText(QStringLiteral("1000.5"));
  EXPECT_EQ(edit.text(), QString());
  edit.setText(QStringLiteral("-301"));
  EXPECT_EQ(edit.text(), QString());
  EXPECT_EQ(prompts.Messages(), QStringList({QStringLiteral("温度值范围为(-300~1000)"),
                                             QStringLiteral("温度值范围为(-300~1000)")}));
}

TEST_F(RangeEditTyping, MinimumAboveZeroRefusesShortPrefixesWithOneMessageEach) {
  edit.SetRange(10, 100, QStringLiteral("间隔"));
  QTest::keyClick(&edit, Qt::Key_5);  // on the way to 50
  EXPECT_EQ(edit.text(), QString());
  EXPECT_EQ(prompts.Messages().size(), 1);
  edit.setText(QStringLiteral("50"));
  edit.end(false);
  QTest::keyClick(&edit, Qt::Key_Backspace);
  EXPECT_EQ(edit.text(), QString());
  EXPECT_EQ(prompts.Messages().size(), 2);
}

}  // namespace
