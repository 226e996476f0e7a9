// trctool capture against the emulated card, as a script or a technician
// runs it: what is printed, what is kept, and what is said when something
// goes wrong on the way (full disk, unwritable folder, signals, closed
// output, a card that disappears, a process killed mid-trace).

#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <algorithm>
#include <fstream>
#include <regex>
#include <set>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "tests/support/RunProgram.h"
#include "tests/support/TraceFiles.h"
#include "tests/support/WaitUntil.h"

namespace {

namespace fs = std::filesystem;
using testsupport::Lines;
using testsupport::ProgramResult;
using testsupport::RunProgram;
using testsupport::ShellQuote;

const std::string kTrctool = TRCTOOL_PATH;

std::string ReadText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

using testsupport::WaitUntil;

// The sequence number cell of each dumped or printed line.
std::vector<long> Sequences(const std::vector<std::string>& lines) {
    std::vector<long> numbers;
    for (const auto& line : lines) numbers.push_back(std::stol(line.substr(0, line.find('\t'))));
    return numbers;
}

// A trctool capture running in the background, its output going to files.
class Background {
public:
    // With pipeOut, standard output is a pipe the test reads (ReadSome,
    // ReadToEnd) instead of a file: while nobody reads it, the capture is
    // held up in its writes, as behind a slow terminal.
    Background(const fs::path& dir, const std::vector<std::string>& args, const std::string& card,
               bool pipeOut = false, const std::vector<std::string>& extraEnv = {})
        : m_out(dir / "bg-out.txt"), m_err(dir / "bg-err.txt") {
        int pipeEnds[2] = {-1, -1};
        if (pipeOut && ::pipe(pipeEnds) != 0) return;
        std::vector<std::string> argv{kTrctool};
        argv.insert(argv.end(), args.begin(), args.end());
        std::vector<char*> cargs;
        for (auto& a : argv) cargs.push_back(a.data());
        cargs.push_back(nullptr);
        std::vector<std::string> env;
        for (char** e = environ; *e; ++e)
            if (!std::string_view(*e).starts_with("ORINTPX_EMULATOR=")) env.emplace_back(*e);
        env.push_back("ORINTPX_EMULATOR=" + card);
        env.insert(env.end(), extraEnv.begin(), extraEnv.end());
        std::vector<char*> cenv;
        for (auto& e : env) cenv.push_back(e.data());
        cenv.push_back(nullptr);
        // An earlier run's output must not be taken for this one's.
        fs::remove(m_out);
        fs::remove(m_err);
        m_pid = ::fork();
        if (m_pid == 0) {
            // Only async-signal-safe calls between fork and exec.
            if (::chdir(dir.c_str()) != 0) ::_exit(127);
            const int out = pipeOut ? pipeEnds[1] : ::open(m_out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            const int err = ::open(m_err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            const int in = ::open("/dev/null", O_RDONLY);
            if (out < 0 || err < 0 || in < 0) ::_exit(127);
            ::dup2(in, 0);
            ::dup2(out, 1);
            ::dup2(err, 2);
            if (pipeOut) ::close(pipeEnds[0]);
            ::execve(cargs[0], cargs.data(), cenv.data());
            ::_exit(127);
        }
        if (pipeOut) {
            ::close(pipeEnds[1]);
            m_pipe = pipeEnds[0];
        }
    }
    ~Background() {
        if (m_pipe >= 0) ::close(m_pipe);
        if (m_pid > 0) {
            ::kill(m_pid, SIGKILL);
            ::waitpid(m_pid, nullptr, 0);
        }
    }
    // Standard output through the pipe: one read's worth (empty at its end),
    // or everything up to its end.
    std::string ReadSome() {
        char buffer[65536];
        const ssize_t n = ::read(m_pipe, buffer, sizeof buffer);
        if (n > 0) m_piped.append(buffer, static_cast<std::size_t>(n));
        return n > 0 ? std::string(buffer, static_cast<std::size_t>(n)) : std::string();
    }
    const std::string& ReadToEnd() {
        while (!ReadSome().empty()) {
        }
        return m_piped;
    }
    void Send(int signal) const { ::kill(m_pid, signal); }
    // Waits for the end: the exit status, or 128 + the signal that killed it.
    int Wait() {
        if (m_pid > 0) ::waitpid(m_pid, &m_status, 0);
        m_pid = -1;
        return WIFEXITED(m_status) ? WEXITSTATUS(m_status) : 128 + WTERMSIG(m_status);
    }
    // Whether it has ended, without waiting for it (Wait then gives its status).
    bool Ended() {
        if (m_pid > 0 && ::waitpid(m_pid, &m_status, WNOHANG) == m_pid) m_pid = -1;
        return m_pid <= 0;
    }
    std::size_t LinesPrinted() const { return Lines(ReadText(m_out)).size(); }
    // Sends the signal and waits for the end: the exit status, or 128 + the
    // signal that killed it.
    int Signal(int signal) {
        Send(signal);
        return Wait();
    }
    std::string Out() const { return ReadText(m_out); }
    std::string Err() const { return ReadText(m_err); }

private:
    fs::path m_out;
    fs::path m_err;
    pid_t m_pid = -1;
    int m_status = 0;
    int m_pipe = -1;
    std::string m_piped;
};

class CaptureCommandTest : public testsupport::TempDirTest {
protected:
    // Runs trctool in the test's folder, where the trace log files are made.
    ProgramResult Capture(const std::vector<std::string>& args, const std::string& card = "rate=0") {
        return RunProgram(kTrctool, args,
                          "cd " + ShellQuote(m_dir.string()) + " && ORINTPX_EMULATOR=" + ShellQuote(card) + " ");
    }
    // Runs a shell script in the test's folder; $T is trctool.
    ProgramResult Script(const std::string& script, const std::string& card = "rate=0") {
        return RunProgram("/bin/sh", {"-c", "cd " + ShellQuote(m_dir.string()) + " && T=" + ShellQuote(kTrctool) +
                                                " && export ORINTPX_EMULATOR=" + ShellQuote(card) + " && " + script});
    }
    std::vector<std::string> TraceLogFiles() const {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(m_dir))
            if (e.path().filename().string().starts_with("trc")) names.push_back(e.path().filename().string());
        return names;
    }
    static ProgramResult Dump(const fs::path& file) { return RunProgram(kTrctool, {"dump", file.string()}); }
};

TEST_F(CaptureCommandTest, WhatIsPrintedIsWhatIsKept) {
    struct Case {
        std::vector<std::string> stop;
        std::size_t expected;  // 0: whatever the time allowed
    };
    for (const Case& c : {Case{{"--count", "25"}, 25}, Case{{"--count", "1000"}, 1000},
                          Case{{"--seconds", "0.3"}, 0}}) {
        SCOPED_TRACE(c.stop[0] + " " + c.stop[1]);
        const fs::path kept = m_dir / "trace.log";
        fs::remove(kept);
        std::vector<std::string> args{"capture", "-w", kept.string()};
        args.insert(args.end(), c.stop.begin(), c.stop.end());
        const auto captured = Capture(args);
        ASSERT_EQ(captured.status, 0) << captured.err;
        const auto printed = Lines(captured.out);
        if (c.expected) {
            EXPECT_EQ(printed.size(), c.expected);
        }
        EXPECT_GT(printed.size(), 10u);
        EXPECT_TRUE(TraceLogFiles().empty());  // moved to trace.log

        const auto dumped = Dump(kept);
        ASSERT_EQ(dumped.status, 0) << dumped.err;
        EXPECT_EQ(Lines(dumped.out), printed) << "the file holds exactly the records printed";
        EXPECT_EQ(Sequences(printed).front(), 1) << "the first record after the library loads";
        EXPECT_NE(captured.err.find("tracing to " + (m_dir / "trc0000.log").string()), std::string::npos)
            << captured.err;
        EXPECT_NE(captured.err.find(std::to_string(printed.size()) + " records in "), std::string::npos)
            << captured.err;
    }
}

// -Y prints what the filter lets through, exactly what dump -Y prints from
// the kept file, which still holds every record; --count counts them all.
TEST_F(CaptureCommandTest, ADisplayFilterNarrowsWhatIsPrintedNotWhatIsKept) {
    const fs::path kept = m_dir / "filtered.log";
    const std::string expression = "ftype == RR or msg == \"SETUP\"";
    const auto captured = Capture({"capture", "-q", "--count", "300", "-w", kept.string(), "-Y", expression});
    ASSERT_EQ(captured.status, 0) << captured.err;
    const auto printed = Lines(captured.out);
    EXPECT_FALSE(printed.empty());
    EXPECT_LT(printed.size(), 300u);
    EXPECT_EQ(Lines(Dump(kept).out).size(), 300u) << "the file keeps every record";
    const auto filtered = RunProgram(kTrctool, {"dump", "-Y", expression, kept.string()});
    ASSERT_EQ(filtered.status, 0) << filtered.err;
    EXPECT_EQ(Lines(filtered.out), printed);

    for (const std::vector<std::string>& bad : {std::vector<std::string>{"-Y", "tei =="},
                                                std::vector<std::string>{"-Y"}}) {
        std::vector<std::string> args{"capture", "--count", "3"};
        args.insert(args.end(), bad.begin(), bad.end());
        const auto refused = Capture(args);
        EXPECT_EQ(refused.status, 2) << refused.err;
        EXPECT_EQ(refused.out, "");
        EXPECT_NE(refused.err.find("display filter"), std::string::npos) << refused.err;
    }
    EXPECT_TRUE(TraceLogFiles().empty());
}

TEST_F(CaptureCommandTest, WithoutAFileNameTheTraceIsDeleted) {
    const auto result = Capture({"capture", "--count", "3", "--hex", "-q"});
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.err, "");
    EXPECT_GE(Lines(result.out).size(), 6u);  // each record with at least one hex line
    EXPECT_TRUE(TraceLogFiles().empty());
}

TEST_F(CaptureCommandTest, SecondsEndAQuietTraceAndNothingIsWritten) {
    const auto result = Capture({"capture", "--seconds", "0.3", "-w", "quiet.log"}, "traffic=none");
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.out, "");
    EXPECT_NE(result.err.find("trctool: nothing was traced; quiet.log was not written\n"), std::string::npos)
        << result.err;
    EXPECT_TRUE(TraceLogFiles().empty());
}

