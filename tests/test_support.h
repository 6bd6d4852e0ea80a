// Scratch files, process runs, korvane's command line and sample files for the tests.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
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

// ---- registry data ----------------------------------------------------------------------

// The sixteen bytes of a GUID, braced or bare, as the registry's binary values hold it: the
// first three fields little-endian, the last eight bytes in order.
std::vector<uint8_t> GuidBytes(const std::string& text);

// Bytes as regedit writes binary data after "hex:": "xx,xx,...".
std::string RegHex(const std::vector<uint8_t>& bytes);

// ---- korvane's command line -----------------------------------------------------------

// The korvane program under test, as one word for the shell.
std::string Cli();

// How a test starts korvane, besides its arguments.
struct CliStart {
  std::string environment;         // "NAME=value ..." set for it (LC_ALL=C unless given)
  bool withoutWinePrefix = false;  // WINEPREFIX unset, so that no prefix is found by default
  int timeoutSeconds = 0;          // above 0: a hang is ended then and fails the test
};

// Runs korvane with the arguments (words already quoted for the shell).
RunResult RunCli(const std::string& args, const CliStart& start = {});

// One case of a table of usage errors: korvane's arguments, the one line it must say on
// standard error, and where the case is written, which a failure names.
struct UsageError {
  const char* file;
  int line;
  std::string args;
  std::string error;
};
#define KORVANE_USAGE_ERROR(args, error) \
  ::korvane::test::UsageError { __FILE__, __LINE__, args, error }

// Each case must exit with status 2, write nothing on standard output and say exactly its
// error line on standard error.
void ExpectUsageErrors(const std::vector<UsageError>& cases);

// ---- sample AVI files made by a script ----------------------------------------------------

// AVI files that a script of the repository makes with ffmpeg (scripts/make-*-avis.sh),
// made into a folder of their own.
class SampleFolder {
 public:
  // script: its path below the repository; it is given the folder to fill.
  explicit SampleFolder(const std::string& script);

  // Skips the running test when the files could not be made (no working ffmpeg), or
  // fails it in CI ($CI set), where ffmpeg must be there.
  void RequireMade() const;
  const std::string& path() const { return dir_.path(); }
  std::string Path(const std::string& name) const { return dir_.path() + "/" + name + ".avi"; }

 private:
  ScratchDir dir_;
  bool made_ = false;
  std::string error_;
};

// A suite over the files that kScript makes, made once for the whole suite.
template <const char* kScript>
class SampleFilesTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { samples_ = new SampleFolder(kScript); }
  static void TearDownTestSuite() {
    delete samples_;
    samples_ = nullptr;
  }
  void SetUp() override { samples_->RequireMade(); }

  static std::string Path(const std::string& name) { return samples_->Path(name); }

  static SampleFolder* samples_;
};
template <const char* kScript>
SampleFolder* SampleFilesTest<kScript>::samples_ = nullptr;

}  // namespace korvane::test
