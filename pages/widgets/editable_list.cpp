#include "pages/widgets/editable_list.h"

#include "pages/widgets/column_fit.h"

// Accessible names of the in-place editors: the title of the column they edit; for a column
// without a title
//   cell edit   "单元格编辑"
//   cell combo  "单元格选择"

#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScrollBar>
#include <QSplitter>

namespace pages {

namespace {
const char kEditName[] = "单元格编辑";
const char kComboName[] = "单元格选择";
}  // namespace

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
  edit_->setAccessibleName(QString::fromUtf8(kEditName));
  edit_->hide();
  combo_ = new CellCombo(viewport());
  combo_->setObjectName(QStringLiteral("cellCombo"));
  combo_->setAccessibleName(QString::fromUtf8(kComboName));
  combo_->hide();

  connect(edit_, &CellEdit::focusLost, this, &EditableList::CommitEdit);
  connect(combo_, &CellCombo::focusLost, this, &EditableList::CommitCombo);
  // Keys end an edit where it began: the focus goes back to the list.
  const auto endByKey = [this](void (EditableList::*end)()) {
    return [this, end] {
      (this->*end)();
      setFocus(Qt::OtherFocusReason);
    };
  };
  connect(edit_, &QLineEdit::returnPressed, this, endByKey(&EditableList::CommitEdit));
  connect(edit_, &CellEdit::cancelled, this, endByKey(&EditableList::CancelEditors));
  connect(combo_, &CellCombo::committed, this, endByKey(&EditableList::CommitCombo));
  connect(combo_, &CellCombo::cancelled, this, endByKey(&EditableList::CancelEditors));
  // A choice goes into the cell at once, however it was made (mouse, keys, accessibility); the
  // combo stays until it loses the focus.
  connect(combo_, &QComboBox::currentIndexChanged, this, [this](int) {
    if (comboRow_ >= 0) SetCellText(comboRow_, comboColumn_, combo_->currentText());
  });
  // An editor floats at a fixed place in the viewport: scrolling ends the edit.
  connect(verticalScrollBar(), &QScrollBar::valueChanged, this, &EditableList::CommitEditors);
  connect(horizontalScrollBar(), &QScrollBar::valueChanged, this, &EditableList::CommitEditors);
  FitColumns(this);
  // Columns laid out anew (a row's text grew, the window was resized): an open editor follows
  // its cell.
  connect(horizontalHeader(), &QHeaderView::sectionResized, this, [this] {
    if (edit_->isVisible() && editRow_ >= 0) {
      PlaceEditor(edit_, editRow_, editColumn_, QString::fromUtf8(kEditName));
    }
    if (combo_->isVisible() && comboRow_ >= 0) {
      PlaceEditor(combo_, comboRow_, comboColumn_, QString::fromUtf8(kComboName));
    }
  });
}

EditableList::~EditableList() {
  // Editors that float in the parent go with the list.
  delete edit_.data();
  delete combo_.data();
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

void EditableList::keyPressEvent(QKeyEvent* event) {
  const bool opens = event->key() == Qt::Key_F2 || event->key() == Qt::Key_Return ||
                     event->key() == Qt::Key_Enter;
  if (opens && event->modifiers() == Qt::NoModifier && currentIndex().isValid()) {
    event->accept();
    ActivateCell(currentIndex().row(), currentIndex().column());
    return;
  }
  QTableWidget::keyPressEvent(event);
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
  PlaceEditor(edit_, row, column, QString::fromUtf8(kEditName));
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
  comboCellBefore_ = CellText(row, column);
  PlaceEditor(combo_, row, column, QString::fromUtf8(kComboName));
  combo_->SelectForCellText(comboCellBefore_);
  combo_->show();
  combo_->raise();
  combo_->setFocus(Qt::OtherFocusReason);
}

void EditableList::PlaceEditor(QWidget* editor, int row, int column,
                               const QString& fallbackName) {
  // A splitter would take the editor for a pane of its own: the editor floats above it.
  QWidget* host = parentWidget();
  while (host && qobject_cast<QSplitter*>(host)) host = host->parentWidget();
  if (!host) host = viewport();
  if (editor->parentWidget() != host) editor->setParent(host);
  QRect cell = visualRect(model()->index(row, column));
  cell.moveTopLeft(viewport()->mapTo(host, cell.topLeft()));
  editor->setGeometry(cell);
  const QString title = model()->headerData(column, Qt::Horizontal).toString().trimmed();
  editor->setAccessibleName(title.isEmpty() ? fallbackName : title);
  // A combo box's accessible name on Linux is its current item: the column comes with the
  // description there.
  if (editor == combo_) editor->setAccessibleDescription(editor->accessibleName());
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

void EditableList::CancelEditors() {
  // The rows go first, so that hiding (which moves the focus) commits nothing.
  if (editRow_ >= 0) {
    editRow_ = editColumn_ = -1;
    edit_->hide();
  }
  if (comboRow_ >= 0) {
    const int row = comboRow_;
    const int column = comboColumn_;
    comboRow_ = comboColumn_ = -1;
    if (row < rowCount() && column < columnCount()) SetCellText(row, column, comboCellBefore_);
    combo_->hide();
  }
}

}  // namespace pages
