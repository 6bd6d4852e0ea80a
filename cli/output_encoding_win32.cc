// The Windows CLI writes the ANSI code page's bytes, as every ANSI program does.
#include "cli/output_encoding.h"

namespace korvane {

std::optional<CodePage> StandardOutputUtf8From(CodePage) { return std::nullopt; }

}  // namespace korvane
