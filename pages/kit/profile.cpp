#include "pages/kit/profile.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <filesystem>
#include <map>
#include <set>

#include "link/device_link.h"
#include "pages/kit/bluetooth_device.h"
#include "pages/kit/json.h"
#include "pages/kit/local_files.h"
#include "pages/kit/messages.h"
#include "tool_version.h"

namespace pages {

namespace {

// The channel a write runs on while its values are only checked: every exchange fails unsent,
// so a command that took its values stops at its first exchange.
class CheckOnly : public devlink::Channel {
 public:
  devlink::ExchangeResult Exchange(devlink::ByteView, const devlink::ReplySpec&) override {
    ++attempts;
    return {devlink::ExchangeStatus::NoReply, {}, false, "checking a profile: nothing is sent"};
  }
  uint8_t DeviceAddress() const override { return 1; }
  int attempts = 0;
};

std::string Stem(const std::string& writeVerb) {
  return writeVerb.rfind("write-", 0) == 0 ? writeVerb.substr(6) : writeVerb;
}

std::string GroupName(const ProfilePair& pair, const std::vector<std::string>& selection) {
  std::string name = Stem(pair.write);
  for (size_t i = 0; i < selection.size(); ++i) name += (i == 0 ? ":" : ",") + selection[i];
  return name;
}

// A selecting option's text as the value kept in the group: a whole number as a number.
Value SelectionValue(const std::string& text) {
  if (const std::optional<int64_t> number = ParseWholeInt(text)) return *number;
  return text;
}

const Value* FindValue(const Values& values, std::string_view name) {
  for (const auto& [key, value] : values) {
    if (key == name) return &value;
  }
  return nullptr;
}

const CommandDef& Verb(const CommandSet& set, const std::string& verb) {
  const CommandDef* def = set.Find(verb);
  if (def == nullptr) throw std::logic_error(set.page + ": the profile names no verb " + verb);
  return *def;
}

bool Contains(const std::vector<std::string>& names, const std::string& name) {
  return std::find(names.begin(), names.end(), name) != names.end();
}

// A group's values as the options of its write, after the page's given options.
GivenOptions OptionTexts(const Values& values, const GivenOptions& given) {
  GivenOptions texts = given;
  for (const auto& [name, value] : values) texts[name] = OptionText(value);
  return texts;
}

// The read value a write option is taken from.
std::string ReadName(const ProfilePair& pair, const std::string& option) {
  for (const auto& [write, read] : pair.renamed) {
    if (write == option) return read;
  }
  return option;
}

// The options that pick the group (the selection), as texts.
std::map<std::string, std::string> SelectionTexts(const ProfilePair& pair, const Values& values) {
  std::map<std::string, std::string> texts;
  for (const std::string& option : pair.select) {
    if (const Value* value = FindValue(values, option)) texts[option] = OptionText(*value);
  }
  return texts;
}

bool Selected(const ProfilePair& pair, const ProfileGroup& group,
              const std::vector<std::string>& only) {
  if (only.empty()) return true;
  return std::any_of(only.begin(), only.end(), [&](const std::string& name) {
    return name == group.name || name == Stem(pair.write);
  });
}

// The groups of one pair that a snapshot reads.
std::variant<Selections, Outcome> SelectionsOf(const ProfilePair& pair, devlink::Channel& channel,
                                               const GivenOptions& given) {
  if (pair.findGiven) return pair.findGiven(channel, given);
  if (pair.find) return pair.find(channel);
  if (!pair.instances.empty()) return pair.instances;
  return Selections{{}};
}

using FindFunction = std::variant<Selections, Outcome> (*)(devlink::Channel&);

// An earlier pair whose `find` is the same plain function as pair `p`'s: its list serves both.
std::optional<size_t> SameFindBefore(const ProfileDef& def, size_t p) {
  const FindFunction* mine = def.pairs[p].find.target<FindFunction>();
  if (mine == nullptr) return std::nullopt;
  for (size_t q = 0; q < p; ++q) {
    const FindFunction* other = def.pairs[q].find.target<FindFunction>();
    if (other != nullptr && *other == *mine) return q;
  }
  return std::nullopt;
}

// The read's values that the write takes back, selecting options first. A write option the
// read does not give is left to the write's default when the option is optional.
Result<ProfileGroup> GroupOfRead(const CommandSet& set, const ProfilePair& pair,
                                 const std::vector<std::string>& selection, const Outcome& read) {
  const CommandDef& write = Verb(set, pair.write);
  ProfileGroup group;
  group.name = GroupName(pair, selection);
  for (size_t i = 0; i < pair.select.size() && i < selection.size(); ++i) {
    group.values.emplace_back(pair.select[i], SelectionValue(selection[i]));
  }
  for (const Field& field : write.args) {
    if (Contains(pair.select, field.name) || Contains(pair.leftOut, field.name)) continue;
    const auto& given = set.profile->given;
    if (std::any_of(given.begin(), given.end(), [&](const Field& g) { return g.name == field.name; })) {
      continue;
    }
    if (const Value* value = FindValue(read.values, ReadName(pair, field.name))) {
      group.values.emplace_back(field.name, *value);
    } else if (field.required) {
      return Outcome::Failure(std::string(kProfileReadFailed) + "：" + pair.read + " gives no " +
                              ReadName(pair, field.name));
    }
  }
  if (pair.trim) pair.trim(group.values);
  return {read.message, std::move(group)};
}

// The pair's read of one selection; the selecting options count before the given ones.
Outcome ReadGroup(const CommandSet& set, const ProfilePair& pair, devlink::Channel& channel,
                  const std::map<std::string, std::string>& selection,
                  const GivenOptions& given) {
  GivenOptions options = selection;
  options.insert(given.begin(), given.end());
  Outcome read = RunVerb(Verb(set, pair.read), channel, options);
  if (read.ok && pair.asWritten) read.values = pair.asWritten(read.values);
  return read;
}

std::string NumberText(double value) {
  char buffer[64];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  return std::string(buffer, result.ptr);
}

std::optional<double> AsNumber(const Value& value) {
  if (const int64_t* i = std::get_if<int64_t>(&value)) return static_cast<double>(*i);
  if (const double* d = std::get_if<double>(&value)) return *d;
  if (const std::string* s = std::get_if<std::string>(&value)) return ParseWholeNumber(*s);
  return std::nullopt;
}

std::optional<bool> AsSwitch(const Value& value) {
  if (const bool* b = std::get_if<bool>(&value)) return *b;
  if (const std::string* s = std::get_if<std::string>(&value)) {
    Field field = Switch("value", "");
    const auto parsed = ParseField(field, *s);
    if (const Value* v = std::get_if<Value>(&parsed)) {
      if (const bool* b = std::get_if<bool>(v)) return *b;
    }
  }
  return std::nullopt;
}

Outcome Malformed(const std::string& why) {
  Outcome failure = Outcome::Failure(kProfileMalformed);
  failure.detail = why;
  return failure;
}

// A failed check of one group: the refusal's message, naming "group.value".
Outcome BadValue(const ProfileGroup& group, const Outcome& refusal) {
  const std::string name = refusal.field.empty() ? group.name : group.name + "." + refusal.field;
  Outcome failure = Outcome::Refused(std::string(kProfileBadValue) + "：" + name + "：" +
                                         refusal.message,
                                     "in");
  failure.With("value", name);
  return failure;
}

std::string ConnectionWords(const devlink::DeviceLink& link) {
  return link.tcpMode ? link.ip + ":" + std::to_string(link.tcpPort) : link.portName;
}

}  // namespace

Selections NumberSelections(int first, int last) {
  Selections selections;
  for (int number = first; number <= last; ++number) selections.push_back({std::to_string(number)});
  return selections;
}

std::string OptionText(const Value& value) {
  if (const bool* b = std::get_if<bool>(&value)) return *b ? "on" : "off";
  if (const int64_t* i = std::get_if<int64_t>(&value)) return std::to_string(*i);
  if (const double* d = std::get_if<double>(&value)) return NumberText(*d);
  return std::get<std::string>(value);
}

bool SameOption(const Value& first, const Value& second) {
  if (OptionText(first) == OptionText(second)) return true;
  const std::optional<double> a = AsNumber(first), b = AsNumber(second);
  if (a && b) return std::fabs(*a - *b) <= 1e-9 * std::max({1.0, std::fabs(*a), std::fabs(*b)});
  const std::optional<bool> x = AsSwitch(first), y = AsSwitch(second);
  return x && y && *x == *y;
}

void AddProfile(CommandSet& set, ProfileDef def) {
  auto shared = std::make_shared<const ProfileDef>(std::move(def));
  set.profile = shared;
  // The verbs run on a copy of the page's commands as they are now, the profile verbs left out.
  auto page = std::make_shared<const CommandSet>(set);
  const auto givenOf = [shared](const Args& args) {
    GivenOptions given;
    for (const Field& field : shared->given) {
      if (args.Has(field.name)) given[field.name] = OptionText(args.All().at(field.name));
    }
    return given;
  };
  std::vector<Field> snapshotFields{FilePath("out", "the profile file to write (JSON)")};
  snapshotFields.insert(snapshotFields.end(), shared->given.begin(), shared->given.end());
  set.commands.push_back(LongVerb(
      "snapshot",
      "read the whole configuration of the page (every setting a profile keeps) into a JSON file",
      std::move(snapshotFields),
      [page, givenOf](devlink::Channel& channel, const Args& args, const ProgressSink& progress) {
        // A file that cannot be written is refused before the instrument is read.
        const std::string& out = args.Text("out");
        std::error_code error;
        const std::filesystem::path folder = std::filesystem::path(out).parent_path();
        if (TrimBlanks(out).empty() || std::filesystem::is_directory(out, error) ||
            (!folder.empty() && !std::filesystem::is_directory(folder, error))) {
          return Outcome::Refused(std::string(kProfileSaveFailed) + "：" + out, "out");
        }
        Result<Profile> snapshot = TakeSnapshot(*page, channel, progress, givenOf(args));
        if (!snapshot.ok()) return snapshot.outcome;
        Outcome saved = SaveProfile(snapshot.value, args.Text("out"));
        if (!saved.ok) return saved;
        saved.With("file", args.Text("out"));
        saved.With("groups", static_cast<int64_t>(snapshot.value.groups.size()));
        for (const auto& [name, value] : snapshot.value.instrument) {
          if (name.rfind("connection.", 0) != 0) saved.With("instrument." + name, value);
        }
        return saved;
      }));
  std::vector<Field> applyFields{
      FilePath("in", "the profile file to apply (JSON)"),
      Flag("dry-run", "write nothing: read the instrument and list the writes that would be made"),
      Text("only", "groups to write, by name (\"recording,protection:3\" or \"protection\")")
          .Optional()};
  applyFields.insert(applyFields.end(), shared->given.begin(), shared->given.end());
  set.commands.push_back(LongVerb(
      "apply",
      "write a profile to the instrument in order, then read every value back and compare "
      "(exit 1 names each value that did not take)",
      std::move(applyFields),
      [page, givenOf](devlink::Channel& channel, const Args& args, const ProgressSink& progress) {
        Result<Profile> profile = LoadProfile(args.Text("in"));
        if (!profile.ok()) {
          Outcome refused = profile.outcome;
          refused.field = "in";
          return refused;
        }
        ApplyOptions options;
        options.dryRun = args.Switch("dry-run");
        options.given = givenOf(args);
        if (args.Has("only")) {
          for (std::string_view part : SplitList(args.Text("only"), ',')) {
            const std::string name(TrimBlanks(part));
            if (name.empty()) return Outcome::Refused("--only: an empty group name", "only");
            options.only.push_back(name);
          }
          if (options.only.empty()) return Outcome::Refused("--only: no group named", "only");
        }
        return ApplyProfile(*page, channel, std::move(profile.value), options, progress);
      }));
}

Result<Profile> TakeSnapshot(const CommandSet& set, devlink::Channel& channel,
                             const ProgressSink& progress, const GivenOptions& given) {
  if (!set.profile) return Outcome::Failure(set.page + ": this page keeps no profile");
  const ProfileDef& def = *set.profile;
  Profile profile;
  profile.page = set.page;
  profile.program = TOOL_VERSION;
  profile.taken = LocalNowIso();
  for (const std::string& verb : def.identity) {
    const Outcome read = RunVerb(Verb(set, verb), channel, given);
    if (!read.ok) continue;
    for (const auto& [name, value] : read.values) {
      // A read of one text (the SN widget's "text") names it after the verb: "sn".
      const std::string named = name == "text" ? verb.substr(verb.rfind("read-", 0) == 0 ? 5 : 0)
                                               : name;
      if (!FindValue(profile.instrument, named)) profile.instrument.emplace_back(named, value);
    }
  }
  if (def.identify) {
    for (auto& [name, value] : def.identify(channel)) {
      if (!FindValue(profile.instrument, name)) profile.instrument.emplace_back(name, std::move(value));
    }
  }
  for (const auto& [name, text] : given) {
    if (!FindValue(profile.instrument, name)) profile.instrument.emplace_back(name, text);
  }
  if (const devlink::DeviceLink* link = channel.Link()) {
    profile.instrument.emplace_back(link->tcpMode ? "connection.tcp" : "connection.port",
                                    ConnectionWords(*link));
    if (!link->tcpMode) profile.instrument.emplace_back("connection.baud", link->baudText);
    profile.instrument.emplace_back("connection.address", int64_t{link->address});
  }

  // Every pair's selections first (a channel list is read once), so progress knows the total.
  std::vector<Selections> selections;
  int64_t total = 0;
  for (size_t p = 0; p < def.pairs.size(); ++p) {
    if (const std::optional<size_t> same = SameFindBefore(def, p)) {
      selections.push_back(selections[*same]);
      total += static_cast<int64_t>(selections.back().size());
      continue;
    }
    auto found = SelectionsOf(def.pairs[p], channel, given);
    if (auto* failure = std::get_if<Outcome>(&found)) return std::move(*failure);
    selections.push_back(std::get<Selections>(std::move(found)));
    total += static_cast<int64_t>(selections.back().size());
  }
  int64_t done = 0;
  for (size_t p = 0; p < def.pairs.size(); ++p) {
    const ProfilePair& pair = def.pairs[p];
    for (const std::vector<std::string>& selection : selections[p]) {
      std::map<std::string, std::string> selected;
      for (size_t i = 0; i < pair.select.size() && i < selection.size(); ++i) {
        selected[pair.select[i]] = selection[i];
      }
      Outcome read = ReadGroup(set, pair, channel, selected, given);
      if (!read.ok) {
        read.message = std::string(kProfileReadFailed) + "：" + GroupName(pair, selection) + "：" +
                       read.message;
        read.field.clear();
        return read;
      }
      Result<ProfileGroup> group = GroupOfRead(set, pair, selection, read);
      if (!group.ok()) return group.outcome;
      // The instrument's own values name it, once.
      for (const std::string& name : pair.leftOut) {
        const Value* value = FindValue(read.values, name);
        if (value && !FindValue(profile.instrument, name)) profile.instrument.emplace_back(name, *value);
      }
      group.value.pair = p;
      profile.groups.push_back(std::move(group.value));
      if (progress) progress(++done, total);
    }
  }
  return {kReadOk, std::move(profile)};
}

std::string ProfileText(const Profile& profile) {
  Values document;
  document.emplace_back("format", std::string(kProfileFormat));
  document.emplace_back("version", int64_t{kProfileVersion});
  document.emplace_back("page", profile.page);
  for (const auto& [name, value] : profile.instrument) document.emplace_back("instrument." + name, value);
  document.emplace_back("taken", profile.taken);
  document.emplace_back("program", profile.program);
  // Group names never hold a '.', so "values.group.name" nests as values -> group -> name.
  for (const ProfileGroup& group : profile.groups) {
    for (const auto& [name, value] : group.values) {
      document.emplace_back("values." + group.name + "." + name, value);
    }
  }
  // One member a line at the top, so a profile reads well and diffs well in a text editor.
  std::string text = ValuesJson(document);
  // A profile of no groups (a page whose instrument reported none) still has its "values".
  if (profile.groups.empty() && !text.empty()) text.insert(text.size() - 1, ",\"values\":{}");
  std::string pretty;
  int depth = 0;
  bool inString = false;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (inString) {
      pretty.push_back(c);
      if (c == '\\') pretty.push_back(text[++i]);
      else if (c == '"') inString = false;
      continue;
    }
    if (c == '"') inString = true;
    if (c == '}') {
      --depth;
      if (depth < 2) pretty += "\n" + std::string(static_cast<size_t>(depth) * 2, ' ');
    }
    pretty.push_back(c);
    if (c == '{') {
      ++depth;
      if (depth <= 2) pretty += "\n" + std::string(static_cast<size_t>(depth) * 2, ' ');
    } else if (c == ',' && depth <= 2) {
      pretty += "\n" + std::string(static_cast<size_t>(depth) * 2, ' ');
    } else if (c == ':' && depth <= 2) {
      pretty.push_back(' ');
    }
  }
  return pretty + "\n";
}

