#pragma once
// The "冷机" page: reads the state of a reefer container's refrigeration unit and writes its
// temperature set point.
#include "pages/chiller/chiller_commands.h"
#include "pages/kit/page.h"

class QComboBox;
class QLineEdit;

namespace pages {

class RangeEdit;

class ChillerPage : public Page {
  Q_OBJECT
 public:
  ChillerPage(devlink::DeviceLink& link, int productVariant, QWidget* parent = nullptr);

  // What the buttons do.
  void ReadState();
  void WriteSetPoint();

  // The set point.
  std::vector<std::string> ShowProfile(const Profile& profile) override;

 private:
  void Show(const chiller::ChillerState& state);

  QLineEdit* container_ = nullptr;
  QLineEdit* returnAir_ = nullptr;
  QLineEdit* supplyAir_ = nullptr;
  RangeEdit* setPoint_ = nullptr;
  QComboBox* workMode_ = nullptr;
  QLineEdit* alarmCodes_ = nullptr;
};

}  // namespace pages
