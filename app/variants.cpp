#include "app/variants.h"

namespace app {

const std::array<PageKindInfo, kPageKindCount> kPageKinds = {{
    {kSettingsPage, 130, "设置"},
    {kDigitalSensorPage, 165, "数字传感器"},
    {kCurveFixedPage, 129, "曲线校准"},
    {kCurveMultiPage, 101, "曲线校准"},
    {kHistoryPage, 138, "历史数据"},
    {kRelayPage, 141, "中继配置"},
    {kWifiPage, 149, "WIFI配置"},
    {kPropertyPage, 148, "属性设置"},
    {kProperty2Page, 164, "属性设置2"},
    {kChillerPage, 151, "冷机"},
    {kBluetoothLoggerPage, 154, "蓝牙记录仪"},
    {kFridgeBoxPage, 157, "冷藏箱"},
    {kTransmitter32Page, 159, "32位变送器"},
    {kWirelessLoggerPage, 161, "无线记录仪"},
}};

const std::array<std::string_view, 15> kBaudRates = {
    "110",   "300",   "600",   "1200",  "2400",   "4800",   "9600",   "14400",
    "19200", "38400", "56000", "57600", "115200", "128000", "256000",
};

namespace {

constexpr int kVariantM2[] = {7, 12};
constexpr int kVariantM1[] = {0, 2, 4, 7};
constexpr int kVariant0[] = {0, 3, 4, 7};
constexpr int kVariant1[] = {0, 1, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13};
constexpr int kVariant2[] = {5, 4};
constexpr int kVariant3[] = {6, 7, 12, 3};
constexpr int kVariant4[] = {9};
constexpr int kVariant5[] = {7, 3};
constexpr int kVariant6[] = {10, 3};
constexpr int kVariant7[] = {7, 8, 11, 3};
constexpr int kVariant8[] = {7, 8, 12, 3};
constexpr int kVariant9[] = {13};
constexpr int kVariant10[] = {1, 3};

constexpr int kBaudIndex9600 = 6;
constexpr int kBaudIndex115200 = 12;

}  // namespace

std::string_view PageCaption(int kind) {
  if (kind < 0 || kind >= kPageKindCount) return {};
  return kPageKinds[static_cast<size_t>(kind)].caption;
}

std::span<const int> VariantPages(int variant) {
  switch (variant) {
    case -2: return kVariantM2;
    case -1: return kVariantM1;
    case 1: return kVariant1;
    case 2: return kVariant2;
    case 3: return kVariant3;
    case 4: return kVariant4;
    case 5: return kVariant5;
    case 6: return kVariant6;
    case 7: return kVariant7;
    case 8: return kVariant8;
    case 9: return kVariant9;
    case 10: return kVariant10;
    default: return kVariant0;
  }
}

int VariantBaudIndex(int variant) {
  return (variant == 5 || variant == 6) ? kBaudIndex115200 : kBaudIndex9600;
}

devlink::AddressingMode VariantStartMode(int variant) {
  return variant == 6 ? devlink::AddressingMode::Bluetooth : devlink::AddressingMode::Multi;
}

void ApplyVariantLink(int variant, devlink::DeviceLink& link) {
  if (variant == 3) {
    link.tcpPort = 80;
    link.tcpMode = true;
  }
  if (variant == 5 || variant == 6) {
    link.baudText = std::string(kBaudRates[kBaudIndex115200]);
  }
}

}  // namespace app