// Group, option and instrument names are written as dotted paths ("values.group.option") and
// nested again by the dot: a name that is empty or holds one would come back as another shape.
// No verb's option and no group is named so; a hand-edited document that does is refused.
namespace {
bool IsPlainName(const std::string& name) {
  return !name.empty() && name.find('.') == std::string::npos;
}
}  // namespace

Result<Profile> ParseProfile(std::string_view text) {
  auto parsed = ParseJson(text);
  if (const std::string* error = std::get_if<std::string>(&parsed)) return Malformed(*error);
  const JsonNode& root = std::get<JsonNode>(parsed);
  if (!root.IsObject()) return Malformed("the document is no JSON object");
  const JsonNode* format = root.Find("format");
  if (format == nullptr || format->String() == nullptr || *format->String() != kProfileFormat) {
    return Malformed("\"format\" is not \"" + std::string(kProfileFormat) + "\"");
  }
  const JsonNode* version = root.Find("version");
  if (version == nullptr || !std::holds_alternative<int64_t>(version->data)) {
    return Malformed("\"version\" is no whole number");
  }
  if (std::get<int64_t>(version->data) != kProfileVersion) {
    return Malformed("version " + std::to_string(std::get<int64_t>(version->data)) +
                     " (this program reads version " + std::to_string(kProfileVersion) + ")");
  }
  Profile profile;
  const JsonNode* page = root.Find("page");
  if (page == nullptr || page->String() == nullptr || page->String()->empty()) {
    return Malformed("\"page\" is missing");
  }
  profile.page = *page->String();
  if (const JsonNode* taken = root.Find("taken"); taken && taken->String()) profile.taken = *taken->String();
  if (const JsonNode* program = root.Find("program"); program && program->String()) {
    profile.program = *program->String();
  }
  if (const JsonNode* instrument = root.Find("instrument"); instrument && instrument->IsObject()) {
    // Kept for display: one level of nesting ("connection") becomes dotted names.
    for (const auto& [name, node] : *instrument->Object()) {
      if (!IsPlainName(name)) continue;
      if (const auto scalar = node.Scalar()) {
        profile.instrument.emplace_back(name, *scalar);
      } else if (node.IsObject()) {
        for (const auto& [inner, innerNode] : *node.Object()) {
          if (!IsPlainName(inner)) continue;
          if (const auto scalar = innerNode.Scalar()) {
            profile.instrument.emplace_back(name + "." + inner, *scalar);
          }
        }
      }
    }
  }
  const JsonNode* values = root.Find("values");
  if (values == nullptr || !values->IsObject()) return Malformed("\"values\" is no object");
  for (const auto& [name, node] : *values->Object()) {
    if (!IsPlainName(name)) return Malformed("\"values\".\"" + name + "\" is no group name");
    if (!node.IsObject()) return Malformed("\"values\".\"" + name + "\" is no object");
    ProfileGroup group;
    group.name = name;
    for (const auto& [option, valueNode] : *node.Object()) {
      if (!IsPlainName(option)) {
        return Malformed("\"values\".\"" + name + "\".\"" + option + "\" is no option name");
      }
      const std::optional<Value> value = valueNode.Scalar();
      if (!value) {
        return Malformed("\"values\".\"" + name + "\".\"" + option +
                         "\" is no number, text, true or false");
      }
      group.values.emplace_back(option, *value);
    }
    profile.groups.push_back(std::move(group));
  }
  return {kReadOk, std::move(profile)};
}

