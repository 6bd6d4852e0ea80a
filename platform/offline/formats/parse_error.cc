// Where a machine-description parser stopped, in the words compilers use.
#include "platform/offline/formats/parse_error.h"

namespace korvane {

std::string DescribeParseError(const std::string& file, const ParseError& error) {
  if (error.line <= 0) return file + ": " + error.message;
  return file + ":" + std::to_string(error.line) + ": " + error.message;
}

}  // namespace korvane
