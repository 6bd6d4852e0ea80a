// Scratch files and process runs for the tests.
#include "tests/test_support.h"

#include <sys/wait.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

namespace fs = std::filesystem;

namespace korvane::test {

ScratchDir::ScratchDir() {
  std::random_device random;
  const fs::path base = fs::temp_directory_path();
  for (;;) {
    fs::path candidate = base / ("korvane-test-" + std::to_string(random()));
    if (fs::create_directory(candidate)) {
      path_ = candidate.string();
      return;
    }
  }
}

ScratchDir::~ScratchDir() {
  std::error_code ignored;
  fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ignored);
  fs::remove_all(path_, ignored);
}

std::string ScratchDir::Write(const std::string& relative, const std::string& bytes) const {
  const fs::path file = fs::path(path_) / relative;
  fs::create_directories(file.parent_path());
  std::ofstream out(file, std::ios::binary);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return file.string();
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

RunResult RunCommand(const std::string& commandLine) {
  ScratchDir scratch;
  const std::string outPath = scratch.path() + "/out";
  const std::string errPath = scratch.path() + "/err";
  const std::string full =
      commandLine + " >" + ShellQuote(outPath) + " 2>" + ShellQuote(errPath) + " </dev/null";
  const int status = std::system(full.c_str());
  RunResult result;
  result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  result.out = ReadFile(outPath);
  result.err = ReadFile(errPath);
  return result;
}

std::string ShellQuote(const std::string& word) {
  std::string quoted = "'";
  for (char c : word) {
    if (c == '\'') {
      quoted += "'\\''";
    } else {
      quoted += c;
    }
  }
  return quoted + "'";
}

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    lines.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return lines;
}

std::vector<uint8_t> GuidBytes(const std::string& text) {
  std::string hex;
  for (char c : text) {
    if (std::isxdigit(static_cast<unsigned char>(c))) hex += c;
  }
  auto byte = [&](size_t at) {
    return static_cast<uint8_t>(std::stoul(hex.substr(at, 2), nullptr, 16));
  };
  std::vector<uint8_t> bytes;
  for (size_t at : {6, 4, 2, 0, 10, 8, 14, 12}) bytes.push_back(byte(at));
  for (size_t at = 16; at < 32; at += 2) bytes.push_back(byte(at));
  return bytes;
}

std::string RegHex(const std::vector<uint8_t>& bytes) {
  std::string hex;
  for (uint8_t b : bytes) {
    char two[4];
    std::snprintf(two, sizeof two, "%s%02x", hex.empty() ? "" : ",", b);
    hex += two;
  }
  return hex;
}

std::string Cli() { return ShellQuote(KORVANE_CLI); }

RunResult RunCli(const std::string& args, const CliStart& start) {
  // The C locale, whose output is the report's bytes, unless the test names another: the
  // outputs compared byte for byte must not depend on the locale the suite runs in.
  std::string command = "LC_ALL=C ";
  if (start.timeoutSeconds > 0) command += "timeout " + std::to_string(start.timeoutSeconds) + " ";
  if (start.withoutWinePrefix) command += "env -u WINEPREFIX ";
  if (!start.environment.empty()) command += start.environment + " ";
  return RunCommand(command + Cli() + " " + args);
}

void ExpectUsageErrors(const std::vector<UsageError>& cases) {
  for (const UsageError& c : cases) {
    const ::testing::ScopedTrace at(c.file, c.line, "korvane " + c.args);
    const RunResult r = RunCli(c.args);
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_EQ(r.err, c.error + "\n");
    EXPECT_EQ(r.out, "");
  }
}

SampleFolder::SampleFolder(const std::string& script) {
  const RunResult made =
      RunCommand(std::string(KORVANE_SOURCE_DIR) + "/" + script + " " + ShellQuote(dir_.path()));
  made_ = made.exitCode == 0;
  error_ = made.err;
}

void SampleFolder::RequireMade() const {
  if (!made_ && std::getenv("CI") == nullptr) GTEST_SKIP() << "ffmpeg failed: " << error_;
  ASSERT_TRUE(made_) << error_;
}

}  // namespace korvane::test