Result<Profile> LoadProfile(const std::string& path) {
  const std::optional<std::string> text = ReadWholeFile(path);
  if (!text) return Outcome::Failure(std::string(kProfileNotReadable) + "：" + path);
  return ParseProfile(*text);
}

Outcome SaveProfile(const Profile& profile, const std::string& path) {
  const std::string text = ProfileText(profile);
  if (!ReplaceFile(path, devlink::Bytes(text.begin(), text.end()))) {
    return Outcome::Failure(std::string(kProfileSaveFailed) + "：" + path);
  }
  return Outcome::Success(kProfileSaved);
}

Outcome CheckProfile(const CommandSet& set, Profile& profile, const GivenOptions& given) {
  if (!set.profile) return Outcome::Refused(set.page + ": this page keeps no profile", "in");
  if (profile.page != set.page) {
    Outcome refused = Outcome::Refused(std::string(kProfileOtherPage) + "：" + profile.page, "in");
    refused.With("page", profile.page);
    return refused;
  }
  const ProfileDef& def = *set.profile;
  std::set<std::string> seen;
  for (ProfileGroup& group : profile.groups) {
    const std::string stem = group.name.substr(0, group.name.find(':'));
    const auto pair = std::find_if(def.pairs.begin(), def.pairs.end(),
                                   [&](const ProfilePair& p) { return Stem(p.write) == stem; });
    if (pair == def.pairs.end()) {
      return BadValue(group, Outcome::Refused("no such group on this page", ""));
    }
    group.pair = static_cast<size_t>(pair - def.pairs.begin());
    // The name must be the one its selecting values give, so two groups never write one slot.
    std::vector<std::string> selection;
    for (const std::string& option : pair->select) {
      const Value* value = FindValue(group.values, option);
      if (value == nullptr) return BadValue(group, MissingField(option));
      selection.push_back(OptionText(*value));
    }
    if (GroupName(*pair, selection) != group.name || !seen.insert(group.name).second) {
      return BadValue(group, Outcome::Refused("the group's name does not match its " +
                                                  (pair->select.empty() ? std::string("verb")
                                                                        : pair->select.front()),
                                              ""));
    }
    const CommandDef& write = Verb(set, pair->write);
    for (const auto& entry : group.values) {
      const std::string& name = entry.first;
      const bool declared = std::any_of(write.args.begin(), write.args.end(),
                                        [&](const Field& field) { return field.name == name; });
      if (!declared) return BadValue(group, Outcome::Refused("no such value", name));
      if (Contains(pair->leftOut, name)) {
        return BadValue(group, Outcome::Refused("the instrument's own value: a profile never "
                                                "carries it",
                                                name));
      }
    }
    // The write's fields, then the command's own checks: it stops at its first exchange. A
    // command behind the Bluetooth adapter stops before it, at the adapter's connection, which
    // this channel does not have: it has taken its values by then.
    CheckOnly check;
    const Outcome checked = RunVerb(write, check, OptionTexts(group.values, given));
    if (checked.Refusal()) return BadValue(group, checked);
    if (!checked.ok && check.attempts == 0 && checked.message != kConnectBluetoothFirst) {
      return BadValue(group, checked);
    }
  }
  return Outcome::Success(kReadOk);
}