TEST_F(CaptureCommandTest, ARefusingOrMissingCardFailsAndLeavesNoFile) {
    const auto refused = Capture({"capture", "--count", "1"}, "refuse=9900:5");
    EXPECT_EQ(refused.status, 1);
    EXPECT_NE(refused.err.find("Could not start trace."), std::string::npos) << refused.err;

    const auto absent = Capture({"capture", "--count", "1"}, "absent=1");
    EXPECT_EQ(absent.status, 1);
    EXPECT_NE(absent.err.find("Tpx Register"), std::string::npos) << absent.err;
    EXPECT_TRUE(TraceLogFiles().empty());
}

TEST_F(CaptureCommandTest, BadArgumentsAreRefusedBeforeTheCardIsOpened) {
    const fs::path existing = m_dir / "existing.log";
    std::ofstream(existing) << "keep me";
    fs::create_directory(m_dir / "folder");
    const std::vector<std::vector<std::string>> cases = {
        {"--count", "zero"},    {"--count", "0"},          {"--seconds", "inf"},  {"--seconds", "nan"},
        {"--seconds", "1e10"},  {"--seconds", "-1"},       {"--seconds", "0"},    {"--seconds", ""},
        {"-w", existing.string()}, {"-w", (m_dir / "folder").string()},
        {"-w", (m_dir / "folder").string(), "--force"},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args{"capture", "--count", "3"};
        args.insert(args.end(), c.begin(), c.end());
        SCOPED_TRACE(c[0] + " " + c[1]);
        const auto result = Capture(args);
        EXPECT_EQ(result.status, 2) << result.err;
        EXPECT_EQ(result.out, "");
    }
    EXPECT_EQ(ReadText(existing), "keep me");
    EXPECT_NE(Capture({"capture", "--count", "3", "-w", existing.string()}).err.find("--force"), std::string::npos);
    EXPECT_TRUE(TraceLogFiles().empty());

    const auto forced = Capture({"capture", "--count", "3", "-q", "--force", "-w", existing.string()});
    ASSERT_EQ(forced.status, 0) << forced.err;
    EXPECT_EQ(Lines(Dump(existing).out), Lines(forced.out));
}

