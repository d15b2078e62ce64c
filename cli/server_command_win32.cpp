// The "server" command on Windows: the gateway server core (server/gateway_server_posix.cpp)
// waits on BSD sockets and standard input together, which Windows does not offer in one call,
// so this build refuses the command with a clear message instead of serving badly.
#include "cli/server_command.h"

namespace cli {

int RunServer(const std::vector<std::string>&, int, std::ostream&, std::ostream& err) {
  err << "tool-cli server: the gateway server is not part of the Windows build\n";
  return 2;
}

void PrintServerHelp(std::ostream& out) {
  out << "tool-cli server listen ...\n"
         "  Serves wireless-logger gateways (not part of the Windows build).\n";
}

}  // namespace cli
