#pragma once
// What the fuzz targets share: the fuzz input read as a sequence of peer replies, and the
// channel, stream line and Bluetooth adapter port that hand those replies to the decoders as an
// instrument, a GPRS module or the adapter would.
//
// Input layout after a target's own leading bytes: replies one after another, each a 16-bit
// length (high byte first) and that many bytes (fewer at the end of the input). The length
// 0xFFFF stands for "no reply" (a TCP exchange that failed every attempt). Once the input is
// used up, every further reply is empty, as a silent instrument's.
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>

#include "link/bluetooth.h"
#include "link/exchange.h"
#include "pages/kit/stream_line.h"

namespace fuzzing {

class FuzzInput {
 public:
  FuzzInput(const uint8_t* data, size_t size) : data_(data), size_(size) {}

  size_t Left() const { return size_ - at_; }
  bool Exhausted() const { return at_ >= size_; }
  // One byte, 0 past the end.
  uint8_t Byte() { return at_ < size_ ? data_[at_++] : 0; }

  // The next reply; false for "no reply".
  bool NextReply(devlink::Bytes& reply) {
    reply.clear();
    if (Exhausted()) return true;
    const size_t length = size_t{Byte()} << 8 | Byte();
    if (length == 0xFFFF) return false;
    const size_t take = length < Left() ? length : Left();
    reply.assign(data_ + at_, data_ + at_ + take);
    at_ += take;
    return true;
  }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t at_ = 0;
};

// A channel that answers every request with the next reply of the input. Serial-like by default
// (whatever arrived, cut at the reply buffer); `tcp` hands replies over as the TCP channel does
// (only those that pass its acceptance rule, marked as accepted; serial-only commands send
// nothing). The command's own verdict runs on every reply, as on the real channels.
//
// With `repair`, each reply first gets the length field and check value its frame family wants
// (SumFrame byte 4 and Sum8, Modbus byte count and CRC, XorFrame length and Xor8), so that
// mutated payloads get past the frame checks to the decoders behind them.
class FuzzChannel : public devlink::Channel {
 public:
  FuzzChannel(FuzzInput& input, bool tcp, bool repair = false)
      : input_(input), tcp_(tcp), repair_(repair) {}

  devlink::ExchangeResult Exchange(devlink::ByteView request, const devlink::ReplySpec& spec) override;
  uint8_t DeviceAddress() const override { return 1; }

  size_t Exchanges() const { return exchanges_; }
  // Exchanges after the input was used up.
  size_t SilentExchanges() const { return silent_; }
  // A download asks a silent instrument every block of what it announced, up to 32,767 blocks
  // three times each: past `limit` silent exchanges `proceed` is cleared, as a user would
  // cancel, so that one input stays short.
  void StopWhenSilent(std::atomic<bool>* proceed, size_t limit) {
    proceed_ = proceed;
    silentLimit_ = limit;
  }

 private:
  FuzzInput& input_;
  bool tcp_;
  bool repair_;
  size_t exchanges_ = 0;
  size_t silent_ = 0;
  std::atomic<bool>* proceed_ = nullptr;
  size_t silentLimit_ = 0;
};

// Sets the length field and the check value of `reply` as its frame family has them (Modbus:
// the byte count of a 0x03 reply, then the CRC low byte first). Too short a reply stays as it is.
void RepairFrame(devlink::Bytes& reply, devlink::FrameFamily family);

// A GPRS module's text stream: each read cycle takes the next reply of the input as its chunk
// (at most the serial read limit).
class FuzzStreamLine : public pages::StreamLine {
 public:
  explicit FuzzStreamLine(FuzzInput& input) : input_(input) {}
  pages::StreamStart Start(devlink::ByteView request) override;
  devlink::Bytes ReadCycle() override;
  void Finish() override {}
  size_t SilentCycles() const { return silent_; }

 private:
  FuzzInput& input_;
  size_t silent_ = 0;
};

// The Bluetooth adapter on the serial port: each read takes the next reply of the input; sleeps
// take no time.
// With `repair`, each read gets its Modbus CRC (RepairFrame).
class FuzzAdapterPort : public devlink::AdapterPort {
 public:
  FuzzAdapterPort(FuzzInput& input, bool repair) : input_(input), repair_(repair) {}
  bool IsOpen() override { return true; }
  void Purge() override {}
  void Write(devlink::ByteView) override {}
  size_t Read(uint8_t* buffer, size_t capacity) override;
  void Sleep(int32_t) override {}

 private:
  FuzzInput& input_;
  bool repair_;
};

// Traps when `condition` is false: a broken invariant is a finding like a crash.
inline void Check(bool condition) {
  if (!condition) __builtin_trap();
}

// Texts a decoder hands out should be whole UTF-8 without control characters, numbers finite.
// tool-cli's JSON and the pages repair or escape these on output, so none is a crash: the first
// of each kind per place is only written to standard error ("fuzz note: ..."), for whoever reads
// the fuzz log.
// `device`: the text came from the peer, so control characters in it are noted too (the
// program's own messages may hold line breaks).
void CheckUtf8(const std::string& text, const char* where = "", bool device = true);
void CheckFinite(double value, const char* where = "");

}  // namespace fuzzing
