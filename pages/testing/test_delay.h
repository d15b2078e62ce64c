#pragma once
// Exchange delays of the tests that talk to the simulator. They are short so the tests stay
// quick; a slow build (sanitizers) stretches them all by the whole factor in
// TOOL_TEST_DELAY_FACTOR, so a loaded machine does not turn a late reply into a failure.
#include <cstdlib>

namespace pages::testing {

inline int TestDelayMs(int base) {
  const char* text = std::getenv("TOOL_TEST_DELAY_FACTOR");
  const int factor = text != nullptr ? std::atoi(text) : 1;
  return factor > 1 ? base * factor : base;
}

}  // namespace pages::testing
