// Code pages through the C library's iconv, which knows Windows' code pages as "CPnnnn".
#include <errno.h>
#include <iconv.h>

#include <cstdio>

#include "platform/code_page.h"

namespace korvane {
namespace {

const iconv_t kNotOpen = reinterpret_cast<iconv_t>(-1);  // what iconv_open returns on failure

// iconv's name of a Windows code page: the ISO and other numbers that are not "CPnnnn".
std::string IconvName(CodePage page) {
  const auto number = static_cast<uint32_t>(page);
  if (number >= 28591 && number <= 28606) return "ISO-8859-" + std::to_string(number - 28590);
  switch (number) {
    case 65001:
      return "UTF-8";
    case 20127:
      return "ASCII";
    case 20866:
      return "KOI8-R";
    case 21866:
      return "KOI8-U";
    case 1361:
      return "JOHAB";
    case 10000:
      return "MACINTOSH";
    default:
      return "CP" + std::to_string(number);
  }
}

// One iconv conversion, closed when it goes.
class Conversion {
 public:
  Conversion(const std::string& to, const std::string& from)
      : cd_(iconv_open(to.c_str(), from.c_str())) {}
  ~Conversion() {
    if (cd_ != kNotOpen) iconv_close(cd_);
  }
  Conversion(const Conversion&) = delete;
  Conversion& operator=(const Conversion&) = delete;
  bool open() const { return cd_ != kNotOpen; }

  // Converts all of in into out (at most capacity bytes); the bytes written, or -1 when
  // iconv stopped (errno says why: EILSEQ, EINVAL for input cut short). The conversion
  // starts afresh each time.
  ptrdiff_t Convert(const char* in, size_t inSize, char* out, size_t capacity) {
    iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    char* inAt = const_cast<char*>(in);
    char* outAt = out;
    size_t outLeft = capacity;
    if (iconv(cd_, &inAt, &inSize, &outAt, &outLeft) == static_cast<size_t>(-1)) return -1;
    if (iconv(cd_, nullptr, nullptr, &outAt, &outLeft) == static_cast<size_t>(-1)) return -1;
    return outAt - out;
  }

 private:
  iconv_t cd_;
};

}  // namespace

struct CodePageCodec::Host {
  explicit Host(const std::string& name) : encoder(name, "UTF-32LE"), decoder("UTF-32LE", name) {}
  Conversion encoder;
  Conversion decoder;
};

CodePageCodec::CodePageCodec(CodePage page) : page_(page) {}
CodePageCodec::~CodePageCodec() = default;

bool CodePageCodec::Usable() {
  if (!host_) host_ = std::make_unique<Host>(IconvName(page_));
  return host_->encoder.open() && host_->decoder.open();
}

bool CodePageCodec::Encode(char32_t codePoint, std::string* out) {
  if (!Usable()) return false;
  const char in[4] = {static_cast<char>(codePoint), static_cast<char>(codePoint >> 8),
                      static_cast<char>(codePoint >> 16), static_cast<char>(codePoint >> 24)};
  char bytes[16];
  const ptrdiff_t size = host_->encoder.Convert(in, sizeof in, bytes, sizeof bytes);
  if (size <= 0) return false;
  out->append(bytes, static_cast<size_t>(size));
  return true;
}

size_t CodePageCodec::Decode(std::string_view bytes, size_t pos, char32_t* codePoint) {
  if (!Usable()) return 0;
  char units[16];
  // A lead byte alone is input cut short; with its trail byte it is one character.
  for (size_t length = 1; length <= 4 && pos + length <= bytes.size(); ++length) {
    errno = 0;
    const ptrdiff_t size = host_->decoder.Convert(bytes.data() + pos, length, units, sizeof units);
    if (size >= 4) {
      const auto u = [&units](int i) {
        return static_cast<char32_t>(static_cast<uint8_t>(units[i]));
      };
      *codePoint = u(0) | u(1) << 8 | u(2) << 16 | u(3) << 24;
      return length;
    }
    if (size >= 0 || errno != EINVAL) return 0;
  }
  return 0;
}

bool CodePageCodec::IsLeadByte(unsigned char byte) {
  if (!Usable()) return false;
  const char single = static_cast<char>(byte);
  char units[16];
  errno = 0;
  return host_->decoder.Convert(&single, 1, units, sizeof units) < 0 && errno == EINVAL;
}

}  // namespace korvane