TEST_F(CaptureCommandTest, AFullFileKeepsEveryWholeRecordAndSaysWhatWasKept) {
    // 16 blocks (of 512 or 1024 bytes, as the shell counts): the limit cuts a record in two.
    const auto result = Script("ulimit -f 16 && exec \"$T\" capture -w full.log --seconds 60");
    EXPECT_EQ(result.status, 1) << result.err;
    EXPECT_NE(result.err.find("File too large"), std::string::npos) << result.err;
    const auto dumped = Dump(m_dir / "full.log");
    ASSERT_EQ(dumped.status, 0) << dumped.err;
    const auto kept = Lines(dumped.out);
    ASSERT_GT(kept.size(), 20u);
    EXPECT_LE(fs::file_size(m_dir / "full.log"), 16u * 1024);
    EXPECT_NE(result.err.find(std::to_string(kept.size()) + " records kept in full.log"), std::string::npos)
        << result.err;
    EXPECT_EQ(Lines(result.out), kept);
    const auto numbers = Sequences(kept);
    for (std::size_t i = 0; i < numbers.size(); ++i) EXPECT_EQ(numbers[i], static_cast<long>(i + 1));
}

TEST_F(CaptureCommandTest, AFolderThatCannotBeWrittenFailsAtOnce) {
    // Root may write anywhere chmod allows nothing; /sys refuses new files to everyone.
    fs::path readOnly = "/sys";
    if (::geteuid() != 0) {
        readOnly = m_dir / "read-only";
        fs::create_directory(readOnly);
        fs::permissions(readOnly, fs::perms::owner_read | fs::perms::owner_exec);
    }
    const auto withFile = Capture({"capture", "-w", (readOnly / "trace.log").string()});
    EXPECT_EQ(withFile.status, 1);
    EXPECT_NE(withFile.err.find("cannot make a trace log file in " + readOnly.string() + ": Permission denied"),
              std::string::npos)
        << withFile.err;
    const auto here = Script("cd " + ShellQuote(readOnly.string()) + " && exec \"$T\" capture");
    EXPECT_EQ(here.status, 1);
    EXPECT_NE(here.err.find("Permission denied"), std::string::npos) << here.err;
    EXPECT_EQ(here.out, "");
    if (readOnly != "/sys") fs::permissions(readOnly, fs::perms::owner_all);
}

