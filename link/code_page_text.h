#pragma once
// Code-page conversion with control characters kept as they are: for whole file contents (a CSV
// read back, lines and all), not for the fields of a device (those go through DecodeDeviceText,
// link/codecs.h, which escapes them).
#include <cstddef>
#include <cstdint>
#include <string>

namespace devlink {

std::string DecodeCodePageText(int codePage, const uint8_t* bytes, size_t count);

}  // namespace devlink
