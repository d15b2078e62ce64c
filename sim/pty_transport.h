#pragma once
// The simulator on a pseudo-terminal: the program opens the slave side as its serial port.
// POSIX only (pty_transport_posix.cpp); on Windows Start() fails and says so.
#include <chrono>
#include <string>
#include <thread>

#include "sim/reply_pacing.h"
#include "sim/simulator.h"

namespace sim {

// The baud rate the program has set on the line, kept in the simulated instrument's state for
// families whose instrument listens at one rate only. The pseudo-terminal server stores it before
// it feeds each piece of input and clears it afterwards, so other transports (TCP) and requests
// fed to the simulator directly see 0: not known.
struct LineState {
  int baud = 0;
};

class PtyServer {
 public:
  // Whether this system has pseudo-terminals (not Windows).
  static bool Available();

  explicit PtyServer(Simulator& simulator);
  ~PtyServer();
  PtyServer(const PtyServer&) = delete;
  PtyServer& operator=(const PtyServer&) = delete;

  // Opens the pair (slave in raw mode) and starts answering on a thread of its own. With a
  // `linkPath`, a symbolic link to the slave is made there (an existing symbolic link is
  // replaced, any other file is not). False with a message in `error` on failure.
  bool Start(std::string* error, const std::string& linkPath = {});
  // Stops the thread, closes the pair and removes the symbolic link. Safe to call twice.
  void Stop();

  std::string SlavePath() const { return slavePath_; }
  const std::string& LinkPath() const { return linkPath_; }
  // Input left incomplete this long is logged and dropped (default 100 ms). Set before Start().
  void SetIdleReset(std::chrono::milliseconds idle) { idleReset_ = idle; }
  // The baud rate the program has set on its side of the pair (a pseudo-terminal carries no
  // rate on the wire, but keeps the one set); 0 when not running or not a standard rate.
  int LineBaud() const;

 private:
  void Run();

  Simulator& simulator_;
  int master_ = -1;
  // Held open for the server's life: without any open slave, reading the master fails (EIO)
  // each time the program closes its port.
  int slave_ = -1;
  std::string slavePath_;
  std::string linkPath_;
  std::chrono::milliseconds idleReset_{100};
  StopSignal stop_;
  std::thread thread_;
};

}  // namespace sim
