// tool-cli verbs of the 32-bit transmitter page, one per command, built on the typed commands.
#include "pages/transmitter32/transmitter32_commands.h"
#include "pages/kit/profile.h"
#include "pages/widgets/sn_clock_protocols.h"

namespace pages::transmitter32 {

namespace {

inline constexpr const char* kSoundLightNeedsExternal =
    "--sound-light 只用于 --scope external（总开关的声光报警用 write-sound-light 设置）";
inline constexpr const char* kSoundLightMissing = "缺少参数 --sound-light";

// Intervals and the delay are checked by the commands themselves, with the page's texts.
Field WholeNumber(const char* name, const char* help) {
  return Integer(name, help, INT32_MIN, INT32_MAX).Refuse(kNotAnInteger);
}

Field ScopeField() {
  return Choice("scope", "master switch (总开关) or external power (外接电)",
                {"master", "external"})
      .Optional("master");
}

AlarmScope ScopeOf(const Args& args) {
  return args.Text("scope") == "external" ? AlarmScope::External : AlarmScope::Master;
}

}  // namespace

CommandSet Commands() {
  CommandSet set;
  set.page = "transmitter32";
  set.help =
      "32-bit transmitter: intervals, recording, alarm delay and switches, alarm numbers, APN, "
      "signal, clock, history, factory settings";
  auto& c = set.commands;
  c.push_back(Verb("read-intervals", "read the history, print and alarm intervals", {},
                   [](devlink::Channel& channel, const Args&) { return ReadIntervals(channel); }));
  c.push_back(Verb("write-intervals", "write the three intervals (minutes, 1..65535)",
                   {WholeNumber("history", "history record interval, minutes"),
                    WholeNumber("print", "print interval, minutes"),
                    WholeNumber("alarm", "alarm record interval, minutes")},
                   [](devlink::Channel& channel, const Args& args) {
                     return WriteIntervals(
                         channel, {args.Int("history"), args.Int("print"), args.Int("alarm")});
                   }));
  c.push_back(Verb("read-alarm-delay", "read the alarm delay", {},
                   [](devlink::Channel& channel, const Args&) { return ReadAlarmDelay(channel); }));
  c.push_back(Verb("write-alarm-delay", "write the alarm delay",
                   {WholeNumber("seconds", "seconds, 0..65535")},
                   [](devlink::Channel& channel, const Args& args) {
                     return WriteAlarmDelay(channel, args.Int("seconds"));
                   }));
  c.push_back(Verb("read-signal", "read the GSM signal strength", {},
                   [](devlink::Channel& channel, const Args&) {
                     return ReadSignalStrength(channel);
                   }));
  c.push_back(Verb("read-recording", "read whether the transmitter records", {},
                   [](devlink::Channel& channel, const Args&) { return ReadRecording(channel); }));
  c.push_back(Verb("write-recording", "switch recording on or off",
                   {Switch("recording", "recording on/off")},
                   [](devlink::Channel& channel, const Args& args) {
                     return WriteRecording(channel, args.Switch("recording"));
                   }));
  c.push_back(Verb("read-sound-light", "read the sound/light alarm (master switch)", {},
                   [](devlink::Channel& channel, const Args&) { return ReadSoundLight(channel); }));
  c.push_back(Verb("write-sound-light", "switch the sound/light alarm (master switch)",
                   {Switch("sound-light", "sound/light alarm on/off")},
                   [](devlink::Channel& channel, const Args& args) {
                     return WriteSoundLight(channel, args.Switch("sound-light"));
                   }));
  c.push_back(Verb("read-sms-alarm",
                   "read the SMS alarm (with external power also the sound/light alarm)",
                   {ScopeField()}, [](devlink::Channel& channel, const Args& args) {
                     return ReadSmsAlarm(channel, ScopeOf(args));
                   }));
  c.push_back(Verb(
      "write-sms-alarm",
      "switch the SMS alarm (with external power together with the sound/light alarm)",
      {ScopeField(), Switch("sms", "SMS alarm on/off"),
       Switch("sound-light", "sound/light alarm on/off (external power only)").Optional()},
      [](devlink::Channel& channel, const Args& args) {
        const AlarmScope scope = ScopeOf(args);
        const bool given = args.Has("sound-light");
        if (scope == AlarmScope::Master && given) {
          return Outcome::Refused(kSoundLightNeedsExternal, "sound-light");
        }
        if (scope == AlarmScope::External && !given) {
          return Outcome::Refused(kSoundLightMissing, "sound-light");
        }
        return WriteSmsAlarm(channel, scope, given && args.Switch("sound-light"),
                             args.Switch("sms"));
      }));
  for (CommandDef& def : gsm::AlarmNumberVerbs()) c.push_back(std::move(def));
  c.push_back(Verb("read-apn", "read the GSM access point, user name and password", {},
                   [](devlink::Channel& channel, const Args&) { return ReadApn(channel); }));
  c.push_back(Verb("write-apn", "write the GSM access point, user name and password",
                   {Text("apn", "access point name, at most 20 bytes", kApnFieldBytes),
                    Text("user", "user name, at most 20 bytes", kApnFieldBytes).Optional(),
                    Text("password", "password, at most 20 bytes", kApnFieldBytes).Optional()},
                   [](devlink::Channel& channel, const Args& args) {
                     Apn apn{args.Text("apn"), {}, {}};
                     if (args.Has("user")) apn.user = args.Text("user");
                     if (args.Has("password")) apn.password = args.Text("password");
                     return WriteApn(channel, apn);
                   }));
  // The clock widget that the page hosts: its read and set commands are the page's too.
  for (CommandDef& def : WidgetVerbs({"read-clock", "set-clock"})) c.push_back(std::move(def));
  c.push_back(Verb("clear-data", "erase the stored history (cannot be undone)",
                   {Choice("confirm", "must be yes", {"yes"})},
                   [](devlink::Channel& channel, const Args&) { return ClearHistory(channel); }));
  c.push_back(Verb("factory-reset", "restore the factory settings", {},
                   [](devlink::Channel& channel, const Args&) {
                     return RestoreFactorySettings(channel);
                   }));
  // The signal strength is only read; clock, clearing and factory settings are actions.
  AddProfile(set, {{{"read-intervals", "write-intervals"},
                    {"read-alarm-delay", "write-alarm-delay"},
                    {"read-recording", "write-recording"},
                    {"read-sound-light", "write-sound-light"},
                    {"read-sms-alarm", "write-sms-alarm", {"scope"}, {{"master"}, {"external"}}},
                    {"read-alarm-number", "write-alarm-number", {"slot"},
                     NumberSelections(1, gsm::kAlarmSlots)},
                    {"read-apn", "write-apn"}}});
  return set;
}

}  // namespace pages::transmitter32
