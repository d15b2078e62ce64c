#include <gtest/gtest.h>

#include <QAccessible>
#include <QDialog>
#include <QPushButton>
#include <QVBoxLayout>
#include <QtTest/QTest>

#include "pages/widgets/editable_list.h"

namespace {

using pages::CellCombo;
using pages::EditableList;

class EditableListTest : public ::testing::Test {
 protected:
  void SetUp() override {
    window.resize(500, 300);
    auto* layout = new QVBoxLayout(&window);
    list = new EditableList(&window);
    other = new QPushButton(QStringLiteral("写配置"), &window);
    layout->addWidget(list);
    layout->addWidget(other);
    list->setColumnCount(4);
    list->AddRow({QStringLiteral("1"), QStringLiteral("10.0"), QStringLiteral("SN1"),
                  QStringLiteral("20.0")});
    list->AddRow({QStringLiteral("2"), QString(), QStringLiteral("SN2"), QString()});
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
  }

  void Click(int row, int column) {
    const QRect rect = list->visualRect(list->model()->index(row, column));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, rect.center());
  }
  // Moving the focus elsewhere ends an edit.
  void ClickElsewhere() {
    other->setFocus(Qt::MouseFocusReason);
    QCoreApplication::processEvents();
  }

  QWidget window;
  EditableList* list = nullptr;
  QPushButton* other = nullptr;
};

TEST_F(EditableListTest, ClickOnACellEditsItInPlaceAndFocusLossCommits) {
  Click(0, 2);
  pages::CellEdit* edit = list->Editor();
  ASSERT_TRUE(edit->isVisible());
  EXPECT_TRUE(edit->hasFocus());
  EXPECT_EQ(edit->selectedText(), QStringLiteral("SN1"));
  // Over the cell, as a child of the list's parent.
  const QRect cell = list->visualRect(list->model()->index(0, 2));
  EXPECT_EQ(edit->parentWidget(), &window);
  EXPECT_EQ(edit->geometry(), cell.translated(list->viewport()->mapTo(&window, QPoint())));
  EXPECT_EQ(list->ClickedRow(), 0);
  EXPECT_EQ(list->ClickedColumn(), 2);

  QTest::keyClicks(edit, QStringLiteral("AB-7"));
  ClickElsewhere();
  EXPECT_FALSE(edit->isVisible());
  EXPECT_EQ(list->CellText(0, 2), QStringLiteral("AB-7"));

  // A click on another cell commits the open edit before opening the next one.
  Click(1, 3);
  QTest::keyClicks(list->Editor(), QStringLiteral("5"));
  Click(0, 1);
  EXPECT_EQ(list->CellText(1, 3), QStringLiteral("5"));
  EXPECT_EQ(list->Editor()->text(), QStringLiteral("10.0"));

  // A longer text in another row widens the columns: the open editor follows its cell.
  const QRect before = list->Editor()->geometry();
  list->SetCellText(1, 1, QStringLiteral("数字式传感器-湿度 数字式传感器-温度"));
  QCoreApplication::processEvents();
  const QRect moved = list->visualRect(list->model()->index(0, 1));
  EXPECT_NE(moved.translated(list->viewport()->mapTo(&window, QPoint())), before);
  EXPECT_EQ(list->Editor()->geometry(), moved.translated(list->viewport()->mapTo(&window, QPoint())));
}

TEST_F(EditableListTest, ColumnZeroAndTheSpaceBelowTheRowsOpenNoEditor) {
  Click(1, 0);
  EXPECT_FALSE(list->Editor()->isVisible());
  EXPECT_EQ(list->ClickedRow(), 1);
  EXPECT_EQ(list->ClickedColumn(), 0);

  const QRect last = list->visualRect(list->model()->index(1, 2));
  QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, last.center() + QPoint(0, 3 * last.height()));
  EXPECT_FALSE(list->Editor()->isVisible());
  EXPECT_FALSE(list->Combo()->isVisible());
  EXPECT_EQ(list->ClickedRow(), 1);  // unchanged
}

