#pragma once
// Check values of the three frame families. Pure functions over byte buffers; shared with the
// simulator, which uses nothing else of the link.
#include <cstdint>

namespace devlink {

// 8-bit sum: sum of `count` bytes modulo 256. A count of 0 or less gives 0.
uint8_t Sum8(const uint8_t* bytes, int32_t count);

// XOR of bytes[start] .. bytes[end - 1]. bytes[start] is always taken, even when start >= end.
uint8_t Xor8(const uint8_t* bytes, int32_t end, int32_t start);

// CRC-16/MODBUS: poly 0xA001 (reflected 0x8005), init 0xFFFF, no final XOR, computed bitwise.
// Only the low 8 bits of `count` are used: at most 255 bytes; a count of 256 covers nothing.
uint16_t Crc16Modbus(const uint8_t* bytes, uint32_t count);

}  // namespace devlink
