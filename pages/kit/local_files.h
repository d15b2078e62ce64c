#pragma once
// What the programs do with this computer's files and clock: a file replaced whole or not at
// all, a file read whole, and the local time now.
#include <ctime>
#include <optional>
#include <string>

#include "link/codecs.h"

namespace pages {

// Writes `bytes` to a new file beside `path` and renames it over `path`, so a failed save
// leaves an existing file as it was. False when the file cannot be created or written.
bool ReplaceFile(const std::string& path, const devlink::Bytes& bytes);
// The whole file, or nothing when it cannot be read.
std::optional<std::string> ReadWholeFile(const std::string& path);

// The local date and time now.
std::tm LocalNow();
// The same as "YYYY-MM-DD HH:MM:SS".
std::string LocalNowText();
// The same in ISO 8601 with the offset from UTC: "2026-12-09T16:30:05+01:00".
std::string LocalNowIso();

}  // namespace pages
