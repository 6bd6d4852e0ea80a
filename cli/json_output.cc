// Outside text made valid UTF-8 for nlohmann/json, and the document as korvane prints it.
#include "cli/json_output.h"

#include "platform/text_encoding.h"

namespace korvane {

Json JsonText(const std::string& bytes, CodePage page) { return TextAsUtf8(bytes, page); }

Json JsonTextList(const std::vector<std::string>& items, CodePage page) {
  Json list = Json::array();
  for (const std::string& item : items) list.push_back(JsonText(item, page));
  return list;
}

std::string JsonDocument(const Json& document) { return document.dump(2) + "\n"; }

}  // namespace korvane
