// JSON output with nlohmann/json. Outside text (file names, registry data) is in the
// machine's ANSI code page rather than UTF-8, which JSON cannot carry, so it is made UTF-8
// first.
#pragma once

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "platform/text_encoding.h"

namespace korvane {

// A JSON value whose object members keep the order in which they were set.
using Json = nlohmann::ordered_json;

// A JSON string, or array of strings, holding outside text: text in the machine's ANSI
// code page made UTF-8, text that is UTF-8 already (a path on this host) kept (TextAsUtf8).
Json JsonText(const std::string& bytes, CodePage page = kDefaultAnsiCodePage);
Json JsonTextList(const std::vector<std::string>& items, CodePage page = kDefaultAnsiCodePage);

// The document with two-space indentation and a final line feed.
std::string JsonDocument(const Json& document);

}  // namespace korvane
