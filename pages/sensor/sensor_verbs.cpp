// tool-cli verbs of the digital sensor page, one per command. The sensor's address is the
// connection's --address (its low byte goes on the wire); find-address reports it.
#include <string>
#include <vector>

#include "pages/sensor/sensor_commands.h"

namespace pages::sensor {

namespace {

// Address 0 is Modbus broadcast: the sensor would carry out a write without answering it.
template <class Run>
CommandDef AddressedVerb(std::string verb, std::string help, std::vector<Field> fields, Run run) {
  return Verb(std::move(verb), std::move(help), std::move(fields),
              [run](devlink::Channel& channel, const Args& args) -> Outcome {
                const int address = channel.DeviceAddress();
                if (address == 0) return Outcome::Refused(kAddressRange, "address");
                return ToOutcome(run(channel, address, args));
              });
}

}  // namespace

CommandSet Commands() {
  CommandSet set;
  set.page = "sensor";
  set.help = "digital sensor (Modbus): address and baud rate, channel types, versions, SN";
  auto& c = set.commands;
  c.push_back(Verb("find-address",
                   "read the sensor's address at 0xFA (trying 2400, 4800 and 9600 on a serial "
                   "port when it does not answer), then its baud rate",
                   {}, [](devlink::Channel& channel, const Args&) {
                     std::unique_ptr<SerialLine> line = LineBehind(channel);
                     return FindSensor(channel, line.get());
                   }));
  c.push_back(AddressedVerb("read-baud", "read the sensor's baud rate index", {},
                            [](devlink::Channel& channel, int address, const Args&) -> Outcome {
                              const Result<int> index = ReadBaudIndex(channel, address);
                              if (!index.ok()) return index.outcome;
                              return Outcome::Success("")
                                  .With("baud-index", int64_t{index.value})
                                  .With("baud", std::string(kBaudRates[index.value - 1]));
                            }));
  c.push_back(AddressedVerb(
      "set-address", "give the sensor a new address",
      {Integer(kFieldNewAddress, "the new address", 1, kSensorAddressMax, kAddressRange)},
      [](devlink::Channel& channel, int address, const Args& args) -> Outcome {
        const Result<int> written = WriteAddress(channel, address, args.Int(kFieldNewAddress));
        if (!written.ok()) return written.outcome;
        return Outcome::Success("").With("address", int64_t{written.value});
      }));
  c.push_back(AddressedVerb(
      "set-baud",
      "set the sensor's baud rate; it then answers only at that rate (reopen the port with "
      "--baud to reach it)",
      {Choice("rate", "the new baud rate", {kBaudRates.begin(), kBaudRates.end()})
           .Refuse(kSelectBaud)},
      [](devlink::Channel& channel, int address, const Args& args) {
        std::optional<int> selection;
        for (size_t i = 0; i < kBaudRates.size(); ++i) {
          if (args.Text("rate") == kBaudRates[i]) selection = static_cast<int>(i);
        }
        return WriteBaud(channel, address, selection);
      }));
  c.push_back(AddressedVerb("read-channel-types", "read the types of the sensor's two channels",
                            {}, [](devlink::Channel& channel, int address, const Args&) {
                              return ReadChannelTypes(channel, address);
                            }));
  c.push_back(AddressedVerb("read-versions", "read the hardware and software versions", {},
                            [](devlink::Channel& channel, int address, const Args&) {
                              std::unique_ptr<SerialLine> line = LineBehind(channel);
                              return ReadVersions(channel, address, line.get());
                            }));
  c.push_back(AddressedVerb("read-sn", "read the production date and serial number (SN)", {},
                            [](devlink::Channel& channel, int address, const Args&) {
                              return ReadSn(channel, address);
                            }));
  c.push_back(AddressedVerb(
      "write-sn", "write the production date and serial number",
      {Integer("year", "production year", kSnYearMin, kSnYearMax, kSnYearRange),
       Integer("month", "production month", 1, 12, kSnMonthRange),
       Integer("serial", "serial number", 0, kSerialMax, kSerialOutOfRange)},
      [](devlink::Channel& channel, int address, const Args& args) {
        return WriteSn(channel, address, static_cast<int>(args.Int("year")),
                       static_cast<int>(args.Int("month")), static_cast<int>(args.Int("serial")));
      }));
  return set;
}

}  // namespace pages::sensor