TEST_F(CaptureCommandTest, SignalsEndTheCaptureAndKeepTheTrace) {
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        SCOPED_TRACE(signal);
        const fs::path kept = m_dir / "signalled.log";
        fs::remove(kept);
        Background capture(m_dir, {"capture", "-w", kept.string()}, "rate=200");
        ASSERT_TRUE(WaitUntil([&] { return capture.LinesPrinted() >= 3; })) << capture.Err();
        EXPECT_EQ(capture.Signal(signal), 0) << capture.Err();
        const auto dumped = Dump(kept);
        ASSERT_EQ(dumped.status, 0) << dumped.err;
        EXPECT_EQ(Lines(dumped.out), Lines(capture.Out()));
        EXPECT_TRUE(TraceLogFiles().empty());
    }
}

// A capture held up behind its output while the card goes on at full speed:
// the trace log file runs far ahead of what was printed. It holds `bytes`
// once this returns true.
bool BacklogOf(const fs::path& dir, std::uintmax_t bytes) {
    return WaitUntil(
        [&] {
            std::error_code ec;
            return fs::file_size(dir / "trc0000.log", ec) >= bytes && !ec;
        },
        std::chrono::seconds(120));
}

TEST_F(CaptureCommandTest, AStopDuringALargeBacklogPrintsAndKeepsEveryRecordTheCardWrote) {
    Background capture(m_dir, {"capture", "-w", "backlog.log"}, "rate=0", /*pipeOut=*/true);
    ASSERT_TRUE(BacklogOf(m_dir, 12u << 20)) << capture.Err();
    capture.Send(SIGINT);
    const std::string printed = capture.ReadToEnd();
    EXPECT_EQ(capture.Wait(), 0) << capture.Err();
    EXPECT_NE(capture.Err().find("stopping: printing the records the trace log file still holds"), std::string::npos)
        << capture.Err();
    const auto dumped = Dump(m_dir / "backlog.log");
    ASSERT_EQ(dumped.status, 0) << dumped.err;
    EXPECT_GT(Lines(dumped.out).size(), 100'000u);
    EXPECT_TRUE(dumped.out == printed) << "every record kept is printed, and every one printed kept";
    EXPECT_TRUE(TraceLogFiles().empty());
}

TEST_F(CaptureCommandTest, ASecondCtrlCEndsAtOnceKeepingEveryRecordInTheFile) {
    Background capture(m_dir, {"capture", "-w", "twice.log"}, "rate=0", /*pipeOut=*/true);
    ASSERT_TRUE(BacklogOf(m_dir, 12u << 20)) << capture.Err();
    capture.Send(SIGINT);
    // The first stop says that it prints what the file still holds; reading
    // stops there, so the capture is held up again behind its output.
    while (capture.Err().find("Ctrl-C again ends at once") == std::string::npos)
        ASSERT_FALSE(capture.ReadSome().empty()) << "ended before taking the rest: " << capture.Err();
    capture.Send(SIGINT);
    const std::string printed = capture.ReadToEnd();
    EXPECT_EQ(capture.Wait(), 0) << capture.Err();
    const std::string err = capture.Err();
    EXPECT_NE(err.find("stopped at once; the trace log file holds every record the card wrote"), std::string::npos)
        << err;
    const auto dumped = Dump(m_dir / "twice.log");
    ASSERT_EQ(dumped.status, 0) << dumped.err;
    const auto kept = Lines(dumped.out);
    const auto shown = Lines(printed);
    ASSERT_LT(shown.size(), kept.size()) << "the rest was left unprinted";
    EXPECT_TRUE(std::equal(shown.begin(), shown.end(), kept.begin())) << "what was printed is the file's beginning";
    EXPECT_NE(err.find(std::to_string(kept.size()) + " records kept in twice.log; the last " +
                       std::to_string(kept.size() - shown.size()) + " were not printed"),
              std::string::npos)
        << err;
    EXPECT_TRUE(TraceLogFiles().empty());
}

// Standard output whose reader takes nothing at all: the capture is held up
// in a write, where its loop cannot look for signals. The first Ctrl-C
// still says that it stops, the second ends the capture at once; no line
// or packet is left torn, and what was not printed is counted exactly.
TEST_F(CaptureCommandTest, CtrlCReachesACaptureHeldUpByAReaderThatTakesNothing) {
    struct Case {
        std::vector<std::string> args;
        int status;
        std::string said;  // how the end is told
    };
    const Case cases[] = {
        {{"capture", "-w", "held.log"}, 0, " records kept in held.log; the last "},
        {{"capture"}, 1, " records the card wrote were not printed, and are not kept"},
        {{"capture", "-w", "-"}, 1, " records the card wrote were not printed or written to standard output, and are not kept"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args.back());
        for (const auto& e : fs::directory_iterator(m_dir)) fs::remove_all(e.path());
        // Every trace log file in the test's folder, so that the backlog shows.
        Background capture(m_dir, c.args, "rate=0", /*pipeOut=*/true, {"TMPDIR=" + m_dir.string()});
        ASSERT_TRUE(BacklogOf(m_dir, 4u << 20)) << capture.Err();
        capture.Send(SIGINT);
        ASSERT_TRUE(WaitUntil([&] { return capture.Err().find("Ctrl-C again ends at once") != std::string::npos; }))
            << "the first Ctrl-C went unseen: " << capture.Err();
        capture.Send(SIGINT);
        ASSERT_TRUE(WaitUntil([&] { return capture.Ended(); })) << "the second Ctrl-C went unseen: " << capture.Err();
        EXPECT_EQ(capture.Wait(), c.status) << capture.Err();
        const std::string err = capture.Err();
        EXPECT_NE(err.find(c.said), std::string::npos) << err;

        // What went out is whole: the text ends with its line, the packets
        // read back without a torn one.
        const std::string printed = capture.ReadToEnd();
        std::size_t shown = 0;
        if (c.args.back() == "-") {
            const fs::path stream = m_dir / "stream.pcapng";
            std::ofstream(stream, std::ios::binary) << printed;
            const auto read = Dump(stream);
            ASSERT_EQ(read.status, 0) << read.err;
            shown = Lines(read.out).size();
        } else {
            ASSERT_FALSE(printed.empty());
            EXPECT_EQ(printed.back(), '\n');
            shown = Lines(printed).size();
        }
        // "the last N of the M records ..." or "M records kept in FILE; the last N ...": M - N were printed.
        long long kept = 0;
        long long unprinted = 0;
        const std::size_t at = err.find("stopped at once");
        ASSERT_NE(at, std::string::npos) << err;
        if (c.args.back() == "held.log") {
            ASSERT_EQ(std::sscanf(err.c_str() + err.find("holds every record the card wrote: ", at) + 35,
                                  "%lld records kept in held.log; the last %lld", &kept, &unprinted), 2) << err;
            const auto dumped = Dump(m_dir / "held.log");
            ASSERT_EQ(dumped.status, 0) << dumped.err;
            EXPECT_EQ(static_cast<long long>(Lines(dumped.out).size()), kept);
            EXPECT_EQ(dumped.out.substr(0, printed.size()), printed) << "what was printed is the file's beginning";
        } else {
            ASSERT_EQ(std::sscanf(err.c_str() + at, "stopped at once; the last %lld of the %lld", &unprinted, &kept), 2)
                << err;
        }
        EXPECT_EQ(kept - unprinted, static_cast<long long>(shown)) << err;
    }
}

TEST_F(CaptureCommandTest, AClosedOutputEndsTheCaptureQuietlyAndKeepsTheTrace) {
    const auto result = Script("{ \"$T\" capture -w piped.log; echo $? > status; } | head -3");
    EXPECT_EQ(Lines(result.out).size(), 3u);
    EXPECT_EQ(ReadText(m_dir / "status"), "0\n") << result.err;
    const auto dumped = Dump(m_dir / "piped.log");
    ASSERT_EQ(dumped.status, 0) << dumped.err;
    const auto kept = Lines(dumped.out);
    ASSERT_GE(kept.size(), 3u);
    EXPECT_EQ(std::vector<std::string>(kept.begin(), kept.begin() + 3), Lines(result.out));
    EXPECT_TRUE(TraceLogFiles().empty());
}

TEST_F(CaptureCommandTest, AnUnpluggedCardEndsTheCaptureWithWhatItSent) {
    const auto result = Capture({"capture", "-w", "unplugged.log"}, "rate=0;unplug=45");
    EXPECT_EQ(result.status, 1);
    EXPECT_NE(result.err.find("the card stopped answering (error 1167); 45 records kept in unplugged.log"),
              std::string::npos)
        << result.err;
    const auto dumped = Dump(m_dir / "unplugged.log");
    ASSERT_EQ(dumped.status, 0) << dumped.err;
    EXPECT_EQ(Lines(dumped.out).size(), 45u);
    EXPECT_EQ(Lines(dumped.out), Lines(result.out));
}

TEST_F(CaptureCommandTest, AClosedStandardInputDoesNotTakeTheTraceFile) {
    const auto result = Script("exec 0<&- && \"$T\" capture -q --count 5 -w stdin.log");
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(Lines(Dump(m_dir / "stdin.log").out).size(), 5u);
}

TEST_F(CaptureCommandTest, FaultsWhileClosingTheCardFail) {
    // Each waits out the 10 s response time-out, so they run side by side.
    const std::vector<std::string> cards = {"rate=0;unanswered=gsmclose", "rate=0;stall=3", "rate=0;stall=6"};
    std::vector<ProgramResult> results(cards.size());
    std::vector<std::thread> runs;
    for (std::size_t i = 0; i < cards.size(); ++i) {
        runs.emplace_back([&, i] {
            const std::string n = std::to_string(i);
            results[i] = Script("\"$T\" capture -q --count 5 -w closing" + n + ".log 2>err" + n + ".txt", cards[i]);
            results[i].err = ReadText(m_dir / ("err" + n + ".txt"));
        });
    }
    for (auto& t : runs) t.join();
    for (std::size_t i = 0; i < cards.size(); ++i) {
        SCOPED_TRACE(cards[i]);
        EXPECT_EQ(results[i].status, 1) << results[i].err;
        EXPECT_FALSE(results[i].err.empty());
        EXPECT_EQ(Lines(Dump(m_dir / ("closing" + std::to_string(i) + ".log")).out).size(), 5u);
    }
}

// A capture killed outright keeps every record written before the kill.
// Each record goes out in one write, so only the system can cut one: a
// write that SIGKILL interrupts stops where a page of the file ends. A
// file cut there loads up to its last whole record and says the last one
// was cut; a cut anywhere else would be the writer's.
TEST_F(CaptureCommandTest, AKilledCaptureKeepsEveryWholeRecord) {
    const auto page = static_cast<std::uintmax_t>(::sysconf(_SC_PAGESIZE));
    for (int run = 0; run < 50; ++run) {
        SCOPED_TRACE(run);
        Background capture(m_dir, {"capture"}, "rate=0");
        // Killed at a different point of each trace.
        ASSERT_TRUE(WaitUntil([&] { return capture.LinesPrinted() >= static_cast<std::size_t>(1 + 7 * run); }))
            << capture.Err();
        ASSERT_EQ(capture.Signal(SIGKILL), 128 + SIGKILL);
        const auto left = TraceLogFiles();
        ASSERT_EQ(left.size(), 1u);
        const auto dumped = Dump(m_dir / left[0]);
        if (dumped.status != 0) {
            EXPECT_NE(dumped.err.find("Could not read data portion of record!"), std::string::npos) << dumped.err;
            EXPECT_EQ(fs::file_size(m_dir / left[0]) % page, 0u) << "a record cut short by its writer";
        }
        EXPECT_GE(Lines(dumped.out).size(), static_cast<std::size_t>(1 + 7 * run));
        fs::remove(m_dir / left[0]);
    }
}

TEST_F(CaptureCommandTest, TimeStampsCarryHundredths) {
    const auto result = Capture({"capture", "-q", "--count", "30"}, "rate=200");
    ASSERT_EQ(result.status, 0) << result.err;
    std::set<std::string> times;
    for (const auto& line : Lines(result.out)) {
        const auto first = line.find('\t');
        times.insert(line.substr(first + 1, line.find('\t', first + 1) - first - 1));
    }
    EXPECT_GT(times.size(), 5u) << "frames 5 ms apart do not share one time";
}

}  // namespace

