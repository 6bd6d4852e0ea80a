// What a machine-description parser reports when it cannot read its input.
#pragma once

#include <string>

namespace korvane {

// The line (1-based; 0 when the fault is not on one line) and what is wrong there.
struct ParseError {
  int line = 0;
  std::string message;
};

// "FILE:LINE: message", or "FILE: message" without a line, as compilers write it.
std::string DescribeParseError(const std::string& file, const ParseError& error);

}  // namespace korvane
