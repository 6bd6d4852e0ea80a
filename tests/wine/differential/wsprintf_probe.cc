// Windows side of the formatter differential: runs every case of a case file through the
// real wvsprintfA and writes "name<TAB>result<TAB>escaped text" lines, result being the
// formatter's return value.
//
// Usage: wsprintf-probe.exe CASES RESULTS
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "tests/wine/differential/format_cases.h"

namespace {

using korvane::differential::CaseArg;
using korvane::differential::EscapeField;
using korvane::differential::FormatCase;
using korvane::differential::ReadCaseLine;

constexpr size_t kSlots = 24;
constexpr size_t kBufferSize = 4096;  // far beyond 1,024, to see a formatter overrun
constexpr unsigned char kUntouched = 0xA5;

// Every argument travels in one pointer-sized slot: on x86-64 a 32-bit conversion reads
// the low half of its slot and %s the whole slot, exactly as for a real call site. On i686
// the argument of a 64-bit conversion (%I64d) fills two slots, low half first, as there.
int CallFormatter(char* buffer, const char* format, ...) {
  va_list args;
  va_start(args, format);
  const int result = wvsprintfA(buffer, format, args);
  va_end(args);
  return result;
}

// For each conversion that takes an argument, in order, whether it reads 64 bits: the
// format read as wvsprintfA reads it (flags '-', '#', '0' once each and in this order,
// width, precision, then l, h, w, I64, I32 or I, then the type; an unknown type takes no
// argument).
std::vector<bool> SixtyFourBitArguments(const std::string& format) {
  std::vector<bool> wide;
  const char* f = format.c_str();
  while (*f != '\0') {
    if (*f++ != '%') continue;
    if (*f == '%') {
      ++f;
      continue;
    }
    for (char flag : {'-', '#', '0'}) {
      if (*f == flag) ++f;
    }
    while (*f >= '0' && *f <= '9') ++f;
    if (*f == '.') {
      ++f;
      while (*f >= '0' && *f <= '9') ++f;
    }
    bool i64 = false, pointerSized = false;
    if (*f == 'l' || *f == 'h' || *f == 'w') {
      ++f;
    } else if (*f == 'I') {
      if (f[1] == '6' && f[2] == '4') {
        i64 = true;
        f += 3;
      } else if (f[1] == '3' && f[2] == '2') {
        f += 3;
      } else {
        pointerSized = true;
        ++f;
      }
    }
    if (*f == '\0') break;
    const char type = *f++;
    if (std::strchr("cCsS", type) != nullptr) {
      wide.push_back(false);
    } else if (std::strchr("diuxXp", type) != nullptr) {
      wide.push_back(i64 && !pointerSized && type != 'p');
    }
  }
  return wide;
}

int Run(const FormatCase& c, char* buffer) {
  uintptr_t s[kSlots] = {};
  const std::vector<bool> wide = SixtyFourBitArguments(c.format);
  size_t slot = 0;
  for (size_t i = 0; i < c.args.size() && slot < kSlots; ++i) {
    const CaseArg& arg = c.args[i];
    if (arg.isText) {
      s[slot++] = reinterpret_cast<uintptr_t>(arg.text.c_str());
    } else if (sizeof(uintptr_t) == 4 && i < wide.size() && wide[i]) {
      const uint64_t number = static_cast<uint64_t>(arg.number);
      s[slot++] = static_cast<uintptr_t>(number);
      if (slot < kSlots) s[slot++] = static_cast<uintptr_t>(number >> 32);
    } else {
      s[slot++] = static_cast<uintptr_t>(arg.number);
    }
  }
  return CallFormatter(buffer, c.format.c_str(), s[0], s[1], s[2], s[3], s[4], s[5], s[6], s[7],
                       s[8], s[9], s[10], s[11], s[12], s[13], s[14], s[15], s[16], s[17], s[18],
                       s[19], s[20], s[21], s[22], s[23]);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: wsprintf-probe CASES RESULTS\n");
    return 2;
  }
  std::ifstream in(argv[1], std::ios::binary);
  std::FILE* out = std::fopen(argv[2], "wb");
  if (!in || out == nullptr) {
    std::fprintf(stderr, "wsprintf-probe: cannot open %s or %s\n", argv[1], argv[2]);
    return 2;
  }
  static char buffer[kBufferSize];
  std::string line;
  int lineNumber = 0;
  while (std::getline(in, line)) {
    ++lineNumber;
    FormatCase c;
    if (!ReadCaseLine(line, &c)) {
      std::fprintf(stderr, "wsprintf-probe: %s:%d: malformed case\n", argv[1], lineNumber);
      return 2;
    }
    std::memset(buffer, kUntouched, sizeof buffer);
    const int result = Run(c, buffer);
    // The text as a C string, and whether anything was written past the 1,024 bytes.
    const std::string text(buffer, strnlen(buffer, 1024));
    size_t written = kBufferSize;
    while (written > 0 && static_cast<unsigned char>(buffer[written - 1]) == kUntouched) {
      --written;
    }
    std::fprintf(out, "%s\t%d\t%s%s\n", EscapeField(c.name).c_str(), result,
                 EscapeField(text).c_str(), written > 1024 ? "\t(wrote past 1024 bytes)" : "");
  }
  return std::fclose(out) == 0 ? 0 : 1;
}
