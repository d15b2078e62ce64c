// OEM text through iconv.
#include <iconv.h>

#include <cerrno>

#include "link/oem_text.h"

namespace devlink::detail {

namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";  // U+FFFD

// The instrument's OEM code page is GBK. Decoding goes through its superset GB18030, which
// also reads the few byte pairs that some GBK tables leave out; encoding produces GBK only.
constexpr const char* kOemDecodeCharset = "GB18030";
constexpr const char* kOemEncodeCharset = "GBK";

class Converter {
 public:
  Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
  ~Converter() {
    if (ok()) iconv_close(cd_);
  }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;
  bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }

  // Converts all of `in`. Unconvertible input either stops the conversion (returns false) or,
  // with `replace`, is skipped one byte at a time and stands as U+FFFD in the output.
  bool Convert(std::string_view in, bool replace, std::string& out) {
    out.clear();
    char* src = const_cast<char*>(in.data());
    size_t srcLeft = in.size();
    char buffer[256];
    while (true) {
      char* dst = buffer;
      size_t dstLeft = sizeof(buffer);
      const size_t rc = srcLeft == 0 ? iconv(cd_, nullptr, nullptr, &dst, &dstLeft)
                                     : iconv(cd_, &src, &srcLeft, &dst, &dstLeft);
      const int err = errno;
      out.append(buffer, static_cast<size_t>(dst - buffer));
      if (rc != static_cast<size_t>(-1)) {
        if (srcLeft == 0) return true;
        continue;
      }
      if (err == E2BIG) continue;
      if (!replace) return false;
      out.append(kReplacement);
      if (err == EINVAL) return true;  // incomplete sequence at the end
      ++src;
      --srcLeft;
      iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    }
  }

 private:
  iconv_t cd_;
};

}  // namespace

bool OemToUtf8(std::string_view in, std::string& out) {
  Converter converter("UTF-8", kOemDecodeCharset);
  return converter.ok() && converter.Convert(in, /*replace=*/true, out);
}

bool Utf8ToOem(std::string_view in, std::string& out) {
  Converter converter(kOemEncodeCharset, "UTF-8");
  return converter.ok() && converter.Convert(in, /*replace=*/false, out);
}

}  // namespace devlink::detail
