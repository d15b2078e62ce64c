#include "pages/widgets/column_fit.h"

#include <gtest/gtest.h>

#include <QHeaderView>
#include <QHelpEvent>
#include <QTableWidget>
#include <QToolTip>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <QtTest/QTest>

namespace {

const QString kLong = QStringLiteral("reply 15 bytes, Sum8 mismatch (expected 0x42, got 0x43)");

// Columns of `view` that do not show their header or a cell whole.
QStringList Cut(QAbstractItemView* view, QHeaderView* header) {
  QStringList cut;
  for (int c = 0; c < header->count(); ++c) {
    if (header->sectionSize(c) < header->sectionSizeHint(c)) cut << "header " + QString::number(c);
    for (int r = 0; r < view->model()->rowCount(); ++r) {
      const QString text = pages::CutCellText(view, view->model()->index(r, c));
      if (!text.isEmpty()) cut << text;
    }
  }
  return cut;
}

template <class View>
struct Window {
  QWidget window;
  View* view = new View(&window);
  explicit Window(int width) {
    auto* layout = new QVBoxLayout(&window);
    layout->addWidget(view);
    window.resize(width, 240);
  }
};

TEST(ColumnFit, RowsArrivingAfterTheFirstShowWidenTheirColumnsAndTheRestStretches) {
  Window<QTableWidget> w(700);
  QTableWidget* table = w.view;
  table->setColumnCount(3);
  table->setHorizontalHeaderLabels({"时间", "通道", "说明"});
  pages::FitColumns(table, {.stretch = {2}});
  w.window.show();
  QCoreApplication::processEvents();
  QHeaderView* header = table->horizontalHeader();
  EXPECT_TRUE(Cut(table, header).isEmpty());

  table->setRowCount(2);
  const QString cells[2][3] = {{"10:00:00.123", "/dev/pts/7", ""}, {"10:00:01.456", "/dev/pts/7", kLong}};
  for (int r = 0; r < 2; ++r) {
    for (int c = 0; c < 3; ++c) table->setItem(r, c, new QTableWidgetItem(cells[r][c]));
  }
  QCoreApplication::processEvents();
  EXPECT_TRUE(Cut(table, header).isEmpty()) << Cut(table, header).join('|').toStdString();
  // The first two keep what they need; the last one takes the rest.
  EXPECT_EQ(header->sectionSize(0), std::max(header->sectionSizeHint(0),
                                             table->sizeHintForIndex(table->model()->index(1, 0)).width() + 1));
  EXPECT_EQ(header->length(), table->viewport()->width());

  // Too narrow: only the long text is cut, its full text in a tooltip; a header never is.
  w.window.resize(330, 240);
  QCoreApplication::processEvents();
  EXPECT_EQ(Cut(table, header), QStringList{kLong});
  EXPECT_LE(header->length(), table->viewport()->width());
  const QRect cell = table->visualRect(table->model()->index(1, 2));
  QHelpEvent help(QEvent::ToolTip, cell.center(), table->viewport()->mapToGlobal(cell.center()));
  QCoreApplication::sendEvent(table->viewport(), &help);
  EXPECT_EQ(QToolTip::text(), kLong);

  // Wide again: all of it.
  w.window.resize(900, 240);
  QCoreApplication::processEvents();
  EXPECT_TRUE(Cut(table, header).isEmpty());
}

TEST(ColumnFit, TreeListsShareTheWidthByNeedAndUserWidthsStay) {
  Window<QTreeWidget> w(500);
  QTreeWidget* tree = w.view;
  tree->setHeaderLabels({"在线网关", "ID数", "通讯时间"});
  tree->setRootIsDecorated(false);
  pages::FitColumns(tree);
  w.window.show();
  QCoreApplication::processEvents();
  for (int i = 0; i < 3; ++i) {
    new QTreeWidgetItem(tree, {QString("127.0.0.1:%1").arg(40000 + i), "5", "10:00:00"});
  }
  QCoreApplication::processEvents();
  QHeaderView* header = tree->header();
  EXPECT_TRUE(Cut(tree, header).isEmpty()) << Cut(tree, header).join('|').toStdString();
  EXPECT_EQ(header->length(), tree->viewport()->width());
  EXPECT_GT(header->sectionSize(0), header->sectionSize(1));

  // A column the user drags to a width of their own keeps it when rows come.
  QTest::mousePress(header->viewport(), Qt::LeftButton, {}, {2, 2});
  header->resizeSection(1, 150);
  QTest::mouseRelease(header->viewport(), Qt::LeftButton, {}, {2, 2});
  new QTreeWidgetItem(tree, {"127.0.0.1:50000", "60", "10:00:01"});
  QCoreApplication::processEvents();
  EXPECT_EQ(header->sectionSize(1), 150);
  EXPECT_TRUE(Cut(tree, header).isEmpty());
}

}  // namespace
