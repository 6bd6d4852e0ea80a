// The report log's window (report/report.h) backed by the real MainWindowHandle: list 104,
// field 101, the message box it owns, and an immediate repaint. Also the live machine
// that every command looks at.
#include <memory>
#include <vector>

#include "app/app.h"
#include "platform/win32/live_system.h"
#include "res/resource.h"

namespace korvane {
namespace {

constexpr int kLineBufferSize = 1024;  // the longest line and its terminating zero

class DialogReport : public ReportWindow {
 public:
  void AppendLine(const std::string& line) override {
    SendDlgItemMessageA(MainWindowHandle, IDC_REPORT, LB_ADDSTRING, 0,
                        reinterpret_cast<LPARAM>(line.c_str()));
  }
  void ClearLines() override {
    SendDlgItemMessageA(MainWindowHandle, IDC_REPORT, LB_RESETCONTENT, 0, 0);
  }
  int LineCount() const override {
    return static_cast<int>(SendDlgItemMessageA(MainWindowHandle, IDC_REPORT, LB_GETCOUNT, 0, 0));
  }
  std::string Line(int index) const override {
    // The formatter never makes a line longer than 1,023 characters; a longer one (not
    // ours) gets a buffer of its own size rather than overrunning the 1,024 bytes.
    const LRESULT length = SendDlgItemMessageA(MainWindowHandle, IDC_REPORT, LB_GETTEXTLEN,
                                               static_cast<WPARAM>(index), 0);
    if (length == LB_ERR) return std::string();
    std::vector<char> buffer(length < kLineBufferSize ? kLineBufferSize : length + 1, '\0');
    const LRESULT copied =
        SendDlgItemMessageA(MainWindowHandle, IDC_REPORT, LB_GETTEXT, static_cast<WPARAM>(index),
                            reinterpret_cast<LPARAM>(buffer.data()));
    if (copied == LB_ERR) return std::string();
    return std::string(buffer.data());
  }
  void SetPathField(const std::string& text) override {
    SetDlgItemTextA(MainWindowHandle, IDC_PATH, text.c_str());
  }
  int AskUser(const std::string& text, const std::string& caption, unsigned flags) override {
    return MessageBoxA(MainWindowHandle, text.c_str(), caption.c_str(), flags);
  }
  void Repaint() override { UpdateWindow(MainWindowHandle); }
};

}  // namespace

ReportWindow& MainWindowReport() {
  static DialogReport report;
  return report;
}

System& LiveSystem() {
  static std::unique_ptr<System> system = MakeLiveSystem();
  return *system;
}

}  // namespace korvane
