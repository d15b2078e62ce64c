#include "app/page_factory.h"

#include "app/variants.h"
#include "pages/widgets/page.h"
// Page headers: one line per page.
#include "pages/chiller/chiller_page.h"
#include "pages/property2/property2_page.h"
#include "pages/settings/settings_page.h"
#include "pages/property/property_page.h"

namespace app {
namespace {

QWidget* EmptyPage(devlink::DeviceLink& link, int variant, QWidget* parent) {
  return new pages::Page(link, variant, parent);
}

}  // namespace

QWidget* CreatePage(int kind, devlink::DeviceLink& link, int variant, QWidget* parent) {
  // One line per kind: replace EmptyPage(...) with the page's constructor when it lands.
  switch (kind) {
    case kSettingsPage: return new pages::SettingsPage(link, variant, parent);
    case kDigitalSensorPage: return EmptyPage(link, variant, parent);
    case kCurveFixedPage: return EmptyPage(link, variant, parent);
    case kCurveMultiPage: return EmptyPage(link, variant, parent);
    case kHistoryPage: return EmptyPage(link, variant, parent);
    case kRelayPage: return EmptyPage(link, variant, parent);
    case kWifiPage: return EmptyPage(link, variant, parent);
    case kPropertyPage: return new pages::PropertyPage(link, variant, parent);
    case kProperty2Page: return new pages::PropertySettings2Page(link, variant, parent);
    case kChillerPage: return new pages::ChillerPage(link, variant, parent);
    case kBluetoothLoggerPage: return EmptyPage(link, variant, parent);
    case kFridgeBoxPage: return EmptyPage(link, variant, parent);
    case kTransmitter32Page: return EmptyPage(link, variant, parent);
    case kWirelessLoggerPage: return EmptyPage(link, variant, parent);
    default: return EmptyPage(link, variant, parent);
  }
}

}  // namespace app
