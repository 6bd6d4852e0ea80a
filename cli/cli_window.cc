// Command-line report windows.
#include "cli/cli_window.h"

namespace korvane {

std::string ErrorMessageOf(const std::string& promptText) {
  const std::string question = kMoreErrorsQuestion;
  if (promptText.size() >= question.size() &&
      promptText.compare(promptText.size() - question.size(), question.size(), question) == 0) {
    return promptText.substr(0, promptText.size() - question.size());
  }
  return promptText;
}

// One stream call a line rather than two: a dump writes tens of lines for every file.
void StreamWindow::AppendLine(const std::string& line) {
  pending_.assign(utf8From_ ? TextAsUtf8(line, *utf8From_) : line);
  pending_ += '\n';
  std::fwrite(pending_.data(), 1, pending_.size(), out_);
  ++count_;
}

int StreamWindow::AskUser(const std::string& text, const std::string&, unsigned) {
  std::fflush(out_);
  std::fprintf(stderr, "%s\n", ErrorMessageOf(text).c_str());
  ++errors_;
  return kIdYes;
}

int CollectingWindow::AskUser(const std::string& text, const std::string&, unsigned) {
  std::fprintf(stderr, "%s\n", ErrorMessageOf(text).c_str());
  ++errors;
  return kIdYes;
}

}  // namespace korvane
