// JSON output with nlohmann/json. Outside text (file names, registry data) may be 8-bit
// ANSI rather than UTF-8, which JSON cannot carry, so it is made UTF-8 first.
#pragma once

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

namespace korvane {

// A JSON value whose object members keep the order in which they were set.
using Json = nlohmann::ordered_json;

// A JSON string, or array of strings, holding outside text: well-formed UTF-8 kept, every
// other byte the ANSI code page's character (TextAsUtf8).
Json JsonText(const std::string& bytes);
Json JsonTextList(const std::vector<std::string>& items);

// The document with two-space indentation and a final line feed.
std::string JsonDocument(const Json& document);

}  // namespace korvane
