#pragma once
// Runs the verbs of the families' command tables against fuzzed replies: each verb gets valid
// option texts (a few per field, chosen by a selector byte), so that it sends its requests and
// decodes whatever the fuzz channel answers.
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "fuzz/fuzz_channel.h"
#include "pages/kit/command_table.h"

namespace fuzzing {

// Valid option texts for every field of `def`; `selector` picks among the candidates of each.
std::map<std::string, std::string> ArgumentsFor(const pages::CommandDef& def, uint8_t selector);

// Verbs the runner leaves out: those that need a file path (history download, calibration
// files) and those behind the Bluetooth adapter (--mac), which reach the adapter only over a
// real serial port; their decoders have a target of their own.
bool Drivable(const pages::CommandDef& def);

// What every outcome should be, whatever the peer sent: texts that are whole UTF-8, finite
// numbers (see CheckUtf8). `where` names the command in the notes.
void CheckOutcome(const pages::Outcome& outcome, const std::string& where);

// The drivable verbs of `sets`, in table order.
std::vector<const pages::CommandDef*> DrivableVerbs(const std::vector<pages::CommandSet>& sets);

// Input: byte 0 picks the verb (modulo the count), byte 1 the option texts (bits 0-5), the TCP
// channel (bit 7) and repaired frames (bit 6, see FuzzChannel), then the replies.
void RunOneVerb(const std::vector<const pages::CommandDef*>& verbs, const uint8_t* data,
                size_t size);

}  // namespace fuzzing
