#include "pages/widgets/cell_combo.h"

#include <QFocusEvent>

namespace pages {

CellCombo::CellCombo(QWidget* parent) : QComboBox(parent) {
  setEditable(false);
  setMaxVisibleItems(12);  // longer lists scroll
}

void CellCombo::FillKinds() {
  clear();
  addItem(QStringLiteral("温度"));
  addItem(QStringLiteral("湿度"));
}

void CellCombo::FillReferencePoints() {
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
  for (int i = 0; i < count(); ++i) {
    if (itemText(i).startsWith(cellText, Qt::CaseInsensitive)) {
      setCurrentIndex(i);
      return;
    }
  }
  setCurrentIndex(count() > 0 ? count() / 2 : -1);
}

void CellCombo::focusOutEvent(QFocusEvent* event) {
  QComboBox::focusOutEvent(event);
  if (event->reason() != Qt::PopupFocusReason) emit focusLost();
}

}  // namespace pages
