#pragma once
// The command line as UTF-8 on every platform: on Windows the narrow argv is in the ANSI code
// page, which cannot hold every file name, so the arguments are taken from the wide command line.
#include <filesystem>
#include <string>
#include <vector>

namespace calstore_cli {

std::vector<std::string> Utf8Arguments(int argc, char** argv);

// A UTF-8 path for the standard streams (on Windows they take a wide path from it).
inline std::filesystem::path Utf8Path(const std::string& path) {
  return std::filesystem::path(std::u8string(path.begin(), path.end()));
}

}  // namespace calstore_cli
