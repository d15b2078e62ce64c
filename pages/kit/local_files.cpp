#include "pages/kit/local_files.h"

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <sstream>

#ifndef _WIN32
#include <unistd.h>
#endif

namespace pages {

namespace {

std::string TemporaryName(const std::string& path) {
  static std::atomic<unsigned> serial{0};
  std::random_device random;
  char suffix[32];
  std::snprintf(suffix, sizeof suffix, ".%08x%u.tmp", random(), serial++);
  return path + suffix;
}

}  // namespace

bool ReplaceFile(const std::string& path, const devlink::Bytes& bytes) {
  const std::string temporary = TemporaryName(path);
  std::FILE* file = std::fopen(temporary.c_str(), "wbx");
  if (!file) return false;
  bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  ok = std::fflush(file) == 0 && ok;
#ifndef _WIN32
  ok = ok && ::fsync(::fileno(file)) == 0;
#endif
  ok = std::fclose(file) == 0 && ok;
  std::error_code error;
  if (ok) std::filesystem::rename(temporary, path, error);
  if (!ok || error) {
    std::filesystem::remove(temporary, error);
    return false;
  }
  return true;
}

std::optional<std::string> ReadWholeFile(const std::string& path) {
  // A folder opens as an empty stream on some systems: it is no file to read.
  std::error_code error;
  if (std::filesystem::is_directory(path, error)) return std::nullopt;
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::ostringstream content;
  content << in.rdbuf();
  if (in.bad()) return std::nullopt;
  return content.str();
}

std::tm LocalNow() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
#ifdef _WIN32
  localtime_s(&local, &now);
#else
  localtime_r(&now, &local);
#endif
  return local;
}

std::string LocalNowText() {
  const std::tm local = LocalNow();
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
  return text;
}

std::string LocalNowIso() {
  const std::tm local = LocalNow();
  char text[40];
  std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S%z", &local);
  // strftime gives the offset as +hhmm; ISO 8601's extended form wants +hh:mm.
  std::string iso = text;
  if (iso.size() >= 5) iso.insert(iso.size() - 2, ":");
  return iso;
}

}  // namespace pages
