#pragma once
// Instrument profiles: a page's whole configuration read into one JSON document, written back
// to another instrument and proven by reading every written value back, and two documents
// compared.
//
// A family declares which of its read verbs make up its configuration and the write verb that
// takes each read's values back (the write's options are named as the read's values), in the
// order the writes go out. Identity and actions (address, SN, clock, clearing, resets, power,
// control commands) are never part of a profile.
//
//   {"format": "tool-profile", "version": 1, "page": "settings",
//    "instrument": {"sn": ..., "connection": {...}}, "taken": "2026-12-09T16:30:05+00:00",
//    "program": "1.4.0",
//    "values": {"recording": {"interval": 10, "unit": "minutes", "capacity": 300},
//               "protection:3": {"channel": 3, "upper": 40, "lower": -10}, ...}}
//
// A group of values is named after its write verb ("write-recording" -> "recording"); a pair
// read once per channel or slot adds the options that pick it ("protection:3").
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "link/exchange.h"
#include "pages/kit/command_table.h"
#include "pages/kit/outcome.h"

namespace pages {

inline constexpr const char* kProfileFormat = "tool-profile";
inline constexpr int kProfileVersion = 1;

inline constexpr const char* kProfileSaved = "配置已保存";
inline constexpr const char* kProfileSaveFailed = "配置保存失败";
inline constexpr const char* kProfileReadFailed = "读取配置失败";
inline constexpr const char* kProfileNotReadable = "无法打开配置文件";
inline constexpr const char* kProfileMalformed = "配置文件格式错误";
inline constexpr const char* kProfileOtherPage = "配置文件属于另一页面";
inline constexpr const char* kProfileBadValue = "配置文件中的数值有误";
inline constexpr const char* kProfileApplied = "配置已写入，全部读回一致";
inline constexpr const char* kProfileWriteFailed = "配置写入失败";
inline constexpr const char* kProfileNotKept = "配置已写入，但以下数值读回不一致";
inline constexpr const char* kProfileDryRun = "试运行：未写入任何数值";
inline constexpr const char* kProfilesEqual = "两份配置相同";
inline constexpr const char* kProfilesDiffer = "两份配置不同";

// Selections of a pair: the texts of its `select` options, one list per group.
using Selections = std::vector<std::vector<std::string>>;
// Option texts by name, as a verb is given them.
using GivenOptions = std::map<std::string, std::string>;

// The selections first..last as numbers ("1" .. "32"): every channel or slot of a fixed count.
Selections NumberSelections(int first, int last);

// One read verb and the write verb that takes its values back.
struct ProfilePair {
  std::string read;   // "read-protection"
  std::string write;  // "write-protection"
  // Options that pick one of several like settings ("channel"): given to both verbs, kept in
  // the group and in its name.
  std::vector<std::string> select = {};
  // The selections a snapshot reads: fixed ones, or those `find` learns from the instrument
  // (the channels it reports). Neither: one group without selection. Pairs whose `find` is one
  // and the same plain function learn the list once per snapshot.
  Selections instances = {};
  std::function<std::variant<Selections, Outcome>(devlink::Channel&)> find = nullptr;
  // Values of the read that the write takes but the read-back is not compared on (a value the
  // instrument reports in another form than it takes it).
  std::vector<std::string> notCompared = {};
  // Values of the read that the write takes but that are the instrument's own (a MAC): a
  // snapshot names them under "instrument", a profile that carries one is refused, and the
  // write goes without them (which leaves them as they are).
  std::vector<std::string> leftOut = {};
  // The read's values in the form the write takes them, where the two differ (a table read as
  // one value a row and written as one repeated option): used for the snapshot and the
  // read-back alike.
  std::function<Values(const Values& read)> asWritten = nullptr;
  // Like `find`, also seeing the options the snapshot was given (ProfileDef::given).
  std::function<std::variant<Selections, Outcome>(devlink::Channel&, const GivenOptions&)>
      findGiven = nullptr;
  // Write options taken from a read value of another name: {write option, read value}.
  std::vector<std::pair<std::string, std::string>> renamed = {};
  // Drops from a group as read the values that are no setting in the state the read reports
  // (addresses a DHCP server gave): the write goes without them.
  std::function<void(Values& group)> trim = nullptr;
};

struct ProfileDef {
  std::vector<ProfilePair> pairs;  // in the order they are written
  // Read verbs whose values name the instrument in a snapshot (SN, versions); one that fails
  // is left out.
  std::vector<std::string> identity = {};
  // Options of the snapshot and apply verbs handed to every verb of the profile: what reaches
  // or picks the instrument rather than configures it (the logger's Bluetooth --mac, the kind
  // of instrument). A snapshot names them under "instrument"; a profile never carries them.
  std::vector<Field> given = {};
  // Reads that name the instrument without a verb of the page (the SN and versions every
  // transmitter answers): their values join the identity's.
  std::function<Values(devlink::Channel&)> identify = nullptr;
};

// One group of a profile: the write's options by name, selecting options included.
struct ProfileGroup {
  std::string name;  // "recording", "protection:3"
  Values values;
  size_t pair = 0;  // which pair of the page's profile (set by CheckProfile and snapshots)
};

struct Profile {
  std::string page;
  Values instrument;  // "sn", ..., "connection.port", "connection.address"
  std::string taken;
  std::string program;
  std::vector<ProfileGroup> groups;
};

// Gives `set` its profile and the verbs that use it: snapshot --out FILE, apply --in FILE
// [--dry-run] [--only NAME,...].
void AddProfile(CommandSet& set, ProfileDef def);

// Reads every group of the page's profile (and the identity) from the instrument.
Result<Profile> TakeSnapshot(const CommandSet& set, devlink::Channel& channel,
                             const ProgressSink& progress = {}, const GivenOptions& given = {});
// The profile as its JSON document (UTF-8, a newline at the end).
std::string ProfileText(const Profile& profile);
// A profile document of any page: format, version and the shape of its members checked.
Result<Profile> ParseProfile(std::string_view text);
// The same from a file.
Result<Profile> LoadProfile(const std::string& path);
// Writes the document through a temporary file renamed over `path`.
Outcome SaveProfile(const Profile& profile, const std::string& path);

// Checks a parsed profile against the page: its page, its group names, and every group's
// values through the write verb's own fields and checks, nothing sent. On success the groups
// know their pair. A refusal names the group and value ("alarm-limits.temp-lower").
Outcome CheckProfile(const CommandSet& set, Profile& profile, const GivenOptions& given = {});

struct ApplyOptions {
  bool dryRun = false;
  // Groups to write, by name ("protection:3") or by the name of their pair ("protection");
  // empty: every group.
  std::vector<std::string> only;
  // The page's ProfileDef::given options.
  GivenOptions given;
};
// Checks the profile, then writes its groups in the declared order and reads every written
// value back. Succeeds only when every value reads back as written; the failure names each
// value that did not take. A dry run reads the instrument and lists the writes it would make.
Outcome ApplyProfile(const CommandSet& set, devlink::Channel& channel, Profile profile,
                     const ApplyOptions& options, const ProgressSink& progress = {});

// A value that differs between two profiles, by "group.name"; absent on one side: nullopt.
struct ProfileDifference {
  std::string name;
  std::optional<Value> first;
  std::optional<Value> second;
};
std::vector<ProfileDifference> CompareProfiles(const Profile& first, const Profile& second);

// A value as the option text its write verb takes ("on", "12.5", "minutes").
std::string OptionText(const Value& value);
// Two values that mean the same option: the same text, the same number, the same switch.
bool SameOption(const Value& first, const Value& second);

// The "profile" command set: diff A.json B.json (files only).
CommandSet ProfileCommands();

}  // namespace pages
