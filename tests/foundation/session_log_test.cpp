#include "foundation/session_log.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <fstream>
#include <sstream>
#include <string>

#include "support/temp_dir.h"

namespace veskor {
namespace {

using test::ReadFileText;

class SessionLogTest : public testing::Test {
 protected:
  void TearDown() override { SessionLogClose(); }
  test::TempDir tmp_{"veskor_log"};
  const std::string& dir_ = tmp_.path();
};

TEST_F(SessionLogTest, WritingToAClosedLogDoesNothing) {
  SessionLogInit();
  SessionLog& log = LogStream();
  EXPECT_EQ(&LogWritePointer(LogWriteUnsigned(LogWriteFloat(LogWriteText(log, "x"), 1), 1), 1),
            &log);
  EXPECT_EQ(log.target, nullptr);
  EXPECT_EQ(log.file, nullptr);
}

TEST_F(SessionLogTest, WritersChainAndFormatTheirValues) {
  std::ostringstream out;
  SessionLogSetStream(&out);
  SessionLog& log = LogStream();
  for (float v : {1.5f, 1234567.0f, 123456.0f, 0.0001f, 0.00001f, -2.0f})
    EXPECT_EQ(&LogWriteText(LogWriteFloat(log, v), "|"), &log);
  LogWriteText(LogWriteUnsigned(LogWriteText(LogWriteUnsigned(log, 0), "|"), 4294967295u), "|");
  for (std::uint64_t v : {255ull, 0xDEADBEEFull, 0x7FFF12345678ull})
    LogWriteText(LogWritePointer(log, v), "|");
  LogWriteText(LogWriteText(log, nullptr), "\n");
  EXPECT_EQ(out.str(),
            "1.5|1.23457e+06|123456|0.0001|1e-05|-2|0|4294967295|"
            "0x000000FF|0xDEADBEEF|0x7FFF12345678|\n");
}

TEST_F(SessionLogTest, WritesReachTheFileAtOnceAndOpeningAgainClosesIt) {
  const std::string first = dir_ + "first.log";
  const std::string second = dir_ + "second.log";
  std::ofstream(second) << "old contents";
  EXPECT_EQ(SessionLogOpen(first.c_str()), 0);
  ASSERT_NE(LogStream().file, nullptr);
  EXPECT_EQ(LogStream().target, LogStream().file.get());
  LogWriteText(LogStream(), "one\n");
  EXPECT_EQ(ReadFileText(first), "one\n");  // flushed, the log still open
  SessionLogOpen(second.c_str());
  LogWriteText(LogStream(), "two");
  EXPECT_EQ(ReadFileText(first), "one\n");
  EXPECT_EQ(ReadFileText(second), "two");  // truncated
  SessionLogClose();
  EXPECT_EQ(LogStream().target, nullptr);
  EXPECT_EQ(LogStream().file, nullptr);
  LogWriteText(LogStream(), "after");
  EXPECT_EQ(ReadFileText(second), "two");
}

TEST_F(SessionLogTest, APathThatDoesNotOpenGivesItsReasonAndDropsEveryWrite) {
  const std::string file = tmp_.Write("plain", "");
  const struct {
    std::string path;
    int reason;
  } cases[] = {{"", ENOENT},
               {"/nonexistent-dir/x.log", ENOENT},
               {file + "/x.log", ENOTDIR},  // a regular file where a directory should be
               {dir_, EISDIR}};
  for (const auto& c : cases) {
    EXPECT_EQ(SessionLogOpen(c.path.c_str()), c.reason) << c.path;
    ASSERT_NE(LogStream().file, nullptr);
    EXPECT_EQ(&LogWriteFloat(LogWriteText(LogStream(), "lost"), 2.0f), &LogStream());
    EXPECT_TRUE(LogStream().target->fail());
  }
  EXPECT_EQ(ReadFileText(file), "");
  EXPECT_EQ(SessionLogOpen(nullptr), EINVAL);
  LogWriteText(LogStream(), "lost");
  SessionLogClose();
  EXPECT_EQ(LogStream().file, nullptr);
}

TEST_F(SessionLogTest, AForeignStreamIsNotOwned) {
  const std::string path = dir_ + "own.log";
  SessionLogOpen(path.c_str());
  std::ostringstream out;
  SessionLogSetStream(&out);  // closes the file first
  EXPECT_EQ(LogStream().file, nullptr);
  EXPECT_EQ(LogStream().target, &out);
  LogWriteText(LogStream(), "foreign");
  SessionLogClose();
  LogWriteText(LogStream(), "dropped");
  EXPECT_EQ(out.str(), "foreign");
  EXPECT_EQ(ReadFileText(path), "");
}

}  // namespace
}  // namespace veskor
