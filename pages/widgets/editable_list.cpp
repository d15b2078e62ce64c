#include "pages/widgets/editable_list.h"

#include "pages/widgets/column_fit.h"

// Accessible names of the in-place editors (they have no caption of their own):
//   cell edit   "单元格编辑"
//   cell combo  "单元格选择"

#include <QHeaderView>
#include <QMouseEvent>
#include <QScrollBar>

namespace pages {

EditableList::EditableList(QWidget* parent) : QTableWidget(parent) {
  // Report view: whole rows selected, grid lines, movable columns, no built-in editing.
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setSelectionMode(QAbstractItemView::ExtendedSelection);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setShowGrid(true);
  setWordWrap(false);
  verticalHeader()->hide();
  horizontalHeader()->setSectionsMovable(true);
  horizontalHeader()->setHighlightSections(false);

  edit_ = new CellEdit(viewport());
  edit_->setObjectName(QStringLiteral("cellEdit"));
  edit_->setAccessibleName(QStringLiteral("单元格编辑"));
  edit_->hide();
  combo_ = new CellCombo(viewport());
  combo_->setObjectName(QStringLiteral("cellCombo"));
  combo_->setAccessibleName(QStringLiteral("单元格选择"));
  combo_->hide();

  connect(edit_, &CellEdit::focusLost, this, &EditableList::CommitEdit);
  connect(edit_, &QLineEdit::returnPressed, this, &EditableList::CommitEdit);
  connect(combo_, &CellCombo::focusLost, this, &EditableList::CommitCombo);
  // A choice from the drop-down goes into the cell at once; the combo stays until it loses the
  // focus.
  connect(combo_, &QComboBox::activated, this, [this](int) {
    if (comboRow_ >= 0) SetCellText(comboRow_, comboColumn_, combo_->currentText());
  });
  // An editor floats at a fixed place in the viewport: scrolling ends the edit.
  connect(verticalScrollBar(), &QScrollBar::valueChanged, this, &EditableList::CommitEditors);
  connect(horizontalScrollBar(), &QScrollBar::valueChanged, this, &EditableList::CommitEditors);
  FitColumns(this);
  // Columns laid out anew (a row's text grew, the window was resized): an open editor follows
  // its cell.
  connect(horizontalHeader(), &QHeaderView::sectionResized, this, [this] {
    if (edit_->isVisible()) edit_->setGeometry(visualRect(model()->index(editRow_, editColumn_)));
    if (combo_->isVisible()) {
      combo_->setGeometry(visualRect(model()->index(comboRow_, comboColumn_)));
    }
  });
}

void EditableList::SetCheckBoxes(bool on) {
  checkBoxes_ = on;
  for (int row = 0; row < rowCount(); ++row) {
    QTableWidgetItem* item = ItemAt(row, 0);
    if (!item) continue;
    if (on) {
      item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
      item->setCheckState(Qt::Unchecked);
    } else {
      item->setFlags(item->flags() & ~Qt::ItemIsUserCheckable);
      item->setData(Qt::CheckStateRole, QVariant());
    }
  }
}

QTableWidgetItem* EditableList::ItemAt(int row, int column) {
  if (row < 0 || row >= rowCount() || column < 0 || column >= columnCount()) return nullptr;
  QTableWidgetItem* cell = item(row, column);
  if (!cell) {
    cell = new QTableWidgetItem;
    cell->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    if (column == 0 && checkBoxes_) {
      cell->setFlags(cell->flags() | Qt::ItemIsUserCheckable);
      cell->setCheckState(Qt::Unchecked);
    }
    setItem(row, column, cell);
  }
  return cell;
}

int EditableList::AddRow(const QStringList& texts) {
  const int row = rowCount();
  insertRow(row);
  for (int column = 0; column < columnCount(); ++column) {
    ItemAt(row, column)->setText(column < texts.size() ? texts.at(column) : QString());
  }
  return row;
}

QString EditableList::CellText(int row, int column) const {
  const QTableWidgetItem* cell = item(row, column);
  return cell ? cell->text() : QString();
}

void EditableList::SetCellText(int row, int column, const QString& text) {
  if (QTableWidgetItem* cell = ItemAt(row, column)) cell->setText(text);
}

bool EditableList::IsChecked(int row) const {
  const QTableWidgetItem* cell = item(row, 0);
  return checkBoxes_ && cell && cell->checkState() == Qt::Checked;
}

void EditableList::SetChecked(int row, bool checked) {
  if (!checkBoxes_) return;
  if (QTableWidgetItem* cell = ItemAt(row, 0)) cell->setCheckState(checked ? Qt::Checked : Qt::Unchecked);
}

void EditableList::mousePressEvent(QMouseEvent* event) {
  // The list handles the click first (selection, check boxes).
  QTableWidget::mousePressEvent(event);
  if (event->button() != Qt::LeftButton) return;
  const QModelIndex index = indexAt(event->position().toPoint());
  if (!index.isValid()) return;
  ActivateCell(index.row(), index.column());
}

void EditableList::ActivateCell(int row, int column) {
  if (row < 0 || row >= rowCount() || column < 0 || column >= columnCount()) return;
  clickedRow_ = row;
  clickedColumn_ = column;
  if (columnHook_) edit_->SetFreeText(columnHook_(*this, parentWidget(), column) != 0);
  if (column == 0) return;
  if (comboMode_ && column == 1) {
    OpenCellCombo(row, column);
    return;
  }
  OpenCellEdit(row, column);
  if (comboMode_ && column == 3 && afterEditHook_) afterEditHook_(*this, parentWidget());
}

void EditableList::OpenCellEdit(int row, int column) {
  CommitEditors();
  editRow_ = row;
  editColumn_ = column;
  edit_->setGeometry(visualRect(model()->index(row, column)));
  edit_->setText(CellText(row, column));
  edit_->show();
  edit_->raise();
  edit_->selectAll();
  edit_->setFocus(Qt::OtherFocusReason);
}

void EditableList::OpenCellCombo(int row, int column) {
  CommitEditors();
  comboRow_ = row;
  comboColumn_ = column;
  combo_->setGeometry(visualRect(model()->index(row, column)));
  combo_->SelectForCellText(CellText(row, column));
  combo_->show();
  combo_->raise();
  combo_->setFocus(Qt::OtherFocusReason);
}

void EditableList::CommitEdit() {
  if (editRow_ < 0) return;
  const int row = editRow_;
  const int column = editColumn_;
  editRow_ = editColumn_ = -1;  // first, so hiding (which moves the focus) cannot commit twice
  if (row < rowCount() && column < columnCount()) SetCellText(row, column, edit_->text());
  edit_->hide();
}

void EditableList::CommitCombo() {
  if (comboRow_ < 0) return;
  const int row = comboRow_;
  const int column = comboColumn_;
  comboRow_ = comboColumn_ = -1;
  if (row < rowCount() && column < columnCount()) SetCellText(row, column, combo_->currentText());
  combo_->hide();
}

void EditableList::CommitEditors() {
  CommitEdit();
  CommitCombo();
}

}  // namespace pages
