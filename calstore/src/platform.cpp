// The parts of the file-system interface that are the same on every platform.
#include <atomic>

#include "platform.h"

namespace calstore {

std::optional<std::string> ReadWholeFile(const std::string& path) {
  std::FILE* f = OpenForReading(path);
  if (!f) return std::nullopt;
  std::string content;
  char chunk[65536];
  size_t got;
  while ((got = std::fread(chunk, 1, sizeof chunk, f)) > 0) content.append(chunk, got);
  const bool failed = std::ferror(f) != 0;
  std::fclose(f);
  if (failed) return std::nullopt;
  return content;
}

InputFile::~InputFile() {
  if (file_) std::fclose(file_);
}

bool InputFile::Open(const std::string& path) {
  if (file_) std::fclose(file_);
  failed_ = false;
  file_ = OpenForReading(path);
  return file_ != nullptr;
}

bool InputFile::ReadExact(void* buffer, size_t count) {
  if (!file_) return false;
  if (count == 0) return true;
  const size_t got = std::fread(buffer, 1, count, file_);
  if (got == count) return true;
  if (std::ferror(file_)) failed_ = true;
  return false;
}

bool InputFile::Failed() const { return failed_; }

std::string NewTempToken() {
  static std::atomic<unsigned> counter{0};
  return std::to_string(CurrentProcessId()) + "-" + std::to_string(counter++);
}

std::string TempName(const std::string& path, std::string_view token, std::string_view role) {
  return path + ".tmp-" + std::string(token) + std::string(role);
}

ReplacementFile::ReplacementFile(std::string path) : path_(ResolvedForReplacing(path)) {}

ReplacementFile::~ReplacementFile() { Discard(); }

bool ReplacementFile::Open() {
  Discard();
  ok_ = true;
  finished_ = false;
  if (path_.empty() || IsDirectory(path_)) return false;
  for (int attempt = 0; attempt < 100; ++attempt) {
    token_ = NewTempToken();
    const std::string temp = TempName(path_, token_);
    if (Create(temp, false)) return true;
    // Only a name already taken is worth another token.
    if (!Exists(temp)) break;
  }
  token_.clear();
  return false;
}

bool ReplacementFile::OpenAs(std::string_view token, std::string_view role) {
  Discard();
  ok_ = true;
  finished_ = false;
  if (path_.empty() || IsDirectory(path_)) return false;
  token_ = std::string(token);
  if (Create(TempName(path_, token_, role), true)) return true;
  token_.clear();
  return false;
}

void ReplacementFile::Write(const void* bytes, size_t count) {
  if (!ok_ || fd_ < 0) {
    ok_ = false;
    return;
  }
  buffer_.append(static_cast<const char*>(bytes), count);
  if (buffer_.size() >= (1u << 16)) ok_ = Flush();
}

bool ReplacementFile::Commit() {
  if (!finished_ && !Finish()) return false;
  if (!RenameFile(temp_, path_)) return false;
  temp_.clear();
  return true;
}

bool WriteFileReplacing(const std::string& path, std::string_view bytes) {
  ReplacementFile out(path);
  if (!out.Open()) return false;
  out.Write(bytes);
  return out.Commit();
}

}  // namespace calstore
