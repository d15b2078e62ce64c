#include "pages/widgets/cell_combo.h"

#include <QAbstractItemView>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QSignalBlocker>

namespace pages {

CellCombo::CellCombo(QWidget* parent) : QComboBox(parent) {
  setEditable(false);
  setMaxVisibleItems(12);  // longer lists scroll
}

void CellCombo::FillKinds() {
  const QSignalBlocker quiet(this);
  clear();
  addItem(QStringLiteral("温度"));
  addItem(QStringLiteral("湿度"));
}

void CellCombo::FillReferencePoints() {
  const QSignalBlocker quiet(this);
  clear();
  int first = -80;
  int last = 150;
  if (humidity_) {
    first = 0;
    last = 100;
  } else if (temperature_) {
    first = -40;
    last = 100;
  }
  for (int value = first; value <= last; value += 10) {
    addItem(QString::asprintf("%.1f", static_cast<double>(value)));
  }
}

void CellCombo::SelectForCellText(const QString& cellText) {
  const QSignalBlocker quiet(this);
  for (int i = 0; i < count(); ++i) {
    if (itemText(i).startsWith(cellText, Qt::CaseInsensitive)) {
      setCurrentIndex(i);
      return;
    }
  }
  setCurrentIndex(count() > 0 ? count() / 2 : -1);
}

bool CellCombo::event(QEvent* event) {
  if (event->type() == QEvent::ShortcutOverride &&
      static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape && !view()->isVisible()) {
    event->accept();
    return true;
  }
  return QComboBox::event(event);
}

void CellCombo::keyPressEvent(QKeyEvent* event) {
  switch (event->key()) {
    case Qt::Key_Escape:
      event->accept();
      emit cancelled();
      return;
    case Qt::Key_Return:
    case Qt::Key_Enter:
      event->accept();
      emit committed();
      return;
    default:
      QComboBox::keyPressEvent(event);
  }
}

void CellCombo::focusOutEvent(QFocusEvent* event) {
  QComboBox::focusOutEvent(event);
  if (event->reason() != Qt::PopupFocusReason) emit focusLost();
}

}  // namespace pages
