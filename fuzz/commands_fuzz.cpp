// Fuzz target: every verb of every family's command table (settings, property, property2,
// chiller, fridge, sensor, transmitter32, relay, wifi, the shared SN and clock widgets hosted by
// the pages, fixed-table and curve calibration) decodes fuzzed replies from a channel that
// answers each request with the next reply of the input. Byte 0 picks the verb, byte 1 its
// option texts and the channel (serial or TCP). Any crash, sanitizer report or uncaught
// exception is a finding; texts that are not UTF-8 and numbers that are not finite are noted.
#include <cstddef>
#include <cstdint>

#include "cli/cli.h"
#include "fuzz/command_runner.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::vector<pages::CommandSet> sets = cli::CommandSets();
  static const std::vector<const pages::CommandDef*> verbs = fuzzing::DrivableVerbs(sets);
  fuzzing::RunOneVerb(verbs, data, size);
  return 0;
}
