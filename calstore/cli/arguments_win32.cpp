// On Windows the arguments come from the wide command line, converted to UTF-8.
#include <windows.h>
#include <shellapi.h>

#include "arguments.h"

namespace calstore_cli {

std::vector<std::string> Utf8Arguments(int argc, char** argv) {
  int count = 0;
  wchar_t** wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
  if (wide == nullptr || count != argc) {
    if (wide != nullptr) ::LocalFree(wide);
    return std::vector<std::string>(argv, argv + argc);
  }
  std::vector<std::string> out;
  for (int i = 0; i < count; ++i) {
    const int n = ::WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, nullptr, 0, nullptr, nullptr);
    std::string text(static_cast<size_t>(n > 0 ? n : 1), '\0');
    if (n > 0) ::WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, text.data(), n, nullptr, nullptr);
    text.resize(text.size() - 1);  // the terminating NUL
    out.push_back(std::move(text));
  }
  ::LocalFree(wide);
  return out;
}

}  // namespace calstore_cli