Outcome ApplyProfile(const CommandSet& set, devlink::Channel& channel, Profile profile,
                     const ApplyOptions& options, const ProgressSink& progress) {
  if (Outcome checked = CheckProfile(set, profile, options.given); !checked.ok) return checked;
  const ProfileDef& def = *set.profile;
  for (const std::string& name : options.only) {
    const bool known = std::any_of(profile.groups.begin(), profile.groups.end(),
                                   [&](const ProfileGroup& group) {
                                     return Selected(def.pairs[group.pair], group, {name});
                                   });
    if (!known) return Outcome::Refused("--only: the profile has no group " + name, "only");
  }
  std::vector<const ProfileGroup*> order;
  for (const ProfileGroup& group : profile.groups) {
    if (Selected(def.pairs[group.pair], group, options.only)) order.push_back(&group);
  }
  std::stable_sort(order.begin(), order.end(), [](const ProfileGroup* a, const ProfileGroup* b) {
    return a->pair < b->pair;
  });
  const int64_t total = static_cast<int64_t>(order.size()) * (options.dryRun ? 1 : 2);
  int64_t done = 0;

  // Each group's values against what the instrument reads, by "group.name".
  const auto compare = [&](const ProfileGroup& group, const Outcome& read,
                           std::vector<Values>& differing) {
    const ProfilePair& pair = def.pairs[group.pair];
    for (const auto& [name, value] : group.values) {
      if (Contains(pair.select, name) || Contains(pair.notCompared, name)) continue;
      const Value* now = FindValue(read.values, ReadName(pair, name));
      if (now != nullptr && SameOption(value, *now)) continue;
      Values entry{{"name", group.name + "." + name}, {"profile", value}};
      if (now != nullptr) entry.emplace_back("instrument", *now);
      differing.push_back(std::move(entry));
    }
  };
  const auto readFailure = [](const ProfileGroup& group, Outcome read) {
    read.message = std::string(kProfileReadFailed) + "：" + group.name + "：" + read.message;
    read.field.clear();
    return read;
  };

  if (options.dryRun) {
    std::vector<Values> writes;
    std::vector<Values> differing;
    for (const ProfileGroup* group : order) {
      const ProfilePair& pair = def.pairs[group->pair];
      const Outcome read = ReadGroup(set, pair, channel, SelectionTexts(pair, group->values), options.given);
      if (!read.ok) return readFailure(*group, read);
      const size_t before = differing.size();
      compare(*group, read, differing);
      std::string options;
      for (const auto& [name, value] : group->values) {
        options += (options.empty() ? "--" : " --") + name + " " + OptionText(value);
      }
      writes.push_back({{"group", group->name},
                        {"verb", pair.write},
                        {"options", options},
                        {"changes", differing.size() > before}});
      if (progress) progress(++done, total);
    }
    Outcome outcome = Outcome::Success(kProfileDryRun);
    outcome.With("groups", static_cast<int64_t>(writes.size()));
    outcome.With("differing", static_cast<int64_t>(differing.size()));
    outcome.WithList("writes", std::move(writes));
    outcome.WithList("differences", std::move(differing));
    return outcome;
  }

  std::vector<Values> written;
  for (const ProfileGroup* group : order) {
    const ProfilePair& pair = def.pairs[group->pair];
    Outcome wrote = RunVerb(Verb(set, pair.write), channel, OptionTexts(group->values, options.given));
    if (!wrote.ok) {
      Outcome failure = Outcome::Failure(std::string(kProfileWriteFailed) + "：" + group->name +
                                         "：" + wrote.message);
      failure.detail = wrote.detail;
      failure.With("failed", group->name);
      failure.With("written", static_cast<int64_t>(written.size()));
      failure.WithList("written", std::move(written));
      return failure;
    }
    written.push_back({{"group", group->name}, {"verb", pair.write}});
    if (progress) progress(++done, total);
  }
  // Every written value read back.
  std::vector<Values> differing;
  int64_t checked = 0;
  for (const ProfileGroup* group : order) {
    const ProfilePair& pair = def.pairs[group->pair];
    const Outcome read = ReadGroup(set, pair, channel, SelectionTexts(pair, group->values), options.given);
    if (!read.ok) {
      Outcome failure = readFailure(*group, read);
      failure.With("written", static_cast<int64_t>(written.size()));
      return failure;
    }
    compare(*group, read, differing);
    checked += static_cast<int64_t>(group->values.size() - pair.select.size());
    if (progress) progress(++done, total);
  }
  if (!differing.empty()) {
    std::string names;
    for (const Values& entry : differing) {
      names += (names.empty() ? "" : ", ") + std::get<std::string>(entry.front().second);
    }
    Outcome failure = Outcome::Failure(std::string(kProfileNotKept) + "：" + names);
    failure.With("written", static_cast<int64_t>(written.size()));
    failure.With("checked", checked);
    failure.WithList("differences", std::move(differing));
    return failure;
  }
  Outcome outcome = Outcome::Success(kProfileApplied);
  outcome.With("written", static_cast<int64_t>(written.size()));
  outcome.With("checked", checked);
  return outcome;
}

