#include "cli/cli.h"

#include <exception>
#include <functional>
#include <iomanip>
#include <optional>
#include <stdexcept>

#include "cli/json_output.h"
#include "cli/options.h"
#include "cli/raw_command.h"
#include "cli/server_command.h"
#include "link/exchange.h"
#include "link/serial_port.h"
#include "tool_version.h"

namespace cli {

namespace {

const char* const kUsage =
    "Usage: tool-cli <page> <verb> [WORD ...] [--arg value ...] (--port PATH | --tcp HOST:PORT)\n"
    "                [--address N] [--delay MS] [--baud B] [--fixed-delay] [--trace]\n"
    "       tool-cli raw (--port PATH | --tcp HOST:PORT) [options] HEX...\n"
    "       tool-cli server listen [--port N] [--bind ADDRESS]   (commands on standard input)\n"
    "       tool-cli ports     the serial ports of this computer, one JSON object a line\n"
    "       tool-cli --help | tool-cli <page> --help | tool-cli <page> <verb> --help\n"
    "       tool-cli --version\n";

void PrintConnectionHelp(std::ostream& out) {
  out << "Connection (every verb):\n"
         "  --port PATH        serial port device, also a pseudo-terminal\n"
         "  --tcp HOST:PORT    network module at a dotted IPv4 address\n"
         "  --address N        device address 0..255 (default 1; 0 for a single device)\n"
         "  --delay MS         exchange delay in milliseconds (default 600): the longest wait\n"
         "                     for a reply\n"
         "  --baud B           serial baud rate (default 9600; only with --port)\n"
         "  --fixed-delay      wait the whole delay before reading the reply, as the window does\n"
         "                     by default (default here: a reply is taken the moment it is whole)\n"
         "  --fast             the default; accepted so that older scripts keep working\n"
         "  --trace            write every exchange (time, channel, bytes, why it failed) to stderr\n";
}

void PrintVerb(std::ostream& out, const pages::CommandDef& def) {
  out << "    " << std::left << std::setw(28) << def.verb << ' ' << def.help << '\n';
  for (const pages::Field& field : def.args) {
    std::string note = " (" + pages::DescribeField(field) + ")";
    if (!field.required && !field.flag) note += " (optional)";
    if (field.fallback && !field.flag) note += " default " + *field.fallback;
    if (field.repeatable) note += " (repeatable)";
    const std::string form = field.positional ? "<" + field.name + ">"
                             : field.flag     ? "--" + field.name
                                              : "--" + field.name + " VALUE";
    out << "        " << std::left << std::setw(24) << form << ' ' << field.help << note << '\n';
  }
}

void PrintPage(std::ostream& out, const pages::CommandSet& set) {
  out << "  " << set.page << " - " << set.help << '\n';
  for (const pages::CommandDef& def : set.commands) PrintVerb(out, def);
}

void PrintHelp(std::ostream& out, const std::vector<pages::CommandSet>& sets) {
  out << kUsage << '\n';
  PrintConnectionHelp(out);
  out << "\nPages and verbs:\n";
  if (sets.empty()) out << "  (none built in)\n";
  for (const pages::CommandSet& set : sets) PrintPage(out, set);
  out << "\n";
  PrintRawHelp(out);
  out << "\n";
  PrintServerHelp(out);
}

int Usage(std::ostream& err, const std::string& message) {
  err << "tool-cli: " << message << "\n";
  return kExitUsage;
}

// The channel of a verb that talks to no instrument: every exchange fails unsent.
class NoInstrument : public devlink::Channel {
 public:
  devlink::ExchangeResult Exchange(devlink::ByteView, const devlink::ReplySpec&) override {
    return {devlink::ExchangeStatus::NoReply, {}, false, "no instrument: this verb reads files"};
  }
  uint8_t DeviceAddress() const override { return 0; }
};

// Runs a verb without progress and prints its outcome; the exit code says how it went.
int Finish(const std::function<pages::Outcome(devlink::Channel&, const pages::Args&)>& run,
           devlink::Channel& channel, const pages::Args& args, const std::string& name,
           std::ostream& out) {
  pages::Outcome outcome;
  try {
    outcome = run(channel, args);
  } catch (const std::logic_error& e) {
    return UsageError(out, name + ": bad argument: " + e.what());
  } catch (const std::exception& e) {
    outcome = pages::Outcome::Failure(e.what());
  }
  out << OutcomeJson(outcome) << '\n';
  // A command that refused its input sent nothing: that is a usage error too.
  if (outcome.Refusal()) return kExitUsage;
  return outcome.ok ? kExitOk : kExitFailed;
}

// The parsed option texts of a verb's fields that are not written as options: the bare flags
// given, then the plain words in the order the positional fields are declared. Fails with the
// usage error of a word too many or a positional field given both ways.
std::optional<int> TakeFieldWords(const std::string& name, const pages::CommandDef& def,
                                  ParsedWords& parsed, std::ostream& out) {
  // A flag field given is a Switch field set on.
  for (const pages::Field& field : def.args) {
    if (field.flag && parsed.flags.count(field.name) != 0) parsed.options[field.name] = "on";
  }
  auto word = parsed.plain.begin();
  for (const pages::Field& field : def.args) {
    if (!field.positional || word == parsed.plain.end()) continue;
    if (parsed.options.count(field.name) != 0) {
      return UsageError(out, name + ": " + field.name + " given twice (\"" + *word + "\" and --" +
                                 field.name + ")",
                        field.name);
    }
    parsed.options[field.name] = *word++;
  }
  if (word != parsed.plain.end()) {
    return UsageError(out, name + ": unexpected word \"" + *word + "\" (options are --name value)");
  }
  return std::nullopt;
}

int RunVerb(const pages::CommandSet& set, const pages::CommandDef& def,
            const std::vector<std::string>& words, std::ostream& out, std::ostream& err) {
  const std::string name = set.page + " " + def.verb;
  ParsedWords parsed;
  std::string error;
  std::set<std::string> repeatable;
  std::set<std::string> flags = CommonFlags();
  for (const pages::Field& field : def.args) {
    if (field.repeatable) repeatable.insert(field.name);
    if (field.flag) flags.insert(field.name);
  }
  std::string option;
  if (!ParseWords(words, flags, parsed, &error, repeatable, &option)) {
    return UsageError(out, name + ": " + error, option);
  }
  if (parsed.flags.count("help")) {
    PrintVerb(out, def);
    if (!def.offline) PrintConnectionHelp(out);
    return kExitOk;
  }
  // Plain words are the values of the positional fields, in their declared order.
  if (const std::optional<int> refused = TakeFieldWords(name, def, parsed, out)) return *refused;
  Connection connection;
  if (def.offline) {
    // Files only: an instrument's options would do nothing and may mean a mistyped verb.
    for (const std::string& connectionOption : ConnectionOptionNames()) {
      if (parsed.options.count(connectionOption) || parsed.flags.count(connectionOption)) {
        return UsageError(out, name + ": reads files only and talks to no instrument: --" +
                                   connectionOption + " is not taken",
                          connectionOption);
      }
    }
  } else {
    if (!TakeConnection(parsed.options, /*withAddress=*/true, connection, &error, &option)) {
      return UsageError(out, name + ": " + error, option);
    }
    if (!TakeLinkFlags(parsed.flags, connection, &error)) {
      return UsageError(out, name + ": " + error, "fixed-delay");
    }
  }
  std::map<std::string, std::string> given;
  for (const pages::Field& field : def.args) {
    const auto it = parsed.options.find(field.name);
    if (it == parsed.options.end()) {
      if (field.required) {
        const pages::Outcome missing = pages::MissingField(field.name);
        return UsageError(out, missing.message + (field.help.empty() ? "" : "（" + field.help + "）"),
                          field.name);
      }
      continue;
    }
    given.insert(parsed.options.extract(it));
  }
  if (!parsed.options.empty()) {
    const std::string& unknown = parsed.options.begin()->first;
    return UsageError(out, name + ": unknown option --" + unknown + " (see tool-cli " + name +
                               " --help)",
                      unknown);
  }
  // Values the fields refuse: nothing is sent, the system's message names the option.
  auto args = pages::ParseArgs(def.args, given);
  if (const auto* refusal = std::get_if<pages::Outcome>(&args)) {
    out << OutcomeJson(*refusal) << '\n';
    return kExitUsage;
  }

  if (def.offline) {
    NoInstrument none;
    return Finish(def.run, none, std::get<pages::Args>(args), name, out);
  }
  TraceWriter trace(err);
  devlink::DeviceLink link;
  std::string portDetail;
  if (!OpenLink(connection, link, &error, &portDetail)) {
    pages::Outcome failure = pages::Outcome::Failure(error);
    failure.detail = portDetail;
    out << OutcomeJson(failure) << '\n';
    return kExitFailed;
  }
  trace.Attach(connection, link);
  devlink::LinkChannel channel(link);
  if (!def.runWithProgress) return Finish(def.run, channel, std::get<pages::Args>(args), name, out);
  // Long work shows one line on the error stream, rewritten as it goes.
  bool shown = false;
  const pages::ProgressSink progress = [&](int64_t current, int64_t maximum) {
    err << '\r' << name << ": " << current << '/' << maximum << std::flush;
    shown = true;
  };
  const int exit = Finish(
      [&](devlink::Channel& c, const pages::Args& a) { return def.runWithProgress(c, a, progress); },
      channel, std::get<pages::Args>(args), name, out);
  if (shown) err << '\n';
  return exit;
}

}  // namespace

int UsageError(std::ostream& out, const std::string& message, const std::string& option) {
  pages::Outcome refusal = pages::Outcome::Failure(message);
  refusal.field = option;
  out << OutcomeJson(refusal) << '\n';
  return kExitUsage;
}

int Run(const std::vector<std::string>& words, const std::vector<pages::CommandSet>& sets,
        std::ostream& out, std::ostream& err) {
  if (words.empty()) {
    err << kUsage << "Try tool-cli --help.\n";
    return kExitUsage;
  }
  const std::string& page = words[0];
  if (page == "--help" || page == "-h" || page == "help") {
    PrintHelp(out, sets);
    return kExitOk;
  }
  if (page == "--version") {
    out << "tool-cli " << TOOL_VERSION << '\n';
    return kExitOk;
  }
  const std::vector<std::string> rest(words.begin() + 1, words.end());
  if (page == "raw") return RunRaw(rest, out, err);
  if (page == "server") return RunServer(rest, /*input=*/0, out, err);
  if (page == "ports") {
    if (!rest.empty()) return Usage(err, "ports takes no arguments");
    // The list the main window offers: on Linux the serial devices from sysfs, on Windows the
    // COM ports registered under HARDWARE\DEVICEMAP\SERIALCOMM.
    for (const devlink::PortEntry& port : devlink::ListPorts()) {
      out << "{\"name\":" << JsonString(port.name) << ",\"path\":" << JsonString(port.path)
          << "}\n";
    }
    return kExitOk;
  }

  const pages::CommandSet* set = nullptr;
  for (const pages::CommandSet& s : sets) {
    if (s.page == page) set = &s;
  }
  if (set == nullptr) {
    std::string known = "raw";
    for (const pages::CommandSet& s : sets) known += ", " + s.page;
    return UsageError(out, "unknown page \"" + page + "\" (pages: " + known + ")");
  }
  if (rest.empty() || rest[0] == "--help" || rest[0] == "-h") {
    std::ostream& target = rest.empty() ? err : out;
    PrintPage(target, *set);
    if (rest.empty()) return Usage(err, "which verb of " + page + "?");
    return kExitOk;
  }
  for (const pages::CommandDef& def : set->commands) {
    if (def.verb == rest[0]) {
      return RunVerb(*set, def, std::vector<std::string>(rest.begin() + 1, rest.end()), out, err);
    }
  }
  return UsageError(out, "unknown verb \"" + rest[0] + "\" of " + page + " (see tool-cli " + page +
                             " --help)");
}

}  // namespace cli
