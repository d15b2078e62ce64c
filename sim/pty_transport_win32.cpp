// Windows has no pseudo-terminals: the simulator serves over TCP there (tcp_transport).
#include "sim/pty_transport.h"

namespace sim {

bool PtyServer::Available() { return false; }

PtyServer::PtyServer(Simulator& simulator) : simulator_(simulator) {}

PtyServer::~PtyServer() { Stop(); }

bool PtyServer::Start(std::string* error, const std::string&) {
  if (error) *error = "Windows has no pseudo-terminals: serve over TCP (--tcp PORT)";
  return false;
}

void PtyServer::Stop() {}

int PtyServer::LineBaud() const { return 0; }

void PtyServer::Run() {}

}  // namespace sim
