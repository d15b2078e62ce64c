// Why a port cannot be opened, on Windows: from the system error code of CreateFileW or of the
// first comm call. A COM port is opened exclusively, so "access denied" means another program
// holds it.
#include "link/port_open_failure.h"
#include "link/win32_text.h"

namespace devlink {

PortOpenFailure ExplainPortOpenError(const std::string& path, int errorNumber) {
  PortOpenFailure failure;
  failure.path = path;
  failure.errorNumber = errorNumber;
  switch (static_cast<DWORD>(errorNumber)) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_DEV_NOT_EXIST:
    case ERROR_DEVICE_NOT_CONNECTED:
      failure.problem = PortOpenProblem::Missing;
      break;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_BUSY:
      failure.problem = PortOpenProblem::InUse;
      break;
    case ERROR_INVALID_FUNCTION:
    case ERROR_NOT_SUPPORTED:
    case ERROR_INVALID_HANDLE:
      failure.problem = PortOpenProblem::NotSerial;
      break;
    default:
      failure.problem = PortOpenProblem::Other;
      failure.errorText = win32::ErrorText(static_cast<DWORD>(errorNumber));
      break;
  }
  return failure;
}

}  // namespace devlink
