#pragma once
// `tool-cli server listen`: the gateway server without a window. Gateways connect; commands come
// one per line on standard input and every event and result goes out as one JSON line.
#include <ostream>
#include <string>
#include <vector>

namespace cli {

// `words` follow "server". `input` is the descriptor the command lines are read from. Returns an
// exit code of cli::ExitCode.
int RunServer(const std::vector<std::string>& words, int input, std::ostream& out,
              std::ostream& err);
void PrintServerHelp(std::ostream& out);

}  // namespace cli
