// Report text for standard output, line by line.
#include "cli/output_encoding.h"

namespace korvane {

std::string ForStandardOutput(const std::string& text, std::optional<CodePage> from) {
  if (!from) return text;
  std::string out;
  out.reserve(text.size());
  for (size_t start = 0; start < text.size();) {
    size_t end = text.find('\n', start);
    end = end == std::string::npos ? text.size() : end + 1;
    out += TextAsUtf8(std::string_view(text).substr(start, end - start), *from);
    start = end;
  }
  return out;
}

}  // namespace korvane
