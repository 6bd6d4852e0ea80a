// A small JSON writer for --json output: the structure is built in order, every string
// escaped so that outside text (file names, registry data) can never break the document.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace korvane {

// A JSON string literal, quotes included. Bytes that are not valid UTF-8 (8-bit ANSI
// text) are taken as Latin-1 and written as \u00XX, so the result is always valid.
std::string JsonQuote(const std::string& bytes);

class JsonWriter {
 public:
  void BeginObject() { Open('{'); }
  void EndObject() { Close('}'); }
  void BeginArray() { Open('['); }
  void EndArray() { Close(']'); }
  // Inside an object: the name of the next member.
  void Key(const std::string& name);
  void String(const std::string& text) { Value(JsonQuote(text)); }
  void Bool(bool value) { Value(value ? "true" : "false"); }
  void Number(int64_t value) { Value(std::to_string(value)); }
  void Null() { Value("null"); }
  void StringArray(const std::vector<std::string>& items);

  // The document, with a final line feed once the outermost value is closed.
  const std::string& text() const { return text_; }

 private:
  void Open(char bracket);
  void Close(char bracket);
  void Value(const std::string& literal);
  void BeforeValue();
  void NewLine();

  std::string text_;
  std::vector<bool> hasItems_;  // per open bracket
  bool afterKey_ = false;
};

}  // namespace korvane
