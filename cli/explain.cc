// Remembering why the last probe failed and showing it under its report line.
#include "cli/explain.h"

namespace korvane {
namespace {

bool EndsWith(const std::string& text, const std::string& end) {
  return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

}  // namespace

ExplainingSystem::ExplainingSystem(System& inner, NotFoundReason whyNotFound)
    : inner_(inner), whyNotFound_(std::move(whyNotFound)) {}

std::unique_ptr<FileSearch> ExplainingSystem::FindFirstFileA(const std::string& pattern) {
  std::unique_ptr<FileSearch> search = inner_.FindFirstFileA(pattern);
  notFound_.reset();
  if (!search) {
    std::string reason = whyNotFound_ ? whyNotFound_(pattern) : std::string();
    if (reason.empty()) reason = "no file or folder by that name";
    notFound_ = Failure{pattern, reason};
  }
  return search;
}

LibraryHandle ExplainingSystem::LoadLibraryA(const std::string& path, std::string* whyNot) {
  std::string reason;
  const LibraryHandle library = inner_.LoadLibraryA(path, &reason);
  notLoaded_.reset();
  if (library == 0) {
    if (reason.empty()) reason = "the system gave no reason";
    notLoaded_ = Failure{path, reason};
    if (whyNot != nullptr) *whyNot = reason;
  }
  return library;
}

std::optional<std::string> ExplainingSystem::ReasonFor(const std::string& line) {
  std::optional<std::string> reason;
  if (notFound_ && line == notFound_->path + " Not found") {
    reason = notFound_->reason;
    notFound_.reset();
  } else if (notLoaded_ &&
             line.compare(0, notLoaded_->path.size() + 1, notLoaded_->path + " ") == 0 &&
             EndsWith(line, " Failed to load")) {
    reason = notLoaded_->reason;
    notLoaded_.reset();
  }
  return reason;
}

void ExplainingWindow::AppendLine(const std::string& line) {
  inner_.AppendLine(line);
  if (const auto reason = system_.ReasonFor(line)) inner_.AppendLine("    reason: " + *reason);
}

}  // namespace korvane
