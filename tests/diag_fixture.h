// The machine and window every diagnostics test starts from, and the leak checks after it.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "diag/diag_steps.h"
#include "tests/fake_system.h"

namespace korvane::test {

class DiagTest : public ::testing::Test {
 protected:
  void SetUp() override { SetMainWindow(&window); }
  void TearDown() override {
    SetMainWindow(nullptr);
    // Every key, search and library is released on the path that acquired it.
    EXPECT_EQ(system.registry.OpenHandleCount(), 0u);
    EXPECT_EQ(system.openSearches, 0u);
    EXPECT_EQ(system.loadedLibraries, 0u);
  }
  const std::vector<std::string>& lines() const { return window.lines; }

  FakeSystem system;
  RecordingWindow window;
};

using Lines = std::vector<std::string>;

}  // namespace korvane::test
