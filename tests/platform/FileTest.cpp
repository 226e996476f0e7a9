#include "platform/File.h"
#include "platform/MessageBox.h"
#include "tests/support/RecordingMessageBox.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <fcntl.h>
#include <fstream>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

class TempDir : public ::testing::Test {
protected:
    void SetUp() override {
        m_dir = fs::temp_directory_path() /
                ("marlo-platform-" + std::to_string(::getpid()) + "-" +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(m_dir);
        fs::create_directories(m_dir);
    }
    void TearDown() override { fs::remove_all(m_dir); }
    fs::path m_dir;
};

using FileTest = TempDir;

TEST_F(FileTest, ExclusiveWriterRefusesExistingNameAndLocksOutOtherWriters) {
    const fs::path path = m_dir / "trc0000.log";
    int error = 0;
    platform::UniqueFd writer = platform::CreateExclusiveWriter(path, &error);
    ASSERT_TRUE(writer) << platform::ErrorText(error);
    EXPECT_TRUE(platform::NameIsTaken(path));

    platform::UniqueFd again = platform::CreateExclusiveWriter(path, &error);
    EXPECT_FALSE(again);
    EXPECT_EQ(error, EEXIST);

    // A second descriptor of this process behaves like another process: flock
    // locks belong to the open file description.
    platform::UniqueFd other(::open(path.c_str(), O_WRONLY));
    ASSERT_TRUE(other);
    EXPECT_NE(::flock(other.Get(), LOCK_EX | LOCK_NB), 0);
    EXPECT_EQ(errno, EWOULDBLOCK);
}

TEST_F(FileTest, MoveNeverReplacesAnExistingTarget) {
    const fs::path from = m_dir / "a.log";
    const fs::path to = m_dir / "b.log";
    std::ofstream(from) << "trace";
    std::ofstream(to) << "keep me";

    EXPECT_EQ(platform::MoveFileNoReplace(from, to), EEXIST);
    EXPECT_TRUE(fs::exists(from));
    std::ifstream kept(to);
    std::string text;
    std::getline(kept, text);
    EXPECT_EQ(text, "keep me");

    fs::remove(to);
    EXPECT_EQ(platform::MoveFileNoReplace(from, to), 0);
    EXPECT_FALSE(fs::exists(from));
    EXPECT_TRUE(fs::exists(to));
}

TEST_F(FileTest, ReadUpToStopsAtEndOfFile) {
    const fs::path path = m_dir / "short";
    std::ofstream(path) << "abc";
    platform::UniqueFd fd = platform::OpenForReading(path);
    ASSERT_TRUE(fd);
    std::uint8_t buffer[8] = {};
    EXPECT_EQ(platform::ReadUpTo(fd.Get(), buffer, sizeof buffer), 3u);
    EXPECT_EQ(platform::FileSize(fd.Get()), 3);
}

TEST(MessageBoxTest, RecordingHandlerRecordsAndAnswersFromItsScript) {
    testsupport::RecordingMessageBox box;
    box.ScriptAnswers({platform::MbResult::Yes});
    EXPECT_EQ(platform::MessageBox("first"), platform::MbResult::Ok);
    EXPECT_EQ(platform::MessageBox("keep?", {}, platform::MbButtons::YesNo), platform::MbResult::Yes);
    EXPECT_EQ(platform::MessageBox("again?", {}, platform::MbButtons::YesNo), platform::MbResult::No);
    EXPECT_EQ(box.Texts(), (std::vector<std::string>{"first", "keep?", "again?"}));
}

}  // namespace
