// Report windows for the command line: lines to a stream as they come, or to memory.
#pragma once

#include <cstdio>
#include <optional>
#include <string>

#include "platform/text_encoding.h"
#include "report/report.h"

namespace korvane {

// Writes each report line to a stream followed by "\n" as soon as it is added (made UTF-8
// from the code page utf8From when given); error prompts go to standard error as their
// first line ("can't open FILE") and are always answered Yes, so that every failure is told.
class StreamWindow : public ReportWindow {
 public:
  explicit StreamWindow(std::FILE* out, std::optional<CodePage> utf8From = std::nullopt)
      : out_(out), utf8From_(utf8From) {}
  void AppendLine(const std::string& line) override;
  void ClearLines() override { count_ = 0; }
  int LineCount() const override { return count_; }
  std::string Line(int) const override { return std::string(); }  // not kept
  void SetPathField(const std::string&) override {}
  int AskUser(const std::string& text, const std::string& caption, unsigned flags) override;
  void Repaint() override {}

  int errors() const { return errors_; }
  bool writeFailed() const { return std::ferror(out_) != 0; }

 private:
  std::FILE* out_;
  std::optional<CodePage> utf8From_;
  std::string pending_;  // the line and its "\n", kept to reuse its memory
  int count_ = 0;
  int errors_ = 0;
};

// ReportLines that tells its error prompts on standard error, for reports saved with -o.
class CollectingWindow : public ReportLines {
 public:
  int AskUser(const std::string& text, const std::string& caption, unsigned flags) override;
  int errors = 0;
};

// The message of an error prompt without the "Report more errors ?" question.
std::string ErrorMessageOf(const std::string& promptText);

}  // namespace korvane
