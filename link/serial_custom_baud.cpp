#include "link/serial_custom_baud.h"

#include <asm/termbits.h>
#include <sys/ioctl.h>

#include <cerrno>
#include <cstring>

namespace devlink::detail {

unsigned ReadBaud(int fd) {
  struct termios2 tio;
  if (ioctl(fd, TCGETS2, &tio) != 0) return 0;
  return tio.c_ospeed;
}

bool SetArbitraryBaud(int fd, unsigned baud, std::string* error) {
  struct termios2 tio;
  if (ioctl(fd, TCGETS2, &tio) != 0) {
    if (error) *error = std::string("cannot read the line settings: ") + std::strerror(errno);
    return false;
  }
  tio.c_cflag &= ~(CBAUD | (CBAUD << IBSHIFT));
  tio.c_cflag |= BOTHER | (BOTHER << IBSHIFT);
  tio.c_ispeed = baud;
  tio.c_ospeed = baud;
  if (ioctl(fd, TCSETS2, &tio) != 0) {
    if (error) {
      *error = "baud rate " + std::to_string(baud) +
               " is not supported by this port: " + std::strerror(errno);
    }
    return false;
  }
  return true;
}

}  // namespace devlink::detail
