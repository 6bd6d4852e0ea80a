// Cases of the formatter differential, as a text file that both the Windows probe and the
// native comparer read: one case a line, "name<TAB>format<TAB>argument...", each field
// escaped so that any byte travels.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace korvane::differential {

struct CaseArg {
  bool isText = false;
  int64_t number = 0;  // passed as a 32-bit int unless the conversion is I64
  std::string text;
};

struct FormatCase {
  std::string name;
  std::string format;
  std::vector<CaseArg> args;
};

// Backslash, tab, line feed, carriage return and every byte outside 0x20..0x7E become
// "\\", "\t", "\n", "\r" and "\xNN"; everything else stays as it is.
std::string EscapeField(const std::string& bytes);
// The inverse; false for a malformed escape.
bool UnescapeField(const std::string& field, std::string* bytes);

// Number arguments are written "n:DECIMAL", texts "s:ESCAPED".
std::string WriteCaseLine(const FormatCase& c);
bool ReadCaseLine(const std::string& line, FormatCase* c);

// Splits at tabs; the probe's result lines use the same separator.
std::vector<std::string> SplitFields(const std::string& line);

}  // namespace korvane::differential
