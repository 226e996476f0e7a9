// trctool's card commands when the card fails at the very end: the close is
// not answered, refused, or never completed by the driver. The command's own
// output is complete, yet the exit status must say that the card failed.
// Run in-process with short waits (the library's and the document's), so
// each fault costs a fraction of a second instead of ten.

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "linekit/WaitLimit.h"
#include "tests/adapter/EmulatedCard.h"
#include "tools/Commands.h"

namespace {

// The library's waits and each card command's document's, short.
constexpr std::chrono::milliseconds kShortWait{100};

struct Captured {
    int status = -1;
    std::string out;
    std::string err;
};

std::string Slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// Runs `trctool args...` in this process with standard output and standard
// error sent to files for the time of the call.
Captured RunTrctool(std::vector<std::string> args) {
    const std::string base = ::testing::TempDir() + "/marlotrc_close_faults_" + std::to_string(::getpid());
    std::fflush(stdout);
    std::fflush(stderr);
    const int savedOut = ::dup(STDOUT_FILENO);
    const int savedErr = ::dup(STDERR_FILENO);
    EXPECT_TRUE(std::freopen((base + ".out").c_str(), "w", stdout));
    EXPECT_TRUE(std::freopen((base + ".err").c_str(), "w", stderr));
    args.insert(args.begin(), "trctool");
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    Captured result;
    result.status = tools::RunTrctool(static_cast<int>(args.size()), argv.data(), {.responseTimeout = kShortWait});
    std::fflush(stdout);
    std::fflush(stderr);
    ::dup2(savedOut, STDOUT_FILENO);
    ::dup2(savedErr, STDERR_FILENO);
    ::close(savedOut);
    ::close(savedErr);
    result.out = Slurp(base + ".out");
    result.err = Slurp(base + ".err");
    std::remove((base + ".out").c_str());
    std::remove((base + ".err").c_str());
    return result;
}

class CloseFaults : public ::testing::Test {
protected:
    void TearDown() override { testsupport::RemoveEmulatedCard(); }

    const linekit::WaitLimit m_shortWaits{kShortWait};
};

TEST_F(CloseFaults, EveryCardCommandExitsOneWhenTheCloseFails) {
    struct Fault {
        const char* card;
        const char* message;  // what standard error says about it
    };
    const Fault faults[] = {
        {"unanswered=gsmclose", "The driver is not responding."},
        {"refuse=gsmclose:5", "the adapter did not close cleanly"},
        {"stall=3", "The command 3 timed out"},
        {"stall=6", "The command 6 timed out"},
    };
    const std::vector<std::vector<std::string>> commands = {{"status"}, {"stats"}, {"diag"}, {"info"}};
    for (const auto& command : commands) {
        SCOPED_TRACE(command[0]);
        testsupport::UseEmulatedCard("");
        const Captured clean = RunTrctool(command);
        EXPECT_EQ(clean.status, 0) << clean.err;
        EXPECT_EQ(clean.err, "");
        for (const Fault& fault : faults) {
            SCOPED_TRACE(fault.card);
            testsupport::UseEmulatedCard(fault.card);
            const Captured r = RunTrctool(command);
            EXPECT_EQ(r.status, 1) << r.err;
            EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), std::count(clean.out.begin(), clean.out.end(), '\n'))
                << "the command's own output is complete:\n" << r.out;
            EXPECT_NE(r.err.find(fault.message), std::string::npos) << r.err;
        }
    }
}

}  // namespace
