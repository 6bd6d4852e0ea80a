// The report log: the lines every test writes, the saved report file, the error prompt.
#pragma once

#include <string>
#include <vector>

#include "platform/format.h"

namespace korvane {

// What the main window offers the logic: report list 104, path field 101, the message
// box and an immediate repaint. The GUI backs it with real controls; the command line
// and the tests with memory.
class ReportWindow {
 public:
  virtual ~ReportWindow() = default;
  virtual void AppendLine(const std::string& line) = 0;    // LB_ADDSTRING
  virtual void ClearLines() = 0;                           // LB_RESETCONTENT
  virtual int LineCount() const = 0;                       // LB_GETCOUNT
  virtual std::string Line(int index) const = 0;           // LB_GETTEXT
  virtual void SetPathField(const std::string& text) = 0;  // SetDlgItemTextA(101)
  // MessageBoxA owned by the window: the button pressed (kIdYes or another answer).
  virtual int AskUser(const std::string& text, const std::string& caption, unsigned flags) = 0;
  virtual void Repaint() = 0;  // UpdateWindow
};

constexpr int kIdYes = 6;
constexpr unsigned kErrorBoxFlags = 0x2034;  // MB_TASKMODAL | MB_ICONWARNING | MB_YESNO
extern const char kErrorCaption[];           // "Korvane error"
extern const char kMoreErrorsQuestion[];     // "\r\n\r\nReport more errors ?"

// A report list held in memory, for front ends and tests without a window system.
class ReportLines : public ReportWindow {
 public:
  void AppendLine(const std::string& line) override { lines.push_back(line); }
  void ClearLines() override { lines.clear(); }
  int LineCount() const override { return static_cast<int>(lines.size()); }
  std::string Line(int index) const override { return lines.at(static_cast<size_t>(index)); }
  void SetPathField(const std::string& text) override { pathField = text; }
  int AskUser(const std::string& text, const std::string& caption, unsigned flags) override {
    messages.push_back({text, caption, flags});
    return answer;
  }
  void Repaint() override { ++repaints; }

  struct Message {
    std::string text;
    std::string caption;
    unsigned flags;
  };
  std::vector<std::string> lines;
  std::string pathField;
  std::vector<Message> messages;
  int answer = kIdYes;  // what the next message box answers
  int repaints = 0;
};

// The window that AddReportLine and ShowError address (MainWindow). Front ends set it
// once before any test runs.
void SetMainWindow(ReportWindow* window);
ReportWindow* MainWindow();

// ReportMoreErrors: on at start, off once the user answers anything but Yes.
bool ReportMoreErrors();
void ResetReportMoreErrors();  // a fresh program start

// Formats one line and appends it to the main window's report list.
int AddReportLineText(const std::string& line);
template <typename... Args>
int AddReportLine(const char* format, const Args&... args) {
  return AddReportLineText(Format(format, args...));
}

int ClearReport(ReportWindow& window);

int ShowErrorText(const std::string& message);
template <typename... Args>
int ShowError(const char* format, const Args&... args) {
  return ShowErrorText(Format(format, args...));
}

enum class SaveResult {
  kSaved,
  kCannotCreate,  // "can't save %s" went through ShowError
  kIncomplete,    // a write or the close failed: the file is short
};

// Writes the first lineCount lines of the window's report list to path, each followed
// by CR LF. The GUI ignores the result; the command line reports kIncomplete.
SaveResult SaveReport(ReportWindow& window, const std::string& path, int lineCount);

}  // namespace korvane
