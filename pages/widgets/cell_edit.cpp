#include "pages/widgets/cell_edit.h"

#include <QFocusEvent>
#include <QKeyEvent>

#include "pages/widgets/range_edit.h"

namespace pages {

// Cells hold short values; the editor takes at most this many characters.
constexpr int kCellEditMaxLength = 9;

CellEdit::CellEdit(QWidget* parent) : QLineEdit(parent) {
  setMaxLength(kCellEditMaxLength);
  setFrame(true);
}

bool CellEdit::AcceptsNumericKey(const QString& text, QChar key) {
  if (key >= QLatin1Char('0') && key <= QLatin1Char('9')) return true;
  if (key == QLatin1Char('\b') || key == QLatin1Char('-')) return true;
  if (key == QLatin1Char('.')) return !text.isEmpty() && !text.contains(QLatin1Char('.'));
  return false;
}

bool CellEdit::event(QEvent* event) {
  // Escape belongs to the edit before any shortcut of the window sees it.
  if (event->type() == QEvent::ShortcutOverride &&
      static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
    event->accept();
    return true;
  }
  return QLineEdit::event(event);
}

void CellEdit::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Escape) {
    event->accept();
    emit cancelled();
    return;
  }
  if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
    QLineEdit::keyPressEvent(event);  // returnPressed: the list commits
    event->accept();
    return;
  }
  QChar key;
  if (!freeText_ && TypedCharacter(event, &key) && !AcceptsNumericKey(text(), key)) {
    event->accept();
    return;
  }
  QLineEdit::keyPressEvent(event);
}

void CellEdit::focusOutEvent(QFocusEvent* event) {
  QLineEdit::focusOutEvent(event);
  if (event->reason() != Qt::PopupFocusReason) emit focusLost();
}

}  // namespace pages
