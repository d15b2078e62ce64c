// The notice for a port that cannot be opened, the same on every platform.
#include "link/port_open_failure.h"

#include <cstring>

namespace devlink {

std::string PortOpenFailureText(const PortOpenFailure& failure) {
  const std::string& path = failure.path;
  std::string reason;
  switch (failure.problem) {
    case PortOpenProblem::Missing:
      reason = path + " 不存在，请检查设备是否已连接";
      break;
    case PortOpenProblem::InUse:
      reason = path + " 正被其他程序占用";
      if (failure.holderPid > 0) {
        const std::string name = failure.holderName.empty() ? "未知程序" : failure.holderName;
        reason += "：" + name + "（进程号 " + std::to_string(failure.holderPid) + "）";
      }
      reason += "，请先关闭该程序";
      break;
    case PortOpenProblem::NotSerial:
      reason = path + " 不是串口设备";
      break;
    case PortOpenProblem::NoPermission:
      if (failure.group.empty()) {
        reason = "无权限：当前用户不能读写 " + path + "，请检查该设备的权限";
      } else if (failure.groupPending) {
        reason = "无权限：" + path + " 属于 " + failure.group +
                 " 组，当前用户已加入该组但尚未生效，请重新登录";
      } else {
        reason = "无权限：" + path + " 属于 " + failure.group +
                 " 组，请将当前用户加入该组后重新登录";
      }
      break;
    case PortOpenProblem::Other:
      reason = "无法打开 " + path;
      if (!failure.errorText.empty()) {
        reason += "：" + failure.errorText;
      } else if (failure.errorNumber != 0) {
        reason += "：" + std::string(std::strerror(failure.errorNumber));
      }
      break;
  }
  return std::string(kPortCannotOpen) + "（" + reason + "）";
}

}  // namespace devlink