TEST_F(EditableListTest, ColumnHookChoosesFreeTextOrNumericKeysPerColumn) {
  std::vector<int> columns;
  list->SetColumnHook([&](EditableList& l, QWidget* parent, int column) {
    EXPECT_EQ(&l, list);
    EXPECT_EQ(parent, &window);
    columns.push_back(column);
    return column == 2 ? 1 : 0;
  });
  Click(1, 1);
  EXPECT_FALSE(list->Editor()->FreeText());
  QTest::keyClicks(list->Editor(), QStringLiteral(".a-1.2.3x"));  // '.' never first, one '.'
  EXPECT_EQ(list->Editor()->text(), QStringLiteral("-1.23"));

  Click(1, 2);
  EXPECT_TRUE(list->Editor()->FreeText());
  list->Editor()->clear();
  QTest::keyClicks(list->Editor(), QStringLiteral("ab.c.1234567"));
  EXPECT_EQ(list->Editor()->text(), QStringLiteral("ab.c.1234"));  // at most 9 characters
  Click(0, 0);  // the hook runs on column 0 as well
  EXPECT_EQ(columns, (std::vector<int>{1, 2, 0}));
  EXPECT_EQ(list->CellText(1, 1), QStringLiteral("-1.23"));
}

TEST_F(EditableListTest, ComboModeEditsColumnOneWithTheComboAndCallsTheAfterEditHook) {
  list->SetComboMode(true);
  list->Combo()->FillKinds();
  int afterEdits = 0;
  list->SetAfterEditHook([&](EditableList&, QWidget* parent) {
    EXPECT_EQ(parent, &window);
    EXPECT_TRUE(list->Editor()->isVisible());  // called once the edit is open
    ++afterEdits;
  });

  Click(1, 1);  // empty cell: every item begins with "", the first one is chosen
  ASSERT_TRUE(list->Combo()->isVisible());
  EXPECT_FALSE(list->Editor()->isVisible());
  EXPECT_EQ(list->Combo()->currentText(), QStringLiteral("温度"));
  list->Combo()->setCurrentIndex(1);
  ClickElsewhere();
  EXPECT_FALSE(list->Combo()->isVisible());
  EXPECT_EQ(list->CellText(1, 1), QStringLiteral("湿度"));

  Click(1, 1);
  EXPECT_EQ(list->Combo()->currentText(), QStringLiteral("湿度"));
  Click(0, 2);
  EXPECT_EQ(afterEdits, 0);
  EXPECT_TRUE(list->Editor()->isVisible());
  Click(0, 3);
  EXPECT_EQ(afterEdits, 1);
}

