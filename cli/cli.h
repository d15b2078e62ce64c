#pragma once
// tool-cli: runs one command of a page's command table, or one raw frame, against an
// instrument on a serial port or a network module.
//
//   tool-cli <page> <verb> [--arg value ...] (--port PATH | --tcp HOST:PORT)
//            [--address N] [--delay MS] [--baud B]
//   tool-cli raw ...            (see RunRaw)
//   tool-cli --help | <page> --help | <page> <verb> --help
#include <ostream>
#include <string>
#include <vector>

#include "pages/kit/command_table.h"

namespace cli {

enum ExitCode : int {
  kExitOk = 0,      // the command succeeded (raw: a reply arrived)
  kExitFailed = 1,  // the command ran and failed (raw: no reply)
  kExitUsage = 2,   // bad arguments, nothing sent; the reason is a JSON line (raw: on stderr)
};

// A usage error printed as every refusal is: one JSON line on `out` with "ok" false, the message
// and, when an option is at fault, "option" naming it. Returns kExitUsage.
int UsageError(std::ostream& out, const std::string& message, const std::string& option = {});

// `words` are the arguments without the program name. Prints one JSON object for a command.
int Run(const std::vector<std::string>& words, const std::vector<pages::CommandSet>& sets,
        std::ostream& out, std::ostream& err);

// The command sets of every page family built into tool-cli (cli/command_sets.cpp).
std::vector<pages::CommandSet> CommandSets();

}  // namespace cli
