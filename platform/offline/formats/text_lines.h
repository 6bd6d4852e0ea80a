// Splitting and trimming the text files that describe a machine.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/text_encoding.h"

namespace korvane {

// Lines at "\n", each without its "\r\n" or "\n" end.
std::vector<std::string> SplitTextLines(const std::string& text);

// A 32-bit number written in decimal or as 0x hexadecimal, nothing else around it.
std::optional<uint32_t> ParseUint32(const std::string& text);

// Text as an ANSI program sees it: UTF-16LE (with its byte-order mark) is narrowed to the
// machine's code page, a UTF-8 byte-order mark is dropped, anything else is taken byte for
// byte (it is in the code page already).
std::string NarrowText(const std::string& bytes, CodePage page = kDefaultAnsiCodePage);

}  // namespace korvane
