#pragma once
// A new, empty folder under the system's temporary folder for one test (mkdtemp's job, on every
// platform); empty when none could be made.
#include <filesystem>
#include <random>
#include <string>

namespace pages::testing {

inline std::filesystem::path NewTempFolder(const std::string& stem) {
  std::random_device seed;
  std::mt19937_64 random(seed());
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / (stem + "-" + std::to_string(random() % 1000000000));
    std::error_code ec;
    if (std::filesystem::create_directory(dir, ec)) return dir;
  }
  return {};
}

}  // namespace pages::testing
