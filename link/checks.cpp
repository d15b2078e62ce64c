#include "link/checks.h"

namespace devlink {

uint8_t Sum8(const uint8_t* bytes, int32_t count) {
  uint8_t sum = 0;
  for (int32_t i = 0; i < count; ++i) sum = static_cast<uint8_t>(sum + bytes[i]);
  return sum;
}

uint8_t Xor8(const uint8_t* bytes, int32_t end, int32_t start) {
  uint8_t value = bytes[start];
  for (int32_t i = start + 1; i < end; ++i) value ^= bytes[i];
  return value;
}

uint16_t Crc16Modbus(const uint8_t* bytes, uint32_t count) {
  uint16_t crc = 0xFFFF;
  const uint32_t covered = count & 0xFFu;
  for (uint32_t i = 0; i < covered; ++i) {
    crc ^= bytes[i];
    for (int bit = 0; bit < 8; ++bit) {
      crc = (crc & 1u) ? static_cast<uint16_t>((crc >> 1) ^ 0xA001u) : static_cast<uint16_t>(crc >> 1);
    }
  }
  return crc;
}

}  // namespace devlink
