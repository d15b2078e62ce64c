#pragma once
// Why a serial port could not be opened, in words a technician can act on. "端口已打开" alone
// sends people looking for another program holding the port when the real cause is a device that
// belongs to the dialout group; the text here names the cause and what to do about it.
#include <string>

namespace devlink {

// The system's notice for a port that cannot be opened; every reason text starts with it.
inline constexpr const char* kPortCannotOpen = "端口已打开";

enum class PortOpenProblem {
  Missing,       // no such device (unplugged adapter, mistyped path)
  NoPermission,  // the device's permissions keep this user out
  InUse,         // another process holds the port (its lock, or exclusive use: EBUSY)
  NotSerial,     // the path is not a terminal device
  Other,
};

struct PortOpenFailure {
  PortOpenProblem problem = PortOpenProblem::Other;
  std::string path;
  int errorNumber = 0;  // errno (Windows: the system error code) of the call that failed
  // NoPermission: the device's group when its members may read and write it, else empty.
  std::string group;
  // NoPermission: the user is listed in `group` but this login session does not carry it yet.
  bool groupPending = false;
  // InUse: another process that has the port open, when this user may see it (0: unknown).
  int holderPid = 0;
  std::string holderName;  // its program name ("minicom")
  // Other: the system's words for the error, where strerror cannot give them (Windows).
  std::string errorText;
};

// Sorts the errno (on Windows the GetLastError code) of a failed open or lock of `path` into a problem; for a permission problem
// looks up the device's group and whether the user belongs to it, for a port in use the process
// that holds it (among the processes whose open files this user may see). Reads only.
PortOpenFailure ExplainPortOpenError(const std::string& path, int errorNumber);

// "端口已打开（…）": the notice with the reason and what to do, for example
// "端口已打开（无权限：/dev/ttyUSB0 属于 dialout 组，请将当前用户加入该组后重新登录）".
std::string PortOpenFailureText(const PortOpenFailure& failure);

}  // namespace devlink
