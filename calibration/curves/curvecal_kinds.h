#pragma once
// The curve exchanges of the kinds that have frames of their own, behind ReadCurve, WriteCurve
// and the live-value reads of curvecal_commands.h.
#include "calibration/curves/curvecal_commands.h"

namespace pages::curvecal {

// The logger kind (2): ASCII frames '#' / '%', a table of 11 or 15 raw readings.
Result<Curve> ReadLoggerCurve(devlink::Channel& channel, const CurveTarget& target,
                              CurveBuffer& buffer);
Result<LiveValue> ReadLoggerDisplayValue(devlink::Channel& channel, const CurveTarget& target);

// The Bluetooth logger (kind 5): Modbus at address 1, 16 pairs of tenths, high byte first.
Result<Curve> ReadBluetoothCurve(devlink::Channel& channel, const CurveTarget& target,
                                 CurveBuffer& buffer);
Outcome WriteBluetoothCurve(devlink::Channel& channel, const CurveTarget& target,
                            const std::vector<CurvePair>& pairs, CurveBuffer& buffer);

// The refusal of a kind or an action a kind does not have.
Outcome NotSupported();

}  // namespace pages::curvecal
