// Child processes under a time limit, and the quoting of a Windows command line.
#include "platform/subprocess.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace korvane {
namespace {

TEST(TryCommandLineTest, ArgumentsComeBackAsTheChildsRuntimeSplitsThem) {
  struct Case {
    std::string argument, quoted;
  };
  const Case cases[] = {
      {"plain", "plain"},
      {"C:\\dir\\a.avi", "C:\\dir\\a.avi"},
      {"", "\"\""},
      {"Z:\\my files\\a.avi", "\"Z:\\my files\\a.avi\""},
      {"Z:\\dir with space\\", "\"Z:\\dir with space\\\\\""},
      {"say \"hi\"", "\"say \\\"hi\\\"\""},
      {"a\\\"b c", "\"a\\\\\\\"b c\""},
      {"tab\there", "\"tab\there\""},
  };
  for (const Case& c : cases) EXPECT_EQ(WindowsCommandLineArgument(c.argument), c.quoted);
}

#ifndef _WIN32
TEST(SubprocessTest, RunsCatchOutputAndEnvironmentAndStopAProgramThatRunsTooLong) {
  using End = ChildResult::End;
  struct Case {
    const char* name;
    ChildProcess child;
    End end;
    uint32_t exitCode;
    std::string output;
  };
  const Case cases[] = {
      {"standard input is empty",
       {{"/bin/sh", "-c", "echo \"$KORVANE_X\"; read line; echo \"[$line]\""},
        {"KORVANE_X=given"},
        10000},
       End::kExited,
       0,
       "given\n[]\n"},
      {"an exit code",
       {{"/bin/sh", "-c", "echo partial; exit 3"}, {}, 10000},
       End::kExited,
       3,
       "partial\n"},
      {"a signal", {{"/bin/sh", "-c", "kill -TERM $$"}, {}, 10000}, End::kExited, 128 + 15, ""},
      // The grandchild keeps the pipe open; stopping the group ends it too.
      {"too long",
       {{"/bin/sh", "-c", "echo started; sleep 30 & sleep 30"}, {}, 500},
       End::kTimedOut,
       0,
       "started\n"},
      // A program that ends while something it started still holds the pipe is done.
      {"ended before what it started",
       {{"/bin/sh", "-c", "echo done; (sleep 3 &)"}, {}, 10000},
       End::kExited,
       0,
       "done\n"},
      {"standard error kept apart",
       {{"/bin/sh", "-c", "echo out; echo err >&2"}, {}, 10000, false},
       End::kExited,
       0,
       "out\n"},
  };
  for (const Case& c : cases) {
    const ChildResult result = RunChild(c.child);
    EXPECT_EQ(result.end, c.end) << c.name << ": " << result.error;
    EXPECT_EQ(result.exitCode, c.exitCode) << c.name;
    EXPECT_EQ(result.output, c.output) << c.name;
  }

  ChildProcess missing;
  missing.argv = {"/nonexistent/wine64"};
  missing.timeoutMs = 1000;
  const ChildResult result = RunChild(missing);
  EXPECT_EQ(result.end, ChildResult::End::kNotStarted);
  EXPECT_NE(result.error.find("can't start /nonexistent/wine64"), std::string::npos)
      << result.error;
}
#endif

}  // namespace
}  // namespace korvane
