#pragma once
// Instruments reached through the Bluetooth adapter on the serial port. Before each of their
// commands the main window's Bluetooth connection must be up and the adapter must hold the
// instrument's MAC (the adapter is switched over when it holds none or another one); the
// instrument's own frames then go over the serial port, whichever channel the main window has
// selected, because that is where the adapter sits.
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "link/bluetooth.h"
#include "link/device_link.h"
#include "link/exchange.h"
#include "pages/kit/command_table.h"

namespace pages {

inline constexpr const char* kConnectBluetoothFirst = "请连接蓝牙设备";

// "请连接蓝牙设备" while the link's Bluetooth-connected flag is off; otherwise ConnectToMac with
// the link's MAC text, failing with its message. `idle` runs during the adapter's waits (the
// connect command alone may take two minutes).
Outcome ConnectBluetoothDevice(devlink::DeviceLink& link, std::function<void()> idle = {});

// The serial channel of a link, also while the link is in TCP mode.
class BluetoothChannel : public devlink::Channel {
 public:
  explicit BluetoothChannel(devlink::DeviceLink& link) : link_(link) {}
  devlink::ExchangeResult Exchange(devlink::ByteView request,
                                   const devlink::ReplySpec& spec) override;
  uint8_t DeviceAddress() const override { return link_.WireAddress(); }
  devlink::DeviceLink* Link() override { return &link_; }

 private:
  devlink::DeviceLink& link_;
};

// ---- tool-cli ----

// --mac: the instrument's MAC text, as typed into the main window's MAC field.
Field MacField();

// For a verb of an instrument behind the adapter: takes the --mac of `args` as the main window's
// MAC text and connection, connects the adapter to it, then runs `command` on the serial
// channel. A MAC text that is not six pairs of hex digits is refused before anything is sent,
// the adapter included.
Outcome RunOnBluetoothDevice(devlink::Channel& channel, const Args& args,
                             const std::function<Outcome(devlink::Channel&)>& command);

// A verb of an instrument behind the adapter: `fields` with --mac in front. `refuse`, when given,
// looks at the arguments first: an outcome from it is the verb's outcome and nothing is sent.
template <class Run>
CommandDef BluetoothVerb(std::string verb, std::string help, std::vector<Field> fields, Run run,
                         std::function<std::optional<Outcome>(const Args&)> refuse = {}) {
  fields.insert(fields.begin(), MacField());
  return Verb(std::move(verb), std::move(help), std::move(fields),
              [run = std::move(run), refuse = std::move(refuse)](devlink::Channel& channel,
                                                                 const Args& args) -> Outcome {
                if (refuse) {
                  if (std::optional<Outcome> refused = refuse(args)) return *refused;
                }
                return RunOnBluetoothDevice(channel, args, [&](devlink::Channel& serial) {
                  return ToOutcome(run(serial, args));
                });
              });
}

}  // namespace pages
