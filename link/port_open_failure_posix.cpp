// Why a port cannot be opened, on Linux: from errno, the device node and /proc.
#include "link/port_open_failure.h"

#include <dirent.h>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <vector>

namespace devlink {

namespace {

std::string GroupName(gid_t gid) {
  std::vector<char> buffer(4096);
  struct group entry;
  struct group* found = nullptr;
  while (::getgrgid_r(gid, &entry, buffer.data(), buffer.size(), &found) == ERANGE &&
         buffer.size() < (1u << 20)) {
    buffer.resize(buffer.size() * 2);
  }
  return found ? std::string(found->gr_name) : std::to_string(gid);
}

// The groups this process runs with.
bool SessionHasGroup(gid_t gid) {
  if (::getegid() == gid) return true;
  const int count = ::getgroups(0, nullptr);
  if (count <= 0) return false;
  std::vector<gid_t> groups(static_cast<size_t>(count));
  const int got = ::getgroups(count, groups.data());
  return got > 0 && std::find(groups.begin(), groups.begin() + got, gid) != groups.begin() + got;
}

// The groups the user database gives this user at the next login.
bool UserListedInGroup(gid_t gid) {
  std::vector<char> buffer(4096);
  struct passwd entry;
  struct passwd* user = nullptr;
  while (::getpwuid_r(::geteuid(), &entry, buffer.data(), buffer.size(), &user) == ERANGE &&
         buffer.size() < (1u << 20)) {
    buffer.resize(buffer.size() * 2);
  }
  if (user == nullptr) return false;
  int count = 64;
  std::vector<gid_t> groups(static_cast<size_t>(count));
  while (::getgrouplist(user->pw_name, user->pw_gid, groups.data(), &count) < 0) {
    if (count <= static_cast<int>(groups.size())) return false;  // no progress: give up
    groups.resize(static_cast<size_t>(count));
  }
  return std::find(groups.begin(), groups.begin() + count, gid) != groups.begin() + count;
}

bool IsNumber(const char* text) {
  if (*text == '\0') return false;
  for (; *text != '\0'; ++text) {
    if (!std::isdigit(static_cast<unsigned char>(*text))) return false;
  }
  return true;
}

// Does process `pid` have the character device `device` open? Unreadable descriptor folders
// (another user's processes) count as no.
bool HasDeviceOpen(const std::string& pid, dev_t device) {
  const std::string folder = "/proc/" + pid + "/fd";
  DIR* fds = ::opendir(folder.c_str());
  if (fds == nullptr) return false;
  bool found = false;
  while (const struct dirent* fd = ::readdir(fds)) {
    if (!IsNumber(fd->d_name)) continue;
    struct stat st;
    const std::string link = folder + "/" + fd->d_name;
    if (::stat(link.c_str(), &st) == 0 && S_ISCHR(st.st_mode) && st.st_rdev == device) {
      found = true;
      break;
    }
  }
  ::closedir(fds);
  return found;
}

// The first other process that has the device at `path` open (Linux /proc).
void FindHolder(const std::string& path, PortOpenFailure& failure) {
  struct stat target;
  if (::stat(path.c_str(), &target) != 0 || !S_ISCHR(target.st_mode)) return;
  DIR* proc = ::opendir("/proc");
  if (proc == nullptr) return;
  const std::string self = std::to_string(::getpid());
  while (const struct dirent* entry = ::readdir(proc)) {
    if (!IsNumber(entry->d_name) || self == entry->d_name) continue;
    if (!HasDeviceOpen(entry->d_name, target.st_rdev)) continue;
    failure.holderPid = std::atoi(entry->d_name);
    std::ifstream comm(std::string("/proc/") + entry->d_name + "/comm");
    std::getline(comm, failure.holderName);
    break;
  }
  ::closedir(proc);
}

PortOpenProblem ProblemOf(int errorNumber) {
  switch (errorNumber) {
    case ENOENT:
    case ENODEV:
    case ENXIO: return PortOpenProblem::Missing;
    case EBUSY:
    case EWOULDBLOCK: return PortOpenProblem::InUse;
    case ENOTTY: return PortOpenProblem::NotSerial;
    case EACCES:
    case EPERM: return PortOpenProblem::NoPermission;
    default: return PortOpenProblem::Other;
  }
}

}  // namespace

PortOpenFailure ExplainPortOpenError(const std::string& path, int errorNumber) {
  PortOpenFailure failure;
  failure.path = path;
  failure.errorNumber = errorNumber;
  failure.problem = ProblemOf(errorNumber);
  if (failure.problem == PortOpenProblem::InUse) FindHolder(path, failure);
  if (failure.problem != PortOpenProblem::NoPermission) return failure;
  // Serial devices are usually root-owned and open to one group (dialout, uucp): joining that
  // group is the cure. A group that may not both read and write, or that this session already
  // has, is no cure, and the text then says only that permission is missing.
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) return failure;
  const bool groupMayUse = (st.st_mode & (S_IRGRP | S_IWGRP)) == (S_IRGRP | S_IWGRP);
  if (!groupMayUse || SessionHasGroup(st.st_gid)) return failure;
  failure.group = GroupName(st.st_gid);
  failure.groupPending = UserListedInGroup(st.st_gid);
  return failure;
}

}  // namespace devlink
