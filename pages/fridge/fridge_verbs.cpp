// tool-cli verbs of the refrigerated box page, one per command, built on the typed commands.
#include "pages/fridge/fridge_commands.h"
#include "pages/kit/profile.h"
#include "pages/widgets/sn_clock_protocols.h"

namespace pages::fridge {

namespace {

inline constexpr const char* kConfirmDeviceOff = "关闭设备须加 --confirm yes";

// Intervals are checked by the command itself (below 1, above 65535) with the page's texts.
Field IntervalField(const char* name, const char* help) {
  return Integer(name, help, 0, UINT32_MAX).Refuse(kNotAPositiveInteger);
}

}  // namespace

CommandSet Commands() {
  CommandSet set;
  set.page = "fridge";
  set.help = "refrigerated box: intervals, alarm numbers, SMS interval, status, clock, history";
  auto& c = set.commands;
  c.push_back(Verb("read-status", "read the device and recording on/off state", {},
                   [](devlink::Channel& channel, const Args&) { return ReadStatus(channel); }));
  c.push_back(Verb(
      "write-status",
      "write the device and recording on/off state (switching the device off needs --confirm "
      "yes: restarting it must be done by hand)",
      {Switch("device", "device on/off"), Switch("recording", "recording on/off"),
       Integer("second", "second state byte 0..255 (default: as --recording)", 0, 255).Optional(),
       Choice("confirm", "yes: the device may be switched off", {"yes"}).Optional()},
      [](devlink::Channel& channel, const Args& args) {
        if (!args.Switch("device") && !args.Has("confirm")) {
          return Outcome::Refused(kConfirmDeviceOff, "confirm");
        }
        Status status;
        status.device = args.Switch("device") ? 1 : 0;
        status.recording = args.Switch("recording") ? 1 : 0;
        status.second = args.Has("second") ? static_cast<uint8_t>(args.Int("second"))
                                           : status.recording;
        return WriteStatus(channel, status);
      }));
  c.push_back(Verb("read-intervals", "read the upload, history, print and alarm intervals", {},
                   [](devlink::Channel& channel, const Args&) { return ReadIntervals(channel); }));
  c.push_back(Verb("write-intervals", "write the four intervals (minutes, 1..65535)",
                   {IntervalField("upload", "upload interval, minutes"),
                    IntervalField("history", "history record interval, minutes"),
                    IntervalField("print", "print interval, minutes"),
                    IntervalField("alarm", "alarm record interval, minutes")},
                   [](devlink::Channel& channel, const Args& args) {
                     return WriteIntervals(channel, {args.Int("upload"), args.Int("history"),
                                                     args.Int("print"), args.Int("alarm")});
                   }));
  for (CommandDef& def : gsm::AlarmNumberVerbs()) c.push_back(std::move(def));
  c.push_back(Verb("read-sms-interval", "read the interval between alarm text messages", {},
                   [](devlink::Channel& channel, const Args&) { return ReadSmsInterval(channel); }));
  c.push_back(Verb("write-sms-interval", "write the interval between alarm text messages",
                   {Integer("seconds", "seconds, 0..65535", INT32_MIN, INT32_MAX)
                        .Refuse(kNotAnInteger)},
                   [](devlink::Channel& channel, const Args& args) {
                     return WriteSmsInterval(channel, args.Int("seconds"));
                   }));
  // The clock widget that the page hosts: its read and set commands are the page's too.
  for (CommandDef& def : WidgetVerbs({"read-clock", "set-clock"})) c.push_back(std::move(def));
  c.push_back(Verb("clear-data", "erase the stored history (cannot be undone)",
                   {Choice("confirm", "must be yes", {"yes"})},
                   [](devlink::Channel& channel, const Args&) { return ClearHistory(channel); }));
  // The status is no part of the profile: its write always carries the device's power flag,
  // and recording is switched on the spot when a run starts or ends, so a profile taken from a
  // stopped box must not stop a box that is recording (nor start one in the store room).
  AddProfile(set, {{{"read-intervals", "write-intervals"},
                    {"read-alarm-number", "write-alarm-number", {"slot"},
                     NumberSelections(1, gsm::kAlarmSlots)},
                    {"read-sms-interval", "write-sms-interval"}}});
  return set;
}

}  // namespace pages::fridge
