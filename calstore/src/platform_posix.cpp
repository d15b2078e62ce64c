// POSIX implementation of the file-system interface.
#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <system_error>

#include "platform.h"
#include "utf.h"

namespace calstore {

namespace fs = std::filesystem;

std::string NativePath(std::u16string_view path) { return Utf16ToUtf8(path); }

bool Exists(const std::string& path) {
  struct stat st;
  return !path.empty() && ::stat(path.c_str(), &st) == 0;
}

bool IsDirectory(const std::string& path) {
  struct stat st;
  return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool SameFile(const std::string& a, const std::string& b) {
  if (a == b) return true;
  struct stat sa, sb;
  const bool ha = ::stat(a.c_str(), &sa) == 0;
  const bool hb = ::stat(b.c_str(), &sb) == 0;
  if (ha && hb) return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
  if (ha != hb) return false;
  std::error_code ea, eb;
  const fs::path ra = fs::weakly_canonical(fs::absolute(fs::path(a), ea), ea);
  const fs::path rb = fs::weakly_canonical(fs::absolute(fs::path(b), eb), eb);
  return !ea && !eb && ra == rb;
}

bool RemoveFile(const std::string& path) {
  return ::unlink(path.c_str()) == 0 || errno == ENOENT;
}

static void SyncDirectoryOf(const std::string& path) {
  fs::path dir = fs::path(path).parent_path();
  if (dir.empty()) dir = ".";
  const int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd >= 0) {
    ::fsync(fd);
    ::close(fd);
  }
}

bool RenameFile(const std::string& from, const std::string& to) {
  if (::rename(from.c_str(), to.c_str()) != 0) return false;
  SyncDirectoryOf(to);
  return true;
}

std::vector<std::string> ListFilesEndingIn(const std::string& directory, std::string_view suffix) {
  std::vector<std::pair<std::string, std::string>> found;  // name, full path
  std::error_code ec;
  for (fs::directory_iterator it(directory, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string name = it->path().filename().string();
    if (name.size() < suffix.size() || name.compare(name.size() - suffix.size(), suffix.size(),
                                                    suffix) != 0) {
      continue;
    }
    std::error_code te;
    if (!it->is_regular_file(te)) continue;
    found.emplace_back(name, it->path().string());
  }
  std::sort(found.begin(), found.end());
  std::vector<std::string> paths;
  paths.reserve(found.size());
  for (auto& f : found) paths.push_back(std::move(f.second));
  return paths;
}

std::vector<std::string> ListNamesBeginningWith(const std::string& directory,
                                                std::string_view prefix) {
  std::vector<std::string> names;
  DIR* dir = ::opendir(directory.empty() ? "." : directory.c_str());
  if (!dir) return names;
  while (const dirent* entry = ::readdir(dir)) {
    const std::string_view name(entry->d_name);
    if (name.size() >= prefix.size() && name.substr(0, prefix.size()) == prefix) {
      names.emplace_back(name);
    }
  }
  ::closedir(dir);
  std::sort(names.begin(), names.end());
  return names;
}

std::string DirectoryOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

std::string NameOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// A path that is a symbolic link is written through: the file it points to is replaced, the link
// stays.
std::string ResolvedForReplacing(const std::string& path) {
  struct stat st;
  if (!path.empty() && ::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
    std::error_code ec;
    const fs::path resolved = fs::weakly_canonical(fs::path(path), ec);
    if (!ec) return resolved.string();
  }
  return path;
}

uint64_t CurrentProcessId() { return static_cast<uint64_t>(::getpid()); }

// A process that has ended but was not yet reaped by its parent (a zombie: no init in a
// container reaps it) writes nothing more, so it counts as ended.
bool ProcessRunning(uint64_t id) {
  if (id == 0 || id > static_cast<uint64_t>(INT32_MAX)) return true;  // not a process id: keep
  if (::kill(static_cast<pid_t>(id), 0) != 0 && errno == ESRCH) return false;
  const auto stat = ReadWholeFile("/proc/" + std::to_string(id) + "/stat");
  if (!stat) return true;
  // "PID (NAME) STATE ...": the name may hold any character, the state follows its last ')'.
  const size_t close = stat->rfind(')');
  return close == std::string::npos || close + 2 >= stat->size() ||
         ((*stat)[close + 2] != 'Z' && (*stat)[close + 2] != 'X');
}

// ---- InputFile

std::FILE* OpenForReading(const std::string& path) {
  if (path.empty()) return nullptr;
  std::FILE* f = std::fopen(path.c_str(), "rbe");
  if (!f) return nullptr;
  struct stat st;
  if (::fstat(::fileno(f), &st) != 0 || S_ISDIR(st.st_mode)) {
    std::fclose(f);
    return nullptr;
  }
  return f;
}

bool InputFile::Seek(uint64_t offset) {
  if (!file_) return false;
  if (::fseeko(file_, static_cast<off_t>(offset), SEEK_SET) != 0) {
    failed_ = true;
    return false;
  }
  return true;
}


// ---- ReplacementFile



bool ReplacementFile::Create(const std::string& temp, bool replaceLeftover) {
  fd_ = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (fd_ < 0 && errno == EEXIST && replaceLeftover && ::unlink(temp.c_str()) == 0) {
    fd_ = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  }
  if (fd_ < 0) return false;
  temp_ = temp;
  // The replacement keeps the permissions of the file it replaces.
  struct stat st;
  if (::stat(path_.c_str(), &st) == 0) ::fchmod(fd_, st.st_mode & 07777);
  return true;
}

bool ReplacementFile::Flush() {
  size_t done = 0;
  while (done < buffer_.size()) {
    const ssize_t n = ::write(fd_, buffer_.data() + done, buffer_.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  buffer_.clear();
  return true;
}

bool ReplacementFile::Finish() {
  if (fd_ < 0) return false;
  if (ok_) ok_ = Flush();
  if (ok_) ok_ = ::fsync(fd_) == 0;
  if (::close(fd_) != 0) ok_ = false;
  fd_ = -1;
  finished_ = ok_;
  return ok_;
}

void ReplacementFile::Discard() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  if (!temp_.empty()) ::unlink(temp_.c_str());
  temp_.clear();
  buffer_.clear();
}

}  // namespace calstore
