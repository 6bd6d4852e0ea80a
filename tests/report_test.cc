// The report log: line order and bound, the saved file's bytes, the error prompt.
#include "report/report.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include "tests/test_support.h"

namespace korvane {
namespace {

class ReportTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetReportMoreErrors();
    SetMainWindow(&window);
  }
  void TearDown() override { SetMainWindow(nullptr); }

  ReportLines window;
  test::ScratchDir scratch;
};

TEST_F(ReportTest, LinesAreAppendedInCallOrderAndCleared) {
  AddReportLine("first %d", 1);
  AddReportLine("%s", "");
  AddReportLine("third");
  EXPECT_EQ(window.lines, (std::vector<std::string>{"first 1", "", "third"}));
  ClearReport(window);
  EXPECT_EQ(window.LineCount(), 0);
}

TEST_F(ReportTest, LongLineIsCutTo1023Characters) {
  AddReportLine("%s", std::string(2000, 'z'));
  ASSERT_EQ(window.LineCount(), 1);
  EXPECT_EQ(window.Line(0), std::string(1023, 'z'));
}

TEST_F(ReportTest, SavedFileHasCrLfAfterEveryLineAndNothingElse) {
  AddReportLine("one");
  AddReportLine("%s", "");
  AddReportLine("three");
  const std::string path = scratch.path() + "/report.txt";
  EXPECT_EQ(SaveReport(window, path, window.LineCount()), SaveResult::kSaved);
  EXPECT_EQ(test::ReadFile(path), "one\r\n\r\nthree\r\n");
}

TEST_F(ReportTest, SavedLineKeepsItsBytesAndIsNotTranslated) {
  AddReportLine("%s", std::string("a\nb\xE9\x80"));
  const std::string path = scratch.path() + "/bytes.txt";
  SaveReport(window, path, 1);
  EXPECT_EQ(test::ReadFile(path), "a\nb\xE9\x80\r\n");
}

TEST_F(ReportTest, SavingOverAnExistingFileReplacesItAll) {
  const std::string path = scratch.Write("old.txt", std::string(5000, 'o'));
  AddReportLine("new");
  SaveReport(window, path, window.LineCount());
  EXPECT_EQ(test::ReadFile(path), "new\r\n");
}

TEST_F(ReportTest, SavesOnlyTheLinesCountedBeforeTheDialog) {
  AddReportLine("a");
  AddReportLine("b");
  const std::string path = scratch.path() + "/two.txt";
  SaveReport(window, path, 1);
  EXPECT_EQ(test::ReadFile(path), "a\r\n");
}

TEST_F(ReportTest, ReportThatCannotBeCreatedPromptsAndLeavesTheListAlone) {
  AddReportLine("kept");
  const std::string path = scratch.path() + "/missing-folder/r.txt";
  EXPECT_EQ(SaveReport(window, path, 1), SaveResult::kCannotCreate);
  ASSERT_EQ(window.messages.size(), 1u);
  EXPECT_EQ(window.messages[0].text, "can't save " + path + "\r\n\r\nReport more errors ?");
  EXPECT_EQ(window.messages[0].caption, "Korvane error");
  EXPECT_EQ(window.messages[0].flags, 0x2034u);
  EXPECT_EQ(window.lines, std::vector<std::string>{"kept"});
}

TEST_F(ReportTest, AnsweringNoSilencesEveryLaterError) {
  window.answer = 7;  // IDNO
  ShowError("can't open %s", "a.avi");
  EXPECT_FALSE(ReportMoreErrors());
  window.answer = kIdYes;
  ShowError("can't open %s", "b.avi");
  ShowError("can't save %s", "c.txt");
  EXPECT_EQ(window.messages.size(), 1u);
  EXPECT_TRUE(window.lines.empty());  // errors never reach the report list
}

TEST_F(ReportTest, AFailedBoxCountsAsNo) {
  window.answer = 0;
  ShowError("x");
  EXPECT_FALSE(ReportMoreErrors());
}

TEST_F(ReportTest, AnsweringYesKeepsPrompting) {
  ShowError("can't open %s", "a.avi");
  ShowError("can't open %s", "b.avi");
  EXPECT_EQ(window.messages.size(), 2u);
  EXPECT_TRUE(ReportMoreErrors());
}

TEST_F(ReportTest, ErrorTextIsBoundedLikeALine) {
  ShowError("%s", std::string(3000, 'e'));
  ASSERT_EQ(window.messages.size(), 1u);
  EXPECT_EQ(window.messages[0].text, std::string(1023, 'e') + "\r\n\r\nReport more errors ?");
}

TEST_F(ReportTest, AFullDiskIsToldToTheCaller) {
  if (access("/dev/full", W_OK) != 0) GTEST_SKIP() << "no /dev/full";
  AddReportLine("%s", std::string(1000, 'x'));
  for (int i = 0; i < 100; ++i) AddReportLine("%s", std::string(1000, 'y'));
  EXPECT_EQ(SaveReport(window, "/dev/full", window.LineCount()), SaveResult::kIncomplete);
}

}  // namespace
}  // namespace korvane
