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

#include "tests/wine/differential/format_cases.h"

namespace {

using korvane::differential::CaseArg;
using korvane::differential::EscapeField;
using korvane::differential::FormatCase;
using korvane::differential::ReadCaseLine;

constexpr int kSlots = 16;
constexpr size_t kBufferSize = 4096;  // far beyond 1,024, to see a formatter overrun
constexpr unsigned char kUntouched = 0xA5;

// Every argument travels in one pointer-sized slot: on x86-64 a 32-bit conversion reads
// the low half of its slot and %s the whole slot, exactly as for a real call site.
int CallFormatter(char* buffer, const char* format, ...) {
  va_list args;
  va_start(args, format);
  const int result = wvsprintfA(buffer, format, args);
  va_end(args);
  return result;
}

int Run(const FormatCase& c, char* buffer) {
  uintptr_t s[kSlots] = {};
  for (size_t i = 0; i < c.args.size() && i < kSlots; ++i) {
    const CaseArg& arg = c.args[i];
    s[i] = arg.isText ? reinterpret_cast<uintptr_t>(arg.text.c_str())
                      : static_cast<uintptr_t>(arg.number);
  }
  return CallFormatter(buffer, c.format.c_str(), s[0], s[1], s[2], s[3], s[4], s[5], s[6], s[7],
                       s[8], s[9], s[10], s[11], s[12], s[13], s[14], s[15]);
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
