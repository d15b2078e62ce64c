#pragma once
// Page kinds and product variants: which pages a variant shows, in tab order, and the link
// settings it starts with.
#include <array>
#include <span>
#include <string_view>

#include "link/device_link.h"

namespace app {

enum PageKind : int {
  kSettingsPage = 0,
  kDigitalSensorPage = 1,
  kCurveFixedPage = 2,
  kCurveMultiPage = 3,
  kHistoryPage = 4,
  kRelayPage = 5,
  kWifiPage = 6,
  kPropertyPage = 7,
  kProperty2Page = 8,
  kChillerPage = 9,
  kBluetoothLoggerPage = 10,
  kFridgeBoxPage = 11,
  kTransmitter32Page = 12,
  kWirelessLoggerPage = 13,
};
constexpr int kPageKindCount = 14;

struct PageKindInfo {
  int kind;
  int dialogTemplate;
  std::string_view caption;  // tab caption, UTF-8
};

// Indexed by kind.
extern const std::array<PageKindInfo, kPageKindCount> kPageKinds;

// The tab caption of a kind; empty for an unknown kind.
std::string_view PageCaption(int kind);

// Page kinds of a variant in tab order. A variant without a row of its own (there is none
// within -2..10, but callers may pass anything) gets the default list 0, 3, 4, 7.
std::span<const int> VariantPages(int variant);

// Entries of the baud list, in order.
extern const std::array<std::string_view, 15> kBaudRates;
// Index of the baud list entry a variant starts with: "115200" (12) for variants 5 and 6,
// "9600" (6) otherwise.
int VariantBaudIndex(int variant);

// The addressing mode a variant starts in: Bluetooth for variant 6, multi-device otherwise.
devlink::AddressingMode VariantStartMode(int variant);

// Applies the variant's link settings on top of the defaults: variant 3 turns TCP mode on with
// port 80; variants 5 and 6 use baud "115200".
void ApplyVariantLink(int variant, devlink::DeviceLink& link);

}  // namespace app
