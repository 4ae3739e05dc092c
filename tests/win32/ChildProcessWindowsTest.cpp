// Children on Windows, started from the test child program: the argument vector as the child's
// runtime splits it, how crashes and ends read, the streams, a bounded pipe read, an interrupt,
// and the job object that ends a grandchild when its parent is killed.
#include <windows.h>

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "console/ChildProcess.h"
#include "console/SignalPipe.h"
#include "transport/win32/WideText.h"
#include "unit/TempDirectory.h"

namespace {

using std::chrono::milliseconds;
using std::chrono::seconds;

std::string TestChild() {
    std::string error;
    std::string self = ChildProcess::ThisProgram(error);
    return self.substr(0, self.find_last_of("\\/") + 1) + "tarvelin_test_child.exe";
}

ChildOptions Child(std::vector<std::string> arguments) {
    ChildOptions options;
    options.program = TestChild();
    options.arguments = std::move(arguments);
    options.output = ChildStream::Pipe();
    return options;
}

// All the child wrote to its output, until it closed it.
std::string OutputOf(ChildProcess& child) {
    std::string out;
    const auto deadline = std::chrono::steady_clock::now() + seconds(10);
    while (child.ReadOutput(out, milliseconds(100)) != ChildRead::Closed &&
           std::chrono::steady_clock::now() < deadline) {
    }
    return out;
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

TEST(ChildProcessOnWindows, ArgumentsArriveAsTheyWereGiven) {
    const std::vector<std::string> arguments = {
        "plain",      "two words",         "",           "ü and 北京",
        "say \"hi\"", "back\\slash",       "trailing\\", "\\\"",
        "a\\\\\"b",   "tab\tand\nnewline", "\"",         "\\\\server\\share\\",
    };
    // A program whose path holds a space, too.
    TempDirectory dir;
    ASSERT_TRUE(dir.Valid());
    const std::string folder = dir.Path() + "with space";
    ASSERT_TRUE(CreateDirectoryW(Widen(folder).c_str(), nullptr));
    const std::string copy = folder + "/child.exe";
    ASSERT_TRUE(CopyFileW(Widen(TestChild()).c_str(), Widen(copy).c_str(), FALSE));
    for (const std::string& program : {TestChild(), copy}) {
        ChildOptions options = Child({"args"});
        options.program = program;
        options.arguments.insert(options.arguments.end(), arguments.begin(), arguments.end());
        ChildProcess child(options);
        ASSERT_TRUE(child.Started()) << child.StartError();
        std::string expected;
        for (const std::string& argument : arguments) {
            expected += argument + '\0';
        }
        EXPECT_EQ(OutputOf(child), expected) << program;
        ASSERT_TRUE(child.Wait(seconds(10)));
    }
}

struct EndCase {
    std::vector<std::string> arguments;
    ChildExit exit;
    int shellStatus;
    const char* described;  // DescribeSignal of the signal, when not exited
};

void PrintTo(const EndCase& c, std::ostream* os) {
    for (size_t i = 0; i < c.arguments.size(); ++i) {
        *os << (i > 0 ? " " : "") << c.arguments[i];
    }
}

class ChildEndsOnWindows : public testing::TestWithParam<EndCase> {};

TEST_P(ChildEndsOnWindows, ReadAsCmdReportsThem) {
    const EndCase& c = GetParam();
    ChildProcess child(Child(c.arguments));
    ASSERT_TRUE(child.Started()) << child.StartError();
    if (c.arguments[0] == "sleep") {
        EXPECT_TRUE(child.Signal(kSignalTerminate));
    }
    const std::optional<ChildExit> exit = child.Wait(seconds(20));
    ASSERT_TRUE(exit) << "did not end within 20 s";
    EXPECT_EQ(*exit, c.exit);
    EXPECT_EQ(exit->ShellStatus(), c.shellStatus);
    if (!exit->exited) {
        EXPECT_EQ(DescribeSignal(exit->signal), c.described);
    }
    EXPECT_EQ(child.Wait(), exit) << "an ended child keeps its answer";
    EXPECT_FALSE(child.Signal(kSignalTerminate));
}

INSTANTIATE_TEST_SUITE_P(
    Ends, ChildEndsOnWindows,
    testing::Values(EndCase{{"exit", "0"}, {true, 0, 0}, 0, ""},
                    EndCase{{"exit", "75"}, {true, 75, 0}, 75, ""},
                    EndCase{{"exit", "0xFFFFFFFF"}, {true, -1, 0}, -1, ""},  // exit(-1)
                    EndCase{{"exit", "0xC000013A"}, {false, -1, 2}, 130, "Interrupt"},
                    EndCase{{"crash"},
                            {false, -1, static_cast<int>(0xC0000005u)},
                            static_cast<int>(0xC0000005u),
                            "Access violation (0xC0000005)"},
                    EndCase{{"sleep", "600000"}, {false, -1, 15}, 143, "Terminated"}));

TEST(ChildProcessOnWindows, StreamsEnvironmentAndStartFailures) {
    TempDirectory dir;
    ASSERT_TRUE(dir.Valid());
    const std::string errPath = dir.Path() + "err";
    std::ofstream(errPath) << "before|";
    ChildOptions options = Child({"write", "to output", "to error"});
    options.error = ChildStream::File(errPath);
    ChildProcess writer(options);
    ASSERT_TRUE(writer.Started()) << writer.StartError();
    EXPECT_EQ(OutputOf(writer), "to output");
    EXPECT_FALSE(writer.OutputHandle().Valid()) << "closed once read to its end";
    ASSERT_TRUE(writer.Wait(seconds(10)));
    EXPECT_EQ(ReadFile(errPath), "before|to error");

    ChildOptions environment = Child({"env", "TARVELIN_GREETING"});
    environment.environment = {"TARVELIN_GREETING=grüezi"};
    ChildProcess greeter(environment);
    ASSERT_TRUE(greeter.Started()) << greeter.StartError();
    EXPECT_EQ(OutputOf(greeter), "grüezi");

    ChildOptions empty = Child({"read-line"});
    empty.input = ChildStream::Null();
    ChildProcess reader(empty);
    ASSERT_TRUE(reader.Started()) << reader.StartError();
    EXPECT_EQ(reader.Wait(seconds(10)), (ChildExit{true, 1, 0})) << "standard input is empty";

    ChildOptions missing = Child({});
    missing.program = dir.Path() + "no-such-program.exe";
    ChildProcess absent(missing);
    EXPECT_FALSE(absent.Started());
    EXPECT_NE(absent.StartError().find("no-such-program.exe: "), std::string::npos)
        << absent.StartError();
    ChildOptions unwritable = Child({"exit", "0"});
    unwritable.error = ChildStream::File(dir.Path() + "no/such/folder/err");
    ChildProcess notStarted(unwritable);
    EXPECT_FALSE(notStarted.Started());
    EXPECT_NE(notStarted.StartError().find("no/such/folder/err: "), std::string::npos);
}

TEST(ChildProcessOnWindows, APipeReadIsBoundedAndAnInterruptReachesTheChildsSignalPipe) {
    // Through the console on Windows; Wine delivers no Ctrl-Break, and ctest gives no console:
    // there the child's interrupt event carries it.
    for (const bool ownGroup : {true, false}) {
        SCOPED_TRACE(ownGroup ? "own process group" : "ours");
        ChildOptions options = Child({"wait-signal"});
        options.ownProcessGroup = ownGroup;
        ChildProcess child(options);
        ASSERT_TRUE(child.Started()) << child.StartError();
        std::string out;
        ASSERT_TRUE(child.ReadOutputUntil(out, "ready\n", seconds(10))) << out;

        const auto before = std::chrono::steady_clock::now();
        EXPECT_EQ(child.ReadOutput(out, milliseconds(100)), ChildRead::Nothing);
        EXPECT_EQ(WaitReadable({child.OutputHandle()}, milliseconds(100)),
                  std::vector<bool>{false});
        EXPECT_GE(std::chrono::steady_clock::now() - before, milliseconds(200));

        ASSERT_TRUE(child.Interrupt());
        EXPECT_TRUE(child.ReadOutputUntil(out, "signal 2\n", seconds(10))) << out;
        EXPECT_EQ(child.Wait(seconds(10)), (ChildExit{true, kSignalInterrupt, 0}));
        EXPECT_FALSE(child.Interrupt()) << "it ended";
    }
    ChildProcess deaf(Child({"sleep", "600000"}));
    ASSERT_TRUE(deaf.Started()) << deaf.StartError();
    EXPECT_FALSE(deaf.Interrupt()) << "a child that watches no signals cannot be interrupted";
}

TEST(ChildProcessOnWindows, AGrandchildEndsWhenItsParentIsKilled) {
    // Without a job of its own the parent is ended alone, and its job ends the grandchild; in
    // a job, the grandchild's job nests in its parent's.
    for (const auto whenParentEnds :
         {ChildOptions::WhenParentEnds::Nothing, ChildOptions::WhenParentEnds::Kill}) {
        ChildOptions options = Child({"hold-child", "600000"});
        options.whenParentEnds = whenParentEnds;
        ChildProcess parent(options);
        ASSERT_TRUE(parent.Started()) << parent.StartError();
        std::string out;
        ASSERT_TRUE(parent.ReadOutputUntil(out, "\n", seconds(10))) << out;
        HANDLE grandchild = OpenProcess(SYNCHRONIZE, FALSE, std::strtoul(out.c_str(), nullptr, 10));
        ASSERT_NE(grandchild, nullptr) << out;
        EXPECT_EQ(WaitForSingleObject(grandchild, 0), WAIT_TIMEOUT)
            << "it runs while its parent does";
        parent.Kill();
        EXPECT_EQ(WaitForSingleObject(grandchild, 10000), WAIT_OBJECT_0)
            << "the grandchild outlived its parent by 10 s";
        CloseHandle(grandchild);
    }
}

}  // namespace