std::vector<ProfileDifference> CompareProfiles(const Profile& first, const Profile& second) {
  std::vector<ProfileDifference> differences;
  if (first.page != second.page) differences.push_back({"page", first.page, second.page});
  const auto flatten = [](const Profile& profile) {
    Values all;
    for (const ProfileGroup& group : profile.groups) {
      for (const auto& [name, value] : group.values) all.emplace_back(group.name + "." + name, value);
    }
    return all;
  };
  const Values a = flatten(first), b = flatten(second);
  for (const auto& [name, value] : a) {
    const Value* other = FindValue(b, name);
    if (other == nullptr) {
      differences.push_back({name, value, std::nullopt});
    } else if (!SameOption(value, *other)) {
      differences.push_back({name, value, *other});
    }
  }
  for (const auto& [name, value] : b) {
    if (FindValue(a, name) == nullptr) differences.push_back({name, std::nullopt, value});
  }
  return differences;
}

CommandSet ProfileCommands() {
  CommandSet set{"profile", "configuration profiles saved by a page's snapshot verb (files only)",
                 {}};
  set.commands.push_back(OfflineVerb(
      "diff", "the values that differ between two profiles (exit 0 when equal, 1 when they differ)",
      {FilePath("first", "the first profile").Positional(),
       FilePath("second", "the second profile").Positional()},
      [](const Args& args) {
        Result<Profile> first = LoadProfile(args.Text("first"));
        Result<Profile> second = LoadProfile(args.Text("second"));
        for (const auto& [loaded, option] :
             {std::pair{&first, "first"}, std::pair{&second, "second"}}) {
          if (!loaded->ok()) {
            Outcome refused = loaded->outcome;
            refused.field = option;
            return refused;
          }
        }
        const std::vector<ProfileDifference> differences =
            CompareProfiles(first.value, second.value);
        std::vector<Values> items;
        for (const ProfileDifference& difference : differences) {
          Values item{{"name", difference.name}};
          if (difference.first) item.emplace_back("first", *difference.first);
          if (difference.second) item.emplace_back("second", *difference.second);
          items.push_back(std::move(item));
        }
        Outcome outcome = differences.empty() ? Outcome::Success(kProfilesEqual)
                                              : Outcome::Failure(kProfilesDiffer);
        outcome.With("differing", static_cast<int64_t>(differences.size()));
        outcome.WithList("differences", std::move(items));
        return outcome;
      }));
  return set;
}

}  // namespace pages
