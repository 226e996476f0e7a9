// Creating the trace log file of an adapter document: its name and header.

#include <gtest/gtest.h>

#include <cctype>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/MessageBox.h"
#include "tests/support/RecordingMessageBox.h"
#include "tests/support/TraceFiles.h"
#include "trace/LogFile.h"
#include "trace/TraceLog.h"

namespace {

using LogFileTest = testsupport::TempDirTest;

TEST_F(LogFileTest, FirstFileGetsTheBannerAndFixedTail) {
    trace::CTraceLog log;
    std::unique_ptr<trace::CLogFile> file;
    ASSERT_EQ(trace::CreateTraceLogFile(file, log, m_dir), 1);
    EXPECT_EQ(file->GetFilePath().filename(), "trc0000.log");
    EXPECT_EQ(log.GetLogPath(), file->GetFilePath().string());
    EXPECT_EQ(file->GetLength(), 52);

    const auto bytes = testsupport::ReadFile(file->GetFilePath());
    ASSERT_EQ(bytes.size(), 52u);
    const std::string banner(bytes.begin(), bytes.begin() + 46);
    EXPECT_EQ(banner.substr(0, 28), "Orin Intl Binary Trace File ");
    // dd/mm/yy hh:mm:ss and a line feed: every field two digits.
    for (std::size_t i : {28, 29, 31, 32, 34, 35, 37, 38, 40, 41, 43, 44})
        EXPECT_TRUE(std::isdigit(static_cast<unsigned char>(banner[i]))) << i;
    EXPECT_EQ(banner[30], '/');
    EXPECT_EQ(banner[36], ' ');
    EXPECT_EQ(banner[45], '\n');
    EXPECT_EQ((std::vector<std::uint8_t>(bytes.begin() + 46, bytes.end())),
              (std::vector<std::uint8_t>{0, 0, 0x00, 0x01, 0x03, 0x00}));

    // The creator keeps the writer's lock: no other writer gets it.
    const int other = ::open(file->GetFilePath().c_str(), O_WRONLY);
    ASSERT_GE(other, 0);
    EXPECT_NE(::flock(other, LOCK_EX | LOCK_NB), 0);
    ::close(other);
}

TEST_F(LogFileTest, TakesTheFirstFreeNumber) {
    testsupport::WriteFile(m_dir / "trc0000.log", {});
    testsupport::WriteFile(m_dir / "trc0001.log", {});
    testsupport::WriteFile(m_dir / "trc0003.log", {});
    trace::CTraceLog log;
    std::unique_ptr<trace::CLogFile> file;
    ASSERT_EQ(trace::CreateTraceLogFile(file, log, m_dir), 1);
    EXPECT_EQ(file->GetFilePath().filename(), "trc0002.log");
    EXPECT_EQ(std::filesystem::file_size(m_dir / "trc0000.log"), 0u);  // left alone
}

TEST_F(LogFileTest, NameHeldLockedByAnotherProcessCountsAsTaken) {
    int ready[2];
    int release[2];
    ASSERT_EQ(::pipe(ready), 0);
    ASSERT_EQ(::pipe(release), 0);
    const auto locked = m_dir / "trc0000.log";
    const pid_t child = ::fork();
    if (child == 0) {
        const int fd = ::open(locked.c_str(), O_WRONLY | O_CREAT, 0644);
        ::flock(fd, LOCK_EX);
        char c = 'x';
        (void)!::write(ready[1], &c, 1);
        (void)!::read(release[0], &c, 1);
        ::_exit(0);
    }
    char c;
    ASSERT_EQ(::read(ready[0], &c, 1), 1);

    trace::CTraceLog log;
    std::unique_ptr<trace::CLogFile> file;
    EXPECT_EQ(trace::CreateTraceLogFile(file, log, m_dir), 1);
    EXPECT_EQ(file->GetFilePath().filename(), "trc0001.log");

    (void)!::write(release[1], &c, 1);
    int status = 0;
    ::waitpid(child, &status, 0);
    for (int fd : {ready[0], ready[1], release[0], release[1]}) ::close(fd);
}

TEST_F(LogFileTest, UnwritableFolderReportsAndKeepsTheFileObject) {
    testsupport::RecordingMessageBox box;
    trace::CTraceLog log;
    std::unique_ptr<trace::CLogFile> file;
    EXPECT_EQ(trace::CreateTraceLogFile(file, log, m_dir / "no" / "such" / "folder"), 0);
    ASSERT_NE(file, nullptr);
    EXPECT_FALSE(file->IsOpen());
    EXPECT_EQ(log.GetLogPath(), "");
    EXPECT_EQ(box.Texts(), std::vector<std::string>{"Error opening trace log file"});
}

}  // namespace
