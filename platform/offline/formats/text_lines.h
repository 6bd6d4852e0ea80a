// Splitting and trimming the text files that describe a machine.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace korvane {

// Lines at "\n", each without its "\r\n" or "\n" end.
std::vector<std::string> SplitTextLines(const std::string& text);

// Without leading and trailing spaces and tabs.
std::string TrimBlanks(const std::string& text);

// A 32-bit number written in decimal or as 0x hexadecimal, nothing else around it.
std::optional<uint32_t> ParseUint32(const std::string& text);

// 8-bit text as an ANSI program sees it: UTF-16LE (with its byte-order mark) is narrowed,
// a UTF-8 byte-order mark is dropped, anything else is taken byte for byte.
std::string NarrowText(const std::string& bytes);

// One UTF-16LE code unit sequence narrowed to 8 bits: units above 0xFF become "?".
std::string NarrowUtf16(const uint8_t* data, size_t units);

}  // namespace korvane
