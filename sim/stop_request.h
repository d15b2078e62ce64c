#pragma once
// How tool-sim learns that it is to end: Ctrl-C, SIGTERM or SIGHUP on POSIX
// (stop_request_posix.cpp), Ctrl-C, Ctrl-Break or a closed console on Windows
// (stop_request_win32.cpp).
namespace sim {

// Call before any thread starts (on POSIX the threads inherit the blocked signals, so that only
// WaitForStopRequest receives them).
void CatchStopRequests();
// Returns once a stop was asked for.
void WaitForStopRequest();

}  // namespace sim
