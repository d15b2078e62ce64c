// Windows implementation of the file-system interface. Paths travel as UTF-8 inside the library
// and become UTF-16 only at the wide Win32 calls, so no ANSI code page ever sees them. The
// temporary file is flushed with FlushFileBuffers and renamed over the old one with
// MoveFileExW(MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH).
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <algorithm>
#include <cwchar>

#include "platform.h"
#include "utf.h"

namespace calstore {

namespace {

std::wstring Wide(const std::string& path) {
  const std::u16string wide = Utf8ToUtf16(path);
  return std::wstring(wide.begin(), wide.end());
}

std::string Narrow(const wchar_t* text) {
  const std::wstring_view view(text);
  return Utf16ToUtf8(std::u16string(view.begin(), view.end()));
}

bool IsSeparator(char c) { return c == '/' || c == '\\'; }

size_t LastSeparator(const std::string& path) { return path.find_last_of("/\\"); }

std::string Join(const std::string& directory, const std::string& name) {
  if (directory.empty() || directory == ".") return name;
  return IsSeparator(directory.back()) ? directory + name : directory + "\\" + name;
}

// The attributes of what is at path; INVALID_FILE_ATTRIBUTES when nothing is.
DWORD Attributes(const std::string& path) {
  return path.empty() ? INVALID_FILE_ATTRIBUTES : ::GetFileAttributesW(Wide(path).c_str());
}

HANDLE HandleOf(int fd) { return reinterpret_cast<HANDLE>(::_get_osfhandle(fd)); }

// Calls back with the name and attributes of every entry of a directory (not "." and "..").
template <typename Visit>
void ForEachEntry(const std::string& directory, Visit visit) {
  const std::string pattern = Join(directory.empty() ? "." : directory, "*");
  WIN32_FIND_DATAW found;
  const HANDLE search = ::FindFirstFileW(Wide(pattern).c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return;
  do {
    if (std::wcscmp(found.cFileName, L".") == 0 || std::wcscmp(found.cFileName, L"..") == 0) {
      continue;
    }
    visit(Narrow(found.cFileName), found.dwFileAttributes);
  } while (::FindNextFileW(search, &found));
  ::FindClose(search);
}

// The full path with "." and ".." resolved; empty when it cannot be told.
std::string FullPath(const std::string& path) {
  const std::wstring wide = Wide(path);
  const DWORD n = ::GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
  if (n == 0) return {};
  std::wstring full(n, L'\0');
  const DWORD got = ::GetFullPathNameW(wide.c_str(), n, full.data(), nullptr);
  if (got == 0 || got >= n) return {};
  full.resize(got);
  return Narrow(full.c_str());
}

}  // namespace

std::string NativePath(std::u16string_view path) { return Utf16ToUtf8(path); }

bool Exists(const std::string& path) { return Attributes(path) != INVALID_FILE_ATTRIBUTES; }

bool IsDirectory(const std::string& path) {
  const DWORD attributes = Attributes(path);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool SameFile(const std::string& a, const std::string& b) {
  if (a == b) return true;
  auto identity = [](const std::string& path, BY_HANDLE_FILE_INFORMATION& info) {
    const HANDLE h = ::CreateFileW(Wide(path).c_str(), 0,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                   OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    const bool ok = ::GetFileInformationByHandle(h, &info) != 0;
    ::CloseHandle(h);
    return ok;
  };
  BY_HANDLE_FILE_INFORMATION ia, ib;
  const bool ha = identity(a, ia);
  const bool hb = identity(b, ib);
  if (ha && hb) {
    return ia.dwVolumeSerialNumber == ib.dwVolumeSerialNumber &&
           ia.nFileIndexHigh == ib.nFileIndexHigh && ia.nFileIndexLow == ib.nFileIndexLow;
  }
  if (ha != hb) return false;
  // Neither exists: the same full path, compared without regard to case as Windows does.
  const std::wstring fa = Wide(FullPath(a)), fb = Wide(FullPath(b));
  return !fa.empty() && ::CompareStringOrdinal(fa.c_str(), static_cast<int>(fa.size()),
                                               fb.c_str(), static_cast<int>(fb.size()),
                                               TRUE) == CSTR_EQUAL;
}

bool RemoveFile(const std::string& path) {
  if (::DeleteFileW(Wide(path).c_str())) return true;
  const DWORD code = ::GetLastError();
  return code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND;
}

// Write-through: the rename is on disk when the call returns.
bool RenameFile(const std::string& from, const std::string& to) {
  return ::MoveFileExW(Wide(from).c_str(), Wide(to).c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

std::vector<std::string> ListFilesEndingIn(const std::string& directory, std::string_view suffix) {
  std::vector<std::string> names;
  ForEachEntry(directory, [&](const std::string& name, DWORD attributes) {
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return;
    if (name.size() < suffix.size() ||
        name.compare(name.size() - suffix.size(), suffix.size(), suffix) != 0) {
      return;
    }
    names.push_back(name);
  });
  std::sort(names.begin(), names.end());
  std::vector<std::string> paths;
  paths.reserve(names.size());
  for (const std::string& name : names) paths.push_back(Join(directory, name));
  return paths;
}

std::vector<std::string> ListNamesBeginningWith(const std::string& directory,
                                                std::string_view prefix) {
  std::vector<std::string> names;
  ForEachEntry(directory, [&](const std::string& name, DWORD) {
    if (name.size() >= prefix.size() && std::string_view(name).substr(0, prefix.size()) == prefix) {
      names.push_back(name);
    }
  });
  std::sort(names.begin(), names.end());
  return names;
}

std::string DirectoryOf(const std::string& path) {
  const size_t slash = LastSeparator(path);
  if (slash == std::string::npos) {
    // "C:name" is relative to the current folder of drive C.
    return path.size() >= 2 && path[1] == ':' ? path.substr(0, 2) : ".";
  }
  // The root of a drive or of the current drive keeps its separator.
  if (slash == 0 || (slash == 2 && path[1] == ':')) return path.substr(0, slash + 1);
  return path.substr(0, slash);
}

std::string NameOf(const std::string& path) {
  const size_t slash = LastSeparator(path);
  if (slash == std::string::npos) {
    return path.size() >= 2 && path[1] == ':' ? path.substr(2) : path;
  }
  return path.substr(slash + 1);
}

// A symbolic link is written through, as on Linux: the file it points to is replaced.
std::string ResolvedForReplacing(const std::string& path) {
  const DWORD attributes = Attributes(path);
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) {
    return path;
  }
  const HANDLE h = ::CreateFileW(Wide(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                 OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return path;
  wchar_t target[MAX_PATH * 4];
  const DWORD n = ::GetFinalPathNameByHandleW(h, target, MAX_PATH * 4, FILE_NAME_NORMALIZED);
  ::CloseHandle(h);
  if (n == 0 || n >= MAX_PATH * 4) return path;
  std::string resolved = Narrow(target);
  if (resolved.rfind("\\\\?\\", 0) == 0) resolved.erase(0, 4);
  return resolved;
}

uint64_t CurrentProcessId() { return ::GetCurrentProcessId(); }

bool ProcessRunning(uint64_t id) {
  if (id == 0 || id > 0xFFFFFFFFu) return true;  // not a process id: keep
  const HANDLE process =
      ::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, static_cast<DWORD>(id));
  if (process == nullptr) return ::GetLastError() != ERROR_INVALID_PARAMETER;
  DWORD code = 0;
  const bool running = !::GetExitCodeProcess(process, &code) || code == STILL_ACTIVE;
  ::CloseHandle(process);
  return running;
}

// ---- InputFile

// Shared for reading, writing and deleting, as a file being read is on Linux: another program
// may rename or delete it meanwhile. Not inherited by child processes.
std::FILE* OpenForReading(const std::string& path) {
  if (path.empty() || IsDirectory(path)) return nullptr;
  const HANDLE h = ::CreateFileW(Wide(path).c_str(), GENERIC_READ,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                 OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return nullptr;
  const int fd = ::_open_osfhandle(reinterpret_cast<intptr_t>(h), _O_RDONLY | _O_BINARY);
  if (fd < 0) {
    ::CloseHandle(h);
    return nullptr;
  }
  std::FILE* file = ::_fdopen(fd, "rb");
  if (file == nullptr) ::_close(fd);
  return file;
}

bool InputFile::Seek(uint64_t offset) {
  if (!file_) return false;
  if (::_fseeki64(file_, static_cast<long long>(offset), SEEK_SET) != 0) {
    failed_ = true;
    return false;
  }
  return true;
}

// ---- ReplacementFile



bool ReplacementFile::Create(const std::string& temp, bool replaceLeftover) {
  const std::wstring wide = Wide(temp);
  auto create = [&] {
    return ::CreateFileW(wide.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  };
  HANDLE h = create();
  if (h == INVALID_HANDLE_VALUE && ::GetLastError() == ERROR_FILE_EXISTS && replaceLeftover &&
      ::DeleteFileW(wide.c_str())) {
    h = create();
  }
  if (h == INVALID_HANDLE_VALUE) return false;
  fd_ = ::_open_osfhandle(reinterpret_cast<intptr_t>(h), 0);
  if (fd_ < 0) {
    ::CloseHandle(h);
    ::DeleteFileW(wide.c_str());
    return false;
  }
  temp_ = temp;
  // The replacement keeps the read-only and hidden attributes of the file it replaces; a
  // read-only file is then refused by the rename, as it should be.
  return true;
}

bool ReplacementFile::Flush() {
  const HANDLE h = HandleOf(fd_);
  size_t done = 0;
  while (done < buffer_.size()) {
    DWORD written = 0;
    const DWORD count = static_cast<DWORD>(std::min<size_t>(buffer_.size() - done, 1u << 30));
    if (!::WriteFile(h, buffer_.data() + done, count, &written, nullptr) || written == 0) {
      return false;
    }
    done += written;
  }
  buffer_.clear();
  return true;
}

bool ReplacementFile::Finish() {
  if (fd_ < 0) return false;
  if (ok_) ok_ = Flush();
  if (ok_) ok_ = ::FlushFileBuffers(HandleOf(fd_)) != 0;
  if (::_close(fd_) != 0) ok_ = false;
  fd_ = -1;
  finished_ = ok_;
  return ok_;
}

void ReplacementFile::Discard() {
  if (fd_ >= 0) ::_close(fd_);
  fd_ = -1;
  if (!temp_.empty()) ::DeleteFileW(Wide(temp_).c_str());
  temp_.clear();
  buffer_.clear();
}

}  // namespace calstore
