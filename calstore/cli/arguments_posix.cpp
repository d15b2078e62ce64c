// On Linux the arguments are UTF-8 bytes already.
#include "arguments.h"

namespace calstore_cli {

std::vector<std::string> Utf8Arguments(int argc, char** argv) {
  return std::vector<std::string>(argv, argv + argc);
}

}  // namespace calstore_cli
