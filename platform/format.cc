// The Windows formatter's rules, re-stated over type-captured arguments.
//
// Each field is clamped to the room left in the 1,024-byte output, the way wsprintfA
// does it: a too-long string or number is cut, and a width never pads past the end.
#include "platform/format.h"

#include <cstring>

namespace korvane {
namespace {

enum class Conversion { kUnknown, kChar, kString, kSigned, kUnsigned, kHex };

struct FieldSpec {
  bool leftAlign = false;
  bool hexPrefix = false;
  bool zeroPad = false;
  bool upperHex = false;
  bool wide64 = false;  // the I64 size prefix
  unsigned width = 0;
  unsigned precision = 0;
  Conversion conversion = Conversion::kUnknown;
};

// Wraps around at 32 bits as the Windows formatter's counter does; whatever comes out is
// clamped to the room left before it is used.
uint32_t ReadDecimal(const char*& p) {
  uint32_t value = 0;
  while (*p >= '0' && *p <= '9') {
    value = value * 10u + static_cast<uint32_t>(*p - '0');
    ++p;
  }
  return value;
}

// Parses "[-][#][0][width][.precision][size]type" after the '%'. Leaves p on the
// first character not taken; an unknown type character is not taken, so it prints.
FieldSpec ParseField(const char*& p) {
  FieldSpec f;
  if (*p == '-') f.leftAlign = true, ++p;
  if (*p == '#') f.hexPrefix = true, ++p;
  if (*p == '0') f.zeroPad = true, ++p;
  f.width = ReadDecimal(p);
  if (*p == '.') {
    ++p;
    f.precision = ReadDecimal(p);
  }
  if (*p == 'l' || *p == 'h' || *p == 'w') {
    ++p;
  } else if (*p == 'I') {
    if (p[1] == '6' && p[2] == '4') {
      f.wide64 = true;
      p += 3;
    } else if (p[1] == '3' && p[2] == '2') {
      p += 3;
    } else {
      ++p;
    }
  }
  switch (*p) {
    case 'c':
    case 'C':
      f.conversion = Conversion::kChar;
      break;
    case 's':
    case 'S':
      f.conversion = Conversion::kString;
      break;
    case 'd':
    case 'i':
      f.conversion = Conversion::kSigned;
      break;
    case 'u':
      f.conversion = Conversion::kUnsigned;
      break;
    case 'p':
      f.width = 8;
      f.zeroPad = true;
      f.upperHex = true;
      f.conversion = Conversion::kHex;
      break;
    case 'X':
      f.upperHex = true;
      f.conversion = Conversion::kHex;
      break;
    case 'x':
      f.conversion = Conversion::kHex;
      break;
    default:
      return f;  // unknown: leave p on it
  }
  ++p;
  return f;
}

// Digits of a number as the formatter shows it: a 32-bit argument unless I64. Kept in
// a fixed array, which the longest 64-bit number with its sign fits.
struct NumberDigits {
  char text[24];
  unsigned size = 0;
};

NumberDigits NumberText(const FieldSpec& f, int64_t raw) {
  int64_t value = f.wide64 ? raw : static_cast<int32_t>(static_cast<uint32_t>(raw));
  NumberDigits out;
  uint64_t magnitude;
  if (f.conversion == Conversion::kSigned && value < 0) {
    out.text[out.size++] = '-';
    magnitude = 0 - static_cast<uint64_t>(value);
  } else {
    magnitude = static_cast<uint64_t>(value);
  }
  if (!f.wide64) magnitude &= 0xFFFFFFFFu;
  const unsigned base = f.conversion == Conversion::kHex ? 16 : 10;
  const char* digits = f.upperHex ? "0123456789ABCDEF" : "0123456789abcdef";
  char reversed[24];
  int n = 0;
  do {
    reversed[n++] = digits[magnitude % base];
    magnitude /= base;
  } while (magnitude != 0);
  while (n > 0) out.text[out.size++] = reversed[--n];
  return out;
}

// Fills a fixed buffer of the formatter's size, so a line costs one allocation: the
// string made from it at the end.
class Writer {
 public:
  size_t room() const { return kFormatLimit - size_; }
  // Never more than kFormatLimit - 1 bytes, whatever a field asks for.
  void Put(char c) {
    if (size_ + 1 >= kFormatLimit) return;
    buffer_[size_++] = c;
  }
  void Pad(unsigned from, unsigned to) {
    for (unsigned i = from; i < to; ++i) Put(' ');
  }
  // The Windows formatter yields a C string: a zero byte written by %c ends it.
  std::string Text() const {
    const void* zero = std::memchr(buffer_, '\0', size_);
    const size_t length =
        zero ? static_cast<size_t>(static_cast<const char*>(zero) - buffer_) : size_;
    return std::string(buffer_, length);
  }

