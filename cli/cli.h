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
  kExitUsage = 2,   // bad arguments; the reason is on the error stream
};

// `words` are the arguments without the program name. Prints one JSON object for a command.
int Run(const std::vector<std::string>& words, const std::vector<pages::CommandSet>& sets,
        std::ostream& out, std::ostream& err);

// The command sets of every page family built into tool-cli (cli/command_sets.cpp).
std::vector<pages::CommandSet> CommandSets();

}  // namespace cli
