// The reasons behind failing probe lines, for `korvane run --explain`.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "platform/registry_backed_system.h"
#include "platform/system.h"
#include "report/report.h"

namespace korvane {

// Passes every call on to another System and remembers the last file search that found
// nothing and the last library that did not load, with the reason.
class ExplainingSystem : public RegistryBackedSystem {
 public:
  using NotFoundReason = std::function<std::string(const std::string& pattern)>;
  ExplainingSystem(System& inner, NotFoundReason whyNotFound);

  // The reason behind a report line when it is the line of the last failure ("PATH Not
  // found", "PATH ... Failed to load"); the failure is then forgotten.
  std::optional<std::string> ReasonFor(const std::string& line);

  bool GetVersionExA(OsVersion* version) override { return inner_.GetVersionExA(version); }
  std::string GetWindowsDirectoryA() override { return inner_.GetWindowsDirectoryA(); }
  std::string GetSystemDirectoryA() override { return inner_.GetSystemDirectoryA(); }
  std::unique_ptr<FileSearch> FindFirstFileA(const std::string& pattern) override;
  std::FILE* OpenFileForReading(const std::string& windowsPath) override {
    return inner_.OpenFileForReading(windowsPath);
  }
  LibraryHandle LoadLibraryA(const std::string& path, std::string* whyNot) override;
  void FreeLibrary(LibraryHandle library) override { inner_.FreeLibrary(library); }
  uint32_t VideoForWindowsVersion() override { return inner_.VideoForWindowsVersion(); }
  uint32_t GetACP() override { return inner_.GetACP(); }
  bool capGetDriverDescriptionA(unsigned index, std::string* name, std::string* version) override {
    return inner_.capGetDriverDescriptionA(index, name, version);
  }

 protected:
  RegistryCalls& Registry() override { return inner_; }

 private:
  struct Failure {
    std::string path;
    std::string reason;
  };
  System& inner_;
  NotFoundReason whyNotFound_;
  std::optional<Failure> notFound_;
  std::optional<Failure> notLoaded_;
};

// Passes report lines on to another window and puts "    reason: ..." after each line
// that the system can explain.
class ExplainingWindow : public ReportWindow {
 public:
  ExplainingWindow(ReportWindow& inner, ExplainingSystem& system)
      : inner_(inner), system_(system) {}

  void AppendLine(const std::string& line) override;
  void ClearLines() override { inner_.ClearLines(); }
  int LineCount() const override { return inner_.LineCount(); }
  std::string Line(int index) const override { return inner_.Line(index); }
  void SetPathField(const std::string& text) override { inner_.SetPathField(text); }
  int AskUser(const std::string& text, const std::string& caption, unsigned flags) override {
    return inner_.AskUser(text, caption, flags);
  }
  void Repaint() override { inner_.Repaint(); }

 private:
  ReportWindow& inner_;
  ExplainingSystem& system_;
};

}  // namespace korvane
