#include <windows.h>

#include "sim/stop_request.h"

namespace sim {

namespace {

HANDLE StopEvent() {
  static const HANDLE event = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
  return event;
}

// Runs on a thread of its own that the console starts; the main thread then ends the program.
BOOL WINAPI OnConsoleControl(DWORD) {
  ::SetEvent(StopEvent());
  return TRUE;
}

}  // namespace

void CatchStopRequests() {
  StopEvent();
  ::SetConsoleCtrlHandler(OnConsoleControl, TRUE);
}

void WaitForStopRequest() { ::WaitForSingleObject(StopEvent(), INFINITE); }

}  // namespace sim
