#pragma once
// A list in report view whose cells are edited in place: a click on a cell floats the cell edit
// (or, in combo mode, the cell combo for column 1) over it, and the editor's text goes back into
// the cell when the editor loses the focus. Column 0 is never edited. Rows carry check boxes in
// column 0 unless the page turns them off.
//
// Column hook: called on every click on a cell with the column; its result becomes the cell
// edit's free-text flag (1: any text, 0: numeric keys only), so the page decides per column.
// After-edit hook: called after the cell edit has been opened on column 3 in combo mode.
//
// From the keyboard, F2 or Enter edits the current cell; in an editor Enter keeps the text,
// Escape drops it, and both give the focus back to the list. The editors float over the list as
// children of the list's parent, so the accessibility tree holds them beside the list, named
// after the column they edit.
#include <functional>

#include <QPointer>
#include <QStringList>
#include <QTableWidget>

#include "pages/widgets/cell_combo.h"
#include "pages/widgets/cell_edit.h"

namespace pages {

class EditableList : public QTableWidget {
  Q_OBJECT
 public:
  using ColumnHook = std::function<int(EditableList& list, QWidget* parent, int column)>;
  using AfterEditHook = std::function<void(EditableList& list, QWidget* parent)>;

  explicit EditableList(QWidget* parent = nullptr);
  ~EditableList() override;

  CellEdit* Editor() const { return edit_; }
  CellCombo* Combo() const { return combo_; }

  void SetComboMode(bool on) { comboMode_ = on; }
  bool ComboMode() const { return comboMode_; }
  void SetColumnHook(ColumnHook hook) { columnHook_ = std::move(hook); }
  void SetAfterEditHook(AfterEditHook hook) { afterEditHook_ = std::move(hook); }

  // The cell last clicked (-1 before the first click on a cell).
  int ClickedRow() const { return clickedRow_; }
  int ClickedColumn() const { return clickedColumn_; }

  // Check boxes in column 0 of every row (on after construction).
  void SetCheckBoxes(bool on);
  bool CheckBoxes() const { return checkBoxes_; }

  // Appends a row with the given cell texts (missing ones empty); returns its index.
  int AddRow(const QStringList& texts = {});
  QString CellText(int row, int column) const;
  void SetCellText(int row, int column, const QString& text);
  bool IsChecked(int row) const;
  void SetChecked(int row, bool checked);

  // What a click on a cell does after the list has handled it: hook, then the editor.
  void ActivateCell(int row, int column);
  // Moves an editor over the cell and gives it the focus.
  void OpenCellEdit(int row, int column);
  void OpenCellCombo(int row, int column);
  // Puts the text of an open editor into its cell and hides the editor.
  void CommitEditors();
  // Hides an open editor; its cell keeps the text it had before the edit.
  void CancelEditors();

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  QTableWidgetItem* ItemAt(int row, int column);
  // Moves `editor` over the cell, as a child of the list's parent, named after the column.
  void PlaceEditor(QWidget* editor, int row, int column, const QString& fallbackName);
  void CommitEdit();
  void CommitCombo();

  // Children of the list's parent once opened, so they may go before the list does.
  QPointer<CellEdit> edit_;
  QPointer<CellCombo> combo_;
  bool comboMode_ = false;
  bool checkBoxes_ = true;
  int clickedRow_ = -1;
  int clickedColumn_ = -1;
  // The cell each editor was opened on.
  int editRow_ = -1;
  int editColumn_ = -1;
  int comboRow_ = -1;
  int comboColumn_ = -1;
  QString comboCellBefore_;  // the combo writes each choice at once; Escape puts this back
  ColumnHook columnHook_;
  AfterEditHook afterEditHook_;
};

}  // namespace pages
