// Children started through console/ChildProcess: how their ends read, their streams and
// environment, bounded waits and reads, Ctrl-C, and that none outlives its object.
#include "console/ChildProcess.h"

#include <signal.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "unit/TempDirectory.h"

namespace {

using std::chrono::milliseconds;
using std::chrono::seconds;

ChildOptions Shell(const std::string& script, std::vector<std::string> args = {}) {
    ChildOptions options;
    options.program = "/bin/sh";
    options.arguments = {"-c", script, "sh"};
    options.arguments.insert(options.arguments.end(), args.begin(), args.end());
    return options;
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

struct EndCase {
    const char* script;
    bool exited;
    int code;
    int signal;
    int shellStatus;
};

void PrintTo(const EndCase& c, std::ostream* os) {
    *os << c.script;
}

class ChildEnds : public testing::TestWithParam<EndCase> {};

TEST_P(ChildEnds, ReadAsTheShellReportsThem) {
    const EndCase& c = GetParam();
    ChildProcess child(Shell(c.script));
    ASSERT_TRUE(child.Started()) << child.StartError();
    const std::optional<ChildExit> exit = child.Wait(seconds(10));
    ASSERT_TRUE(exit) << c.script << " did not end within 10 s";
    EXPECT_EQ(exit->exited, c.exited) << c.script;
    EXPECT_EQ(exit->code, c.code) << c.script;
    EXPECT_EQ(exit->signal, c.signal) << c.script;
    EXPECT_EQ(exit->ShellStatus(), c.shellStatus) << c.script;
    EXPECT_EQ(child.Wait(), exit) << "a reaped child keeps its answer";
    EXPECT_FALSE(child.Signal(SIGTERM)) << "never a signal to a pid that may be reused";
}

INSTANTIATE_TEST_SUITE_P(Ends, ChildEnds,
                         testing::Values(EndCase{"exit 0", true, 0, 0, 0},
                                         EndCase{"exit 75", true, 75, 0, 75},
                                         EndCase{"kill -TERM $$", false, -1, SIGTERM, 143},
                                         EndCase{"kill -SEGV $$", false, -1, SIGSEGV, 139}));

TEST(ChildProcess, ArgumentsEnvironmentAndPipedStreams) {
    ChildOptions options =
        Shell(R"(printf '%s|' "$@"; printf '%s' "$TARVELIN_GREETING"; printf 'to error' >&2)",
              {"two words", "", "ü"});
    options.environment = {"TARVELIN_GREETING=hello"};
    options.output = ChildStream::Pipe();
    options.error = ChildStream::Pipe();
    ChildProcess child(options);
    ASSERT_TRUE(child.Started()) << child.StartError();
    EXPECT_TRUE(child.OutputHandle().Valid());
    std::string out;
    std::string err;
    const auto deadline = std::chrono::steady_clock::now() + seconds(10);
    ChildRead outRead = ChildRead::Data;
    ChildRead errRead = ChildRead::Data;
    while ((outRead != ChildRead::Closed || errRead != ChildRead::Closed) &&
           std::chrono::steady_clock::now() < deadline) {
        outRead = child.ReadOutput(out, milliseconds(50));
        errRead = child.ReadError(err, milliseconds(50));
    }
    EXPECT_EQ(out, "two words||ü|hello");
    EXPECT_EQ(err, "to error");
    EXPECT_FALSE(child.OutputHandle().Valid()) << "closed once read to its end";
    ASSERT_TRUE(child.Wait(seconds(10)));
}

TEST(ChildProcess, AFileStreamIsAppendedToAndAHandleIsUsedAsItIs) {
    TempDirectory dir;
    ASSERT_TRUE(dir.Valid());
    const std::string errPath = dir.Path() + "err";
    std::ofstream(errPath) << "before\n";
    std::FILE* out = std::fopen((dir.Path() + "out").c_str(), "w");
    ASSERT_NE(out, nullptr);
    ChildOptions options = Shell("echo out; echo err >&2; read line && echo \"read $line\"");
    options.input = ChildStream::Null();
    options.output = ChildStream::Of({fileno(out)});
    options.error = ChildStream::File(errPath);
    ChildProcess child(options);
    ASSERT_TRUE(child.Started()) << child.StartError();
    const std::optional<ChildExit> exit = child.Wait(seconds(10));
    std::fclose(out);
    ASSERT_TRUE(exit);
    EXPECT_EQ(exit->ShellStatus(), 1) << "standard input is empty";
    EXPECT_EQ(ReadFile(dir.Path() + "out"), "out\n");
    EXPECT_EQ(ReadFile(errPath), "before\nerr\n");
}

TEST(ChildProcess, StartFailuresSayWhy) {
    ChildOptions unwritable = Shell("exit 0");
    unwritable.error = ChildStream::File("/no/such/folder/err");
    ChildProcess first(unwritable);
    EXPECT_FALSE(first.Started());
    EXPECT_NE(first.StartError().find("/no/such/folder/err: No such file"), std::string::npos)
        << first.StartError();
    EXPECT_EQ(first.ProcessId(), -1);
    EXPECT_FALSE(first.Wait(milliseconds(10)));

    // The system learns only in the child that there is nothing to run.
    ChildOptions missing;
    missing.program = "/no/such/program";
    ChildProcess absent(missing);
    ASSERT_TRUE(absent.Started()) << absent.StartError();
    EXPECT_EQ(absent.Wait(seconds(10)), (ChildExit{true, 127, 0}));

    ChildOptions pipedInput = Shell("exit 0");
    pipedInput.input = ChildStream::Pipe();
    ChildProcess second(pipedInput);
    EXPECT_FALSE(second.Started());
    EXPECT_FALSE(second.StartError().empty());
}

TEST(ChildProcess, WaitsAndReadsAreBoundedAndCtrlCReachesTheChild) {
    ChildOptions options =
        Shell("trap 'echo stopping; exit 7' INT; echo ready; while :; do sleep 0.02; done");
    options.output = ChildStream::Pipe();
    options.ownProcessGroup = true;
    ChildProcess child(options);
    ASSERT_TRUE(child.Started()) << child.StartError();
    std::string out;
    ASSERT_TRUE(child.ReadOutputUntil(out, "ready\n", seconds(10))) << out;
    EXPECT_EQ(getpgid(static_cast<pid_t>(child.ProcessId())), child.ProcessId());

    const auto before = std::chrono::steady_clock::now();
    EXPECT_FALSE(child.Wait(milliseconds(100)));
    EXPECT_EQ(child.ReadOutput(out, milliseconds(100)), ChildRead::Nothing);
    EXPECT_GE(std::chrono::steady_clock::now() - before, milliseconds(200));

    ASSERT_TRUE(child.Interrupt());
    EXPECT_TRUE(child.ReadOutputUntil(out, "stopping\n", seconds(10))) << out;
    const std::optional<ChildExit> exit = child.Wait(seconds(10));
    ASSERT_TRUE(exit) << "the child did not end after SIGINT";
    EXPECT_EQ(exit->ShellStatus(), 7);
}

TEST(ChildProcess, NoChildOutlivesItsObject) {
    ChildOptions options;
    options.program = "/bin/sleep";
    options.arguments = {"600"};
    ChildProcess::Id id = -1;
    {
        ChildProcess child(options);
        ASSERT_TRUE(child.Started()) << child.StartError();
        id = child.ProcessId();
        EXPECT_EQ(getpgid(static_cast<pid_t>(id)), getpgid(0)) << "ours unless asked";
        ChildProcess moved = std::move(child);
        EXPECT_EQ(moved.ProcessId(), id);
        EXPECT_EQ(child.ProcessId(), -1);
    }
    EXPECT_NE(kill(static_cast<pid_t>(id), 0), 0) << "the sleep still runs";
    EXPECT_EQ(errno, ESRCH);
}

TEST(ChildProcess, ThisProgramIsTheRunningTest) {
    std::string error;
    const std::string self = ChildProcess::ThisProgram(error);
    EXPECT_NE(self.find("tarvelin_integration_tests"), std::string::npos) << self << error;
}

}  // namespace
