#include "pages/kit/bluetooth_device.h"

namespace pages {

namespace {
constexpr const char* kMacOption = "mac";
}  // namespace

Outcome ConnectBluetoothDevice(devlink::DeviceLink& link, std::function<void()> idle) {
  if (!link.bluetoothConnected) return Outcome::Failure(kConnectBluetoothFirst);
  const devlink::AdapterResult connected = devlink::ConnectToMac(link, std::move(idle));
  if (!connected.ok) return Outcome::Failure(connected.message);
  return Outcome::Success("");
}

devlink::ExchangeResult BluetoothChannel::Exchange(devlink::ByteView request,
                                                   const devlink::ReplySpec& spec) {
  return devlink::SerialExchange(link_, request, spec.capacity, spec.completion,
                                 spec.serialDelayFactor);
}

Field MacField() {
  return MacAddress(kMacOption, "the instrument's Bluetooth MAC address (\"00:1A:7D:DA:71:13\")");
}

Outcome RunOnBluetoothDevice(devlink::Channel& channel, const Args& args,
                             const std::function<Outcome(devlink::Channel&)>& command) {
  const std::string& mac = args.Text(kMacOption);
  if (auto refused = Refusal(MacField(), mac)) return *refused;
  devlink::DeviceLink* link = channel.Link();
  // Only a channel over the program's link reaches the adapter's serial port.
  if (link == nullptr) return Outcome::Failure(kConnectBluetoothFirst);
  link->macText = mac;
  link->bluetoothConnected = true;
  const Outcome connected = ConnectBluetoothDevice(*link);
  if (!connected.ok) return connected;
  BluetoothChannel serial(*link);
  return command(serial);
}

}  // namespace pages