// From the keyboard: F2 and Enter open an editor, which the accessibility tree holds beside the
// list under its column's title; Enter keeps the edit, Escape drops it, and neither reaches the
// dialog around (Escape would close it).
TEST(EditableListKeysTest, EditorsOpenByKeyAndEscapeCancelsOnlyTheEdit) {
  QDialog dialog;
  dialog.resize(500, 300);
  auto* layout = new QVBoxLayout(&dialog);
  auto* list = new EditableList(&dialog);
  layout->addWidget(list);
  list->setColumnCount(3);
  list->setHorizontalHeaderLabels({QStringLiteral("序号"), QStringLiteral("参考点"),
                                   QStringLiteral("环境值")});
  list->SetComboMode(true);
  list->Combo()->FillReferencePoints();
  list->AddRow({QStringLiteral("1"), QStringLiteral("20.0"), QStringLiteral("25.0")});
  dialog.show();
  dialog.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
  list->setFocus();
  list->setCurrentCell(0, 2);

  pages::CellEdit* edit = list->Editor();
  QTest::keyClick(list, Qt::Key_F2);
  ASSERT_TRUE(edit->isVisible());
  EXPECT_TRUE(edit->hasFocus());
  QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(edit);
  ASSERT_NE(accessible, nullptr);
  EXPECT_EQ(accessible->text(QAccessible::Name), QStringLiteral("环境值"));
  ASSERT_NE(accessible->parent(), nullptr);
  EXPECT_EQ(accessible->parent()->object(), &dialog);
  EXPECT_GE(accessible->parent()->indexOfChild(accessible), 0);
  QTest::keyClicks(edit, QStringLiteral("9"));
  QTest::keyClick(edit, Qt::Key_Escape);
  EXPECT_FALSE(edit->isVisible());
  EXPECT_EQ(list->CellText(0, 2), QStringLiteral("25.0"));
  EXPECT_TRUE(dialog.isVisible());
  EXPECT_TRUE(list->hasFocus());

  QTest::keyClick(list, Qt::Key_Return);
  QTest::keyClicks(edit, QStringLiteral("7"));
  QTest::keyClick(edit, Qt::Key_Return);
  EXPECT_FALSE(edit->isVisible());
  EXPECT_EQ(list->CellText(0, 2), QStringLiteral("7"));
  EXPECT_TRUE(list->hasFocus());

  // The combo: a choice by key goes into the cell at once; Escape puts the old text back.
  list->setCurrentCell(0, 1);
  QTest::keyClick(list, Qt::Key_F2);
  ASSERT_TRUE(list->Combo()->isVisible());
  EXPECT_EQ(QAccessible::queryAccessibleInterface(list->Combo())->text(QAccessible::Description),
            QStringLiteral("参考点"));
  EXPECT_EQ(list->Combo()->currentText(), QStringLiteral("20.0"));
  QTest::keyClick(list->Combo(), Qt::Key_Down);
  EXPECT_EQ(list->CellText(0, 1), QStringLiteral("30.0"));
  QTest::keyClick(list->Combo(), Qt::Key_Escape);
  EXPECT_FALSE(list->Combo()->isVisible());
  EXPECT_EQ(list->CellText(0, 1), QStringLiteral("20.0"));
  EXPECT_TRUE(dialog.isVisible());
}

TEST(CellComboTest, ReferencePointsFollowTheFlags) {
  struct Case {
    bool humidity, temperature;
    int count;
    const char* first;
    const char* last;
  };
  for (const Case& c : {Case{true, true, 11, "0.0", "100.0"}, Case{false, true, 15, "-40.0", "100.0"},
                        Case{false, false, 24, "-80.0", "150.0"}}) {
    CellCombo combo;
    combo.addItem(QStringLiteral("old"));
    combo.SetHumidity(c.humidity);
    combo.SetTemperature(c.temperature);
    combo.FillReferencePoints();
    ASSERT_EQ(combo.count(), c.count);
    EXPECT_EQ(combo.itemText(0), QLatin1String(c.first));
    EXPECT_EQ(combo.itemText(c.count - 1), QLatin1String(c.last));
  }
}

TEST(CellComboTest, CellTextSelectsTheFirstItemItBeginsOrTheMiddleOne) {
  CellCombo combo;  // temperature by default
  combo.FillReferencePoints();
  combo.SelectForCellText(QStringLiteral("25.3"));
  EXPECT_EQ(combo.currentIndex(), 7);
  EXPECT_EQ(combo.currentText(), QStringLiteral("30.0"));
  combo.SelectForCellText(QStringLiteral("-3"));
  EXPECT_EQ(combo.currentText(), QStringLiteral("-30.0"));
  combo.SelectForCellText(QStringLiteral("1"));
  EXPECT_EQ(combo.currentText(), QStringLiteral("10.0"));
  combo.FillKinds();
  combo.SelectForCellText(QStringLiteral("湿"));
  EXPECT_EQ(combo.currentIndex(), 1);
}

TEST_F(EditableListTest, CheckBoxesCanBeRemovedByThePage) {
  EXPECT_TRUE(list->item(0, 0)->flags() & Qt::ItemIsUserCheckable);
  list->SetChecked(1, true);
  EXPECT_TRUE(list->IsChecked(1));
  list->SetCheckBoxes(false);
  EXPECT_FALSE(list->IsChecked(1));
  EXPECT_FALSE(list->item(1, 0)->flags() & Qt::ItemIsUserCheckable);
  EXPECT_FALSE(list->item(list->AddRow({QStringLiteral("3")}), 0)->flags() & Qt::ItemIsUserCheckable);
}

}  // namespace
