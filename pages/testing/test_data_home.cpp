// Linked into every test program: the user's data folder is the build tree's, so a download a
// test runs (in the process or through tool-cli, which inherits it) stores into a history
// archive there and never into the user's own.
#include <cstdlib>

namespace {

const bool kDataHomeSet = [] {
#ifdef _WIN32
  _putenv_s("LOCALAPPDATA", TOOL_TEST_DATA_HOME);
#else
  setenv("XDG_DATA_HOME", TOOL_TEST_DATA_HOME, 1);
#endif
  return true;
}();

}  // namespace