 private:
  char buffer_[kFormatLimit];
  size_t size_ = 0;
};

void WriteField(Writer& w, FieldSpec f, const FormatArg& arg) {
  const unsigned maxLen = static_cast<unsigned>(w.room() - 1);
  if (f.leftAlign) f.zeroPad = false;
  if (f.width > maxLen) f.width = maxLen;

  // An unknown conversion pads as if its precision were the length of a field that is
  // never written; its character then prints as plain text.
  if (f.conversion == Conversion::kUnknown) {
    if (!f.leftAlign) w.Pad(f.precision, f.width);
    return;
  }
  if (f.conversion == Conversion::kChar) {
    if (!f.leftAlign) w.Pad(1, f.width);
    w.Put(static_cast<char>(arg.number()));
    if (f.leftAlign) w.Pad(1, f.width);
    return;
  }
  if (f.conversion == Conversion::kString) {
    const char* s = arg.text() ? arg.text() : "(null)";
    unsigned len = 0;
    while ((f.precision == 0 || len < f.precision) && s[len] != '\0') ++len;
    if (len > maxLen) len = maxLen;
    if (!f.leftAlign) w.Pad(len, f.width);
    for (unsigned i = 0; i < len; ++i) w.Put(s[i]);
    if (f.leftAlign) w.Pad(len, f.width);
    return;
  }

  const NumberDigits digits = NumberText(f, arg.number());
  const char* number = digits.text;
  unsigned len = digits.size;
  if (len > maxLen) len = maxLen;
  unsigned precision = f.precision < len ? len : f.precision;
  if (precision > maxLen) precision = maxLen;
  if (f.zeroPad && f.width > precision) precision = f.width;

  if (!f.leftAlign) w.Pad(precision, f.width);
  if (f.conversion == Conversion::kHex && f.hexPrefix && w.room() > 3) {
    w.Put('0');
    w.Put(f.upperHex ? 'X' : 'x');
  }
  unsigned sign = 0;
  if (number[0] == '-') {
    w.Put('-');
    sign = 1;
  }
  for (unsigned i = len; i < precision; ++i) w.Put('0');
  for (unsigned i = sign; i < len; ++i) w.Put(number[i]);
  if (f.leftAlign) w.Pad(precision, f.width);
}

}  // namespace

std::string FormatArgs(const char* format, const FormatArg* args, size_t count) {
  Writer w;
  size_t next = 0;
  const FormatArg missing(0);
  const char* p = format;
  while (*p != '\0' && w.room() > 1) {
    if (*p != '%') {
      w.Put(*p++);
      continue;
    }
    ++p;
    if (*p == '%') {
      w.Put(*p++);
      continue;
    }
    FieldSpec field = ParseField(p);
    if (field.conversion == Conversion::kUnknown) {
      WriteField(w, field, missing);
      continue;
    }
    const FormatArg& arg = next < count ? args[next] : missing;
    ++next;
    WriteField(w, field, arg);
  }
  return w.Text();
}

std::string FourCCText(uint32_t fourcc) {
  std::string text;
  for (int shift = 0; shift < 32; shift += 8) {
    const unsigned char c = static_cast<unsigned char>(fourcc >> shift);
    if (c < 0x20 || c > 0x7E) return Format("0x%08X", fourcc);
    text += static_cast<char>(c);
  }
  return text;
}

}  // namespace korvane
