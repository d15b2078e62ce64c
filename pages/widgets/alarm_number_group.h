#pragma once
// The "报警号码" group of the GSM recorder pages (refrigerated box, 32-bit transmitter): the slot
// list "号码1".."号码3", the number of the selected slot and the group's "读"/"写" buttons. It
// remembers per slot the numbers read or written, shows the remembered one when the slot
// changes, and reports each command's outcome on its host page.
#include <QGroupBox>
#include <functional>

#include "pages/kit/page_kit.h"
#include "pages/widgets/alarm_numbers.h"

class QComboBox;
class QLineEdit;

namespace pages {

class Page;

class AlarmNumberGroup : public QGroupBox {
  Q_OBJECT
 public:
  // `beforeWrite` is the host page's check of its other fields before any write: a write goes
  // ahead only when it returns true. Empty: no check.
  AlarmNumberGroup(Page& host, std::function<bool()> beforeWrite, QWidget* parent);

  // What the buttons do: the number of the selected slot from or to the instrument.
  void Read();
  void Write();
  // Where a profile's number of the selected slot goes (the group "alarm-number:<slot>").
  GroupControls ProfileControls();

 private:
  void ShowCachedNumber();

  Page& host_;
  std::function<bool()> beforeWrite_;
  QComboBox* slot_ = nullptr;
  QLineEdit* number_ = nullptr;
  gsm::AlarmNumberCache numbers_;
};

}  // namespace pages