namespace {

// The ring's files in the folder, in the order their names sort (capture order).
std::vector<fs::path> RingFiles(const fs::path& dir, const std::string& stem) {
    std::vector<fs::path> files;
    for (const auto& e : fs::directory_iterator(dir))
        if (e.path().filename().string().starts_with(stem + "_")) files.push_back(e.path());
    std::sort(files.begin(), files.end());
    return files;
}

}  // namespace

TEST_F(CaptureCommandTest, ARingOfFilesHoldsEveryRecordInOrderAndEachFileOpensOnItsOwn) {
    // Full speed, a new file every 100 KB: no record is lost, split or
    // doubled at a switch, and the sequence runs on across the files.
    const auto result = Capture({"capture", "-q", "--count", "20000", "-w", "ring.log", "-b", "filesize:100"});
    ASSERT_EQ(result.status, 0) << result.err;
    const auto files = RingFiles(m_dir, "ring");
    ASSERT_GE(files.size(), 5u);
    std::vector<long> sequence;
    for (const auto& file : files) {
        SCOPED_TRACE(file.filename().string());
        EXPECT_TRUE(std::regex_match(file.filename().string(), std::regex(R"(ring_\d{5}_\d{14}\.log)")));
        EXPECT_LE(fs::file_size(file), 100'000u);
        const auto dumped = Dump(file);
        ASSERT_EQ(dumped.status, 0) << dumped.err;
        const auto numbers = Sequences(Lines(dumped.out));
        EXPECT_FALSE(numbers.empty());
        sequence.insert(sequence.end(), numbers.begin(), numbers.end());
    }
    ASSERT_EQ(sequence.size(), 20000u);
    for (std::size_t i = 1; i < sequence.size(); ++i)
        ASSERT_EQ((sequence[i - 1] + 1) % 65536, sequence[i] % 65536) << "record " << i;
    EXPECT_EQ(Lines(result.out).size(), 20000u) << "every record printed as well";
    EXPECT_TRUE(TraceLogFiles().empty()) << "the card's own trace log file is only the way there";
}

// -w FILE keeps the trace in the format its name ends in (.pcapng, .pcap,
// otherwise a trace log) unless --format says; every record is kept, and
// the working trace log goes once the file is written.
TEST_F(CaptureCommandTest, AFileTakesTheFormatItsNameAsksFor) {
    constexpr std::uint32_t kPcapNg = 0x0A0D0D0A, kPcap = 0xA1B2C3D4, kLog = 0;
    const struct {
        const char* name;
        std::vector<std::string> format;
        std::uint32_t magic;  // the first four octets, little-endian; kLog for a trace log
    } cases[] = {
        {"a.pcapng", {}, kPcapNg},          {"b.pcap", {}, kPcap},
        {"c.log", {}, kLog},                {"d.trace", {}, kLog},
        {"e.pcap", {"--format", "log"}, kLog}, {"f.log", {"--format", "pcapng"}, kPcapNg},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::string> args{"capture", "-q", "--count", "20", "-w", c.name};
        args.insert(args.end(), c.format.begin(), c.format.end());
        const auto result = Capture(args);
        ASSERT_EQ(result.status, 0) << result.err;
        EXPECT_TRUE(TraceLogFiles().empty());
        const auto bytes = testsupport::ReadFile(m_dir / c.name);
        ASSERT_GE(bytes.size(), 4u);
        const std::uint32_t magic = bytes[0] | bytes[1] << 8 | bytes[2] << 16 | std::uint32_t{bytes[3]} << 24;
        if (c.magic == kLog) {
            EXPECT_NE(magic, kPcapNg);
            EXPECT_NE(magic, kPcap);
        } else {
            EXPECT_EQ(magic, c.magic);
        }
        const auto dumped = Dump(m_dir / c.name);
        EXPECT_EQ(dumped.status, 0) << dumped.err;
        EXPECT_EQ(Lines(dumped.out).size(), 20u);
    }
    EXPECT_EQ(Capture({"capture", "--count", "3", "--format", "pcap"}).status, 2) << "--format needs -w";
}

TEST_F(CaptureCommandTest, ARingKeepsItsNewestFilesInAnyFormat) {
    for (const std::string format : {"log", "pcapng"}) {
        SCOPED_TRACE(format);
        const std::string stem = "newest-" + format;
        const auto result = Capture({"capture", "-q", "--count", "12000", "-w", stem, "-b", "filesize:50", "-b",
                                     "files:3", "--format", format});
        ASSERT_EQ(result.status, 0) << result.err;
        const auto files = RingFiles(m_dir, stem);
        ASSERT_EQ(files.size(), 3u);
        // The three files left are the last three begun, and end with the last record.
        std::vector<int> numbers;
        long records = 0;
        for (const auto& file : files) {
            EXPECT_EQ(file.extension().string(), "." + format);
            numbers.push_back(std::stoi(file.filename().string().substr(stem.size() + 1, 5)));
            const auto dumped = Dump(file);
            ASSERT_EQ(dumped.status, 0) << dumped.err;
            records += static_cast<long>(Lines(dumped.out).size());
        }
        EXPECT_EQ(numbers[1], numbers[0] + 1);
        EXPECT_EQ(numbers[2], numbers[1] + 1);
        EXPECT_GT(numbers[0], 1);
        EXPECT_LT(records, 12000);
        if (format == "log") {  // a capture file numbers its frames afresh; a log keeps the records' own numbers
            const auto last = Sequences(Lines(Dump(files.back()).out)).back();
            const auto printed = Sequences(Lines(result.out)).back();
            EXPECT_EQ(last, printed) << "the newest file ends with the last record captured";
        }
    }
}

TEST_F(CaptureCommandTest, RingOptionsAreCheckedBeforeTheCardIsOpened) {
    const std::vector<std::vector<std::string>> wrong = {
        {"capture", "-b", "filesize:100"},                          // no -w FILE
        {"capture", "-w", "-", "-b", "filesize:100"},               // not with standard output
        {"capture", "-w", "r.log", "-b", "files:3"},                // nothing says when a file ends
        {"capture", "-w", "r.log", "-b", "filesize:0"},
        {"capture", "-w", "r.log", "-b", "duration:inf"},
        {"capture", "-w", "r.log", "-b", "files:0", "-b", "duration:5"},
        {"capture", "-w", "r.log", "-b", "size:100"},
    };
    for (const auto& args : wrong) {
        SCOPED_TRACE(args.back());
        const auto result = Capture(args, "absent");
        EXPECT_EQ(result.status, 2) << result.err;
        EXPECT_NE(result.err.find("-b"), std::string::npos) << result.err;
    }
}

TEST_F(CaptureCommandTest, ARingThatCannotBeWrittenSaysSoAndFails) {
    const auto result = Capture({"capture", "-q", "--count", "50", "-w", "missing/ring.log", "-b", "filesize:10"});
    EXPECT_EQ(result.status, 1) << result.err;
    EXPECT_NE(result.err.find("missing/ring_00001_"), std::string::npos) << result.err;
    EXPECT_NE(result.err.find("No such file or directory; 0 records kept"), std::string::npos) << result.err;
    EXPECT_TRUE(TraceLogFiles().empty());
}
