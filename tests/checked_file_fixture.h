// A machine with Cinepak and the MP3 ACM driver registered and present, and AVI files made
// here and checked against it: the ground for the tests of what a try changes.
#pragma once

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <vector>

#include "diag/file_check.h"
#include "tests/fake_system.h"
#include "tests/riff_builder.h"
#include "tests/test_support.h"

namespace korvane {
namespace test {

class CheckedFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    machine.SetSystemIni("[drivers32]\r\nvidc.cvid=iccvid.dll\r\nmsacm.l3acm=l3codeca.acm\r\n");
    machine.AddSystemLibrary("iccvid.dll");
    machine.AddSystemLibrary("l3codeca.acm");
  }
  FileCheck CheckFile(const std::string& name, std::initializer_list<std::string> streams) {
    return CheckAviFile(machine, ReadInstalledDrivers(machine), scratch.Write(name, Avi(streams)));
  }
  // Cinepak, MP3 and Motion JPEG, whose decoder the machine lacks, with the tries given.
  FileCheck Check(const std::vector<TryFinding>& tries) {
    FileCheck file =
        CheckFile("a.avi", {VideoStream("cvid"), AudioStream(0x0055), VideoStream("MJPG")});
    file.tries = tries;
    ApplyTries(&file);
    return file;
  }
  static TryFinding T(TryOutcome outcome, const std::string& text, uint32_t code = 0,
                      const std::string& module = "") {
    return TryFinding{outcome, text, code, module};
  }
  FakeSystem machine;
  ScratchDir scratch;
};

}  // namespace test
}  // namespace korvane
