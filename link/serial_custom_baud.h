#pragma once
// Rates without a termios constant, set through the kernel's arbitrary-rate interface. Kept in
// its own file because the kernel's termios definitions clash with <termios.h>.
#include <string>

namespace devlink::detail {

// Sets input and output rate of the open terminal `fd` to `baud` and reads it back. Fails, with
// `error` saying why, when the driver refuses the rate or settles on a different one.
bool SetArbitraryBaud(int fd, unsigned baud, std::string* error);

// The output rate the terminal reports, or 0 when it cannot be read.
unsigned ReadBaud(int fd);

}  // namespace devlink::detail
