#pragma once
// The "属性设置2" page: the sample period of each channel ("通道灵敏度") and the display's
// screen-off time ("背光点亮时间"), each with a read and a write button.
#include "pages/property2/property2_commands.h"
#include "pages/kit/page.h"

class QComboBox;
class QGroupBox;

namespace pages {

class PropertySettings2Page : public Page {
  Q_OBJECT
 public:
  PropertySettings2Page(devlink::DeviceLink& link, int productVariant, QWidget* parent = nullptr);

  // What the buttons do.
  void ReadSamplePeriod();
  void WriteSamplePeriod();
  void ReadScreenOff();
  void WriteScreenOff();

  // The selected channel's sample period and the screen-off time.
  std::vector<std::string> ShowProfile(const Profile& profile) override;

 private:
  QGroupBox* BuildPeriodGroup();
  QGroupBox* BuildScreenOffGroup();

  QComboBox* channel_ = nullptr;
  QComboBox* period_ = nullptr;
  QComboBox* screenOff_ = nullptr;
};

}  // namespace pages
