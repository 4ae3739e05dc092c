// The bash completion of tarvelin-cli and tarvelin-sim, run in bash with bash-completion as
// an interactive shell would run it.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "CliProcess.h"
#include "console/ChildProcess.h"

namespace {

constexpr const char* kBashCompletion = "/usr/share/bash-completion/bash_completion";

struct Completion {
    const char* function;
    std::string line;
    std::string expected;  // the candidates, blank-separated
};

void PrintTo(const Completion& c, std::ostream* os) {
    *os << c.line;
}

class CliCompletion : public testing::TestWithParam<Completion> {};

TEST_P(CliCompletion, OffersTheCandidates) {
    ASSERT_TRUE(std::filesystem::exists(kBashCompletion)) << "scripts/setup.sh installs it";
    const Completion& c = GetParam();
    TempDirectory dir;
    std::ofstream(dir.Path() + "run.sh") << "source " << kBashCompletion << "\n"
                                         << "source " << TARVELIN_COMPLETION_DIR << "tarvelin-cli\n"
                                         << "source " << TARVELIN_COMPLETION_DIR << "tarvelin-sim\n"
                                         << "COMP_LINE=\"$1\"; COMP_POINT=${#COMP_LINE}\n"
                                         << "read -ra COMP_WORDS <<<\"$COMP_LINE\"\n"
                                         << "[[ $COMP_LINE == *' ' ]] && COMP_WORDS+=('')\n"
                                         << "COMP_CWORD=$((${#COMP_WORDS[@]} - 1))\n"
                                         << "COMPREPLY=()\n"
                                         << c.function << "\n"
                                         << "printf '%s\\n' \"${COMPREPLY[*]}\" > \"$2\"\n";
    ChildOptions options;
    options.program = "/bin/bash";
    options.arguments = {dir.Path() + "run.sh", c.line, dir.Path() + "out"};
    options.input = options.output = options.error = ChildStream::Null();
    ChildProcess bash(options);
    const std::optional<ChildExit> exit = bash.Wait(std::chrono::seconds(60));
    ASSERT_TRUE(exit) << "bash did not end within 60 s";
    EXPECT_EQ(exit->ShellStatus(), 0);
    const std::vector<std::string> out = ReadLines(dir.Path() + "out");
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0], c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, CliCompletion,
    testing::Values(Completion{"_tarvelin_cli", "tarvelin-cli up", "update"},
                    Completion{"_tarvelin_cli", "tarvelin-cli l", "list-ports"},
                    Completion{"_tarvelin_cli", "tarvelin-cli update --la", "--lang"},
                    Completion{"_tarvelin_cli", "tarvelin-cli update --lang ", "en de"},
                    Completion{"_tarvelin_cli", "tarvelin-cli identify --y", ""},  // update only
                    Completion{"_tarvelin_cli", "tarvelin-cli update --y", "--yes"},
                    Completion{"_tarvelin_cli", "tarvelin-cli list-ports --", "--json --help"},
                    Completion{"_tarvelin_sim", std::string(TARVELIN_SIM_PATH) + " --dump-r",
                               "--dump-raw"},
                    Completion{"_tarvelin_sim", "tarvelin-sim --state ", "firmware bios off"}));

}  // namespace
