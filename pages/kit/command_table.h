#pragma once
// A command table per instrument family. Each family describes its commands once; tool-cli is
// driven from these tables (one verb per entry, its options from the declared fields), and the
// Qt page calls the same typed functions that the entries wrap.
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

#include "link/exchange.h"
#include "pages/kit/fields.h"
#include "pages/kit/outcome.h"

namespace pages {

// Channel numbers of the multi-channel recorders run 1..32; commands that concern no channel
// carry the sub-command 0xFF instead.
inline constexpr int kChannelCount = 32;
inline constexpr uint8_t kNoChannel = 0xFF;

// Progress of long work as {current, maximum}, called on the thread that does the work.
using ProgressSink = std::function<void(int64_t current, int64_t maximum)>;

struct CommandDef {
  std::string verb;  // "read-alarm-limits"
  std::string help;
  std::vector<Field> args;
  std::function<Outcome(devlink::Channel&, const Args&)> run;
  // Long work (a download) that reports its progress; `run` then runs it without a report.
  std::function<Outcome(devlink::Channel&, const Args&, const ProgressSink&)> runWithProgress;
  // Works on files only and talks to no instrument (a report of a saved export): tool-cli takes
  // no connection options for it, and its channel refuses every exchange.
  bool offline = false;
};

struct ProfileDef;  // pages/kit/profile.h

struct CommandSet {
  std::string page;  // "settings"
  std::string help;
  std::vector<CommandDef> commands;
  // The verbs that make up the instrument's configuration, when the page has one (AddProfile).
  std::shared_ptr<const ProfileDef> profile = nullptr;

  // The command named `verb`, or null.
  const CommandDef* Find(std::string_view verb) const;
};

// A verb whose function returns an Outcome or a Result<T> (printed with Describe(T)).
template <class Run>
CommandDef Verb(std::string verb, std::string help, std::vector<Field> args, Run run) {
  return {std::move(verb), std::move(help), std::move(args),
          [run = std::move(run)](devlink::Channel& channel, const Args& args) {
            return ToOutcome(run(channel, args));
          },
          {}};
}

// A verb whose function takes a progress sink as its third argument: run(channel, args, progress).
template <class Run>
CommandDef LongVerb(std::string verb, std::string help, std::vector<Field> args, Run run) {
  CommandDef def;
  def.verb = std::move(verb);
  def.help = std::move(help);
  def.args = std::move(args);
  def.runWithProgress = [run = std::move(run)](devlink::Channel& channel, const Args& args,
                                               const ProgressSink& progress) {
    return ToOutcome(run(channel, args, progress));
  };
  def.run = [long_run = def.runWithProgress](devlink::Channel& channel, const Args& args) {
    return long_run(channel, args, ProgressSink{});
  };
  return def;
}

// A verb that reads and writes files only: run(args).
template <class Run>
CommandDef OfflineVerb(std::string verb, std::string help, std::vector<Field> args, Run run) {
  CommandDef def = Verb(std::move(verb), std::move(help), std::move(args),
                        [run = std::move(run)](devlink::Channel&, const Args& args) { return run(args); });
  def.offline = true;
  return def;
}

}  // namespace pages

namespace pages {

// Parses the option texts by the verb's declared fields and runs the verb; a refused field is
// the outcome (nothing is sent).
Outcome RunVerb(const CommandDef& def, devlink::Channel& channel,
                const std::map<std::string, std::string>& given);

}  // namespace pages
