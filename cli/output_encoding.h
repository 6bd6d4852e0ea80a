// What standard output is read in: the machine's code page as the report holds it, or
// UTF-8 for a terminal whose locale says so.
#pragma once

#include <optional>
#include <string>

#include "platform/text_encoding.h"

namespace korvane {

// The code page to convert report text from, for a standard output read in UTF-8: on
// Linux, when the locale's character set (LC_ALL, LC_CTYPE, LANG) is UTF-8; nullopt where
// the bytes go out as they are (any other locale, and the Windows CLI, which writes the
// ANSI code page like every ANSI program).
std::optional<CodePage> StandardOutputUtf8From(CodePage machinePage);

// Each line of text as UTF-8 (TextAsUtf8: a line already UTF-8, such as a path on this
// host, is kept), or the text as it is when from is nullopt.
std::string ForStandardOutput(const std::string& text, std::optional<CodePage> from);

}  // namespace korvane
