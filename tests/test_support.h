// Scratch files and process runs for the tests.
#pragma once

#include <string>
#include <vector>

namespace korvane::test {

// A fresh directory under the system's temporary folder, removed with its contents
// when the object goes.
class ScratchDir {
 public:
  ScratchDir();
  ~ScratchDir();
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;

  const std::string& path() const { return path_; }
  // Writes bytes to a file below the directory (creating folders) and returns its path.
  std::string Write(const std::string& relative, const std::string& bytes) const;

 private:
  std::string path_;
};

std::string ReadFile(const std::string& path);

struct RunResult {
  int exitCode = -1;
  std::string out;
  std::string err;
};
// Runs a command line through the shell, capturing standard output and error.
RunResult RunCommand(const std::string& commandLine);

// Quotes a word for the shell.
std::string ShellQuote(const std::string& word);

// Splits text into lines at "\n", dropping the final empty piece.
std::vector<std::string> SplitLines(const std::string& text);

}  // namespace korvane::test
