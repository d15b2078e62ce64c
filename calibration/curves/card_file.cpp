// The 32-bit card kind: the channel's card number and the calibration file.
#include "calibration/curves/curvecal_kinds.h"

namespace pages::curvecal {

Values Describe(const CardChannel& card) {
  return {{"card", int64_t(card.card)}, {"humidity", card.humidity}};
}

// Placeholders until the card exchanges are built.
Result<CardChannel> ReadCardChannel(devlink::Channel&, int) { return NotSupported(); }
Result<Curve> LoadCalibrationFile(const std::string&, int, bool) { return NotSupported(); }

}  // namespace pages::curvecal
