// The 32-bit card kind: the card number of a channel's configuration, and the calibration points
// of that card from a calibration file (".jz"), read through libcalstore.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "calibration/curves/card_file.h"
#include "calibration/curves/curvecal_kinds.h"
#include "calstore.h"
#include "calstore/src/utf.h"
#include "pages/property/property_commands.h"

namespace pages::curvecal {

namespace {

// The channel types a card channel measures humidity with: type code 2 "湿度传感器" and 5
// "温湿卡片-湿度" (positions 1 and 4 of the channel-type list).
bool HumidityKind(int typeCode) { return typeCode == 2 || typeCode == 5; }

// Everything one JZReadFile call hands out, given back to JZFreeArray however the call ended.
struct ReadArrays {
  float* points = nullptr;
  uint8_t pointCount = 0;
  int32_t* cards = nullptr;
  uint32_t cardCount = 0;
  float** values = nullptr;

  ReadArrays() = default;
  ReadArrays(const ReadArrays&) = delete;
  ReadArrays& operator=(const ReadArrays&) = delete;
  ~ReadArrays() {
    JZFreeArray(points);
    JZFreeArray(cards);
    if (values != nullptr) {
      for (uint32_t c = 0; c < cardCount; ++c) JZFreeArray(values[c]);
    }
    JZFreeArray(values);
  }
};

bool IsFile(const std::string& path) {
  std::error_code error;
  return !path.empty() && std::filesystem::is_regular_file(std::filesystem::u8path(path), error);
}

}  // namespace

Values Describe(const CardChannel& card) {
  return {{"card-id", card.cardId}, {"card", int64_t(card.card)}, {"humidity", card.humidity}};
}

std::optional<int> CardNumberOf(std::string_view text) {
  text = TrimBlanks(text);
  if (text.empty() || text.size() > 10) return std::nullopt;
  for (const char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
  }
  const auto number = ParseWholeInt(text);
  if (!number || *number > INT32_MAX) return std::nullopt;
  return static_cast<int>(*number);
}

std::string CardLoadFailed(std::string_view cardText) {
  if (const auto number = CardNumberOf(cardText)) {
    char text[96];
    std::snprintf(text, sizeof text, kCardLoadFailedFormat, *number);
    return text;
  }
  // A card ID with hexadecimal letters names no card of a calibration file; it is shown as read.
  return "卡片 " + std::string(TrimBlanks(cardText)) + " 的校准信息载入失败！";
}

Result<CardChannel> ReadCardChannel(devlink::Channel& channel, int channelNumber) {
  const auto config = property::ReadChannel(channel, channelNumber);
  if (!config.ok()) return config.outcome;
  CardChannel card;
  card.cardId = config.value.cardId;
  card.card = CardNumberOf(card.cardId).value_or(-1);
  card.humidity = HumidityKind(config.value.typeCode);
  return {"", std::move(card)};
}

Result<Curve> LoadCalibrationFile(const std::string& path, int card, bool humidity) {
  if (!IsFile(path)) return Outcome::Refused(kCalibrationFileInvalid, kFieldPath);
  const std::u16string widePath = calstore::Utf8ToUtf16(path);
  ReadArrays arrays;
  const int32_t result =
      JZReadFile(widePath.c_str(), humidity ? JZ_HUMIDITY : JZ_TEMPERATURE, &arrays.points,
                 &arrays.pointCount, &arrays.cards, &arrays.cardCount, &arrays.values, nullptr);
  if (result != JZ_OK) {
    char code[64];
    std::snprintf(code, sizeof code, kOpenFileFailedCode, static_cast<int>(result));
    return Outcome::Failure(kOpenFileFailed + path + code);
  }
  char failed[96];
  std::snprintf(failed, sizeof failed, kCardLoadFailedFormat, card);
  if (arrays.cardCount < 1 || arrays.cards == nullptr || arrays.values == nullptr) {
    return Outcome::Failure(failed);
  }
  for (uint32_t c = 0; c < arrays.cardCount; ++c) {
    if (arrays.cards[c] != card) continue;
    Curve curve;
    const float* values = arrays.values[c];
    for (size_t i = 0; i < arrays.pointCount && values != nullptr; ++i) {
      if (values[i] == JZ_NO_VALUE) continue;
      curve.pairs.push_back({SingleToDecimal(arrays.points[i]), SingleToDecimal(values[i])});
    }
    // A card whose record holds no point of this channel type has nothing to load.
    if (curve.pairs.empty()) return Outcome::Failure(failed);
    return {"", std::move(curve)};
  }
  return Outcome::Failure(failed);
}

Result<Curve> LoadCardFromFile(const std::string& path, std::string_view cardText, bool humidity) {
  if (!IsFile(path)) return Outcome::Refused(kCalibrationFileInvalid, kFieldPath);
  const auto card = CardNumberOf(cardText);
  if (!card) return Outcome::Failure(CardLoadFailed(cardText));
  return LoadCalibrationFile(path, *card, humidity);
}

}  // namespace pages::curvecal
