#pragma once
// The few file-system operations calstore needs, behind one small interface so that a Windows
// build only replaces platform_posix.cpp. Paths are in the platform's form (UTF-8 bytes here).
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace calstore {

// The platform form of a UTF-16 path.
std::string NativePath(std::u16string_view path);

// Something (a file or a directory) is at path.
bool Exists(const std::string& path);
bool IsDirectory(const std::string& path);
// The two paths name one file: the same file on disk when both exist (links, "..", another
// spelling), else the same absolute path once "." and ".." and symbolic links are resolved.
bool SameFile(const std::string& a, const std::string& b);
// True when nothing is at path afterwards.
bool RemoveFile(const std::string& path);
// Renames from over to (replacing to).
bool RenameFile(const std::string& from, const std::string& to);
// The whole content of a regular file; nullopt when it cannot be opened or read.
std::optional<std::string> ReadWholeFile(const std::string& path);
// Regular files of a directory whose names end in suffix (case-sensitive), full paths, in
// ascending byte order of their names.
std::vector<std::string> ListFilesEndingIn(const std::string& directory, std::string_view suffix);
// The names (not paths) of every entry of a directory beginning with prefix; empty when the
// directory cannot be read.
std::vector<std::string> ListNamesBeginningWith(const std::string& directory,
                                                std::string_view prefix);
// The folder part of a path ("." for a bare name) and the name part.
std::string DirectoryOf(const std::string& path);
std::string NameOf(const std::string& path);
// The path a ReplacementFile of path writes: a symbolic link resolved to the file it points to.
std::string ResolvedForReplacing(const std::string& path);

// This process, and whether a process of that id still runs (true when it cannot be told).
uint64_t CurrentProcessId();
bool ProcessRunning(uint64_t id);

// A regular file (not a directory) opened for reading in binary mode; null when it cannot be.
std::FILE* OpenForReading(const std::string& path);

// A read-only file read in exact pieces: a piece that the file does not hold whole is not
// returned at all.
class InputFile {
 public:
  InputFile() = default;
  InputFile(const InputFile&) = delete;
  InputFile& operator=(const InputFile&) = delete;
  ~InputFile();

  // Opens a regular file (not a directory) for reading.
  bool Open(const std::string& path);
  // Reads exactly count bytes; false at the end of the file or on a read error.
  bool ReadExact(void* buffer, size_t count);
  bool Seek(uint64_t offset);
  // A read error happened (as opposed to reaching the end of the file).
  bool Failed() const;

 private:
  std::FILE* file_ = nullptr;
  bool failed_ = false;
};

// Temporary files are named PATH.tmp-PID-N (N counts within the process, so the name is unique
// among running processes), with a role appended where one operation writes several files under
// one token (see recovery.h). A process id in the name tells, after a crash, whether the writer
// still runs.
std::string NewTempToken();
std::string TempName(const std::string& path, std::string_view token, std::string_view role = {});

// Writes the new content of a file into a temporary file beside it and renames it over the old
// one only on Commit, so a failure (or a crash) before then leaves the old file as it was. The
// temporary file is removed when the object goes away uncommitted.
class ReplacementFile {
 public:
  explicit ReplacementFile(std::string path);
  ReplacementFile(const ReplacementFile&) = delete;
  ReplacementFile& operator=(const ReplacementFile&) = delete;
  ~ReplacementFile();

  // Creates the temporary file under a new token; false when it cannot be created.
  bool Open();
  // Creates the temporary file under a given token and role (a file of that name can only be
  // left by a dead process whose id this process now has, so it is replaced).
  bool OpenAs(std::string_view token, std::string_view role);
  void Write(const void* bytes, size_t count);
  void Write(std::string_view bytes) { Write(bytes.data(), bytes.size()); }
  // Every write so far succeeded.
  bool Ok() const { return ok_; }
  // Flushes, syncs and closes the temporary file; false when any write failed.
  bool Finish();
  // Renames the finished temporary file over the path.
  bool Commit();
  // The file replaced (a symbolic link resolved), and the token of the temporary file.
  const std::string& path() const { return path_; }
  const std::string& token() const { return token_; }

 private:
  bool Flush();
  void Discard();
  bool Create(const std::string& temp, bool replaceLeftover);

  std::string path_;
  std::string temp_;
  std::string token_;
  int fd_ = -1;
  bool ok_ = true;
  bool finished_ = false;
  std::string buffer_;
};

// Replaces path with bytes through a ReplacementFile.
bool WriteFileReplacing(const std::string& path, std::string_view bytes);

}  // namespace calstore
