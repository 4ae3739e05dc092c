// The bash completion of tarvelin-cli and tarvelin-sim, run in bash with bash-completion as
// an interactive shell would run it.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <sstream>

#include "CliProcess.h"
#include "console/ChildProcess.h"

namespace {

constexpr const char* kBashCompletion = "/usr/share/bash-completion/bash_completion";

// "{dir}" in a line or its candidates stands for a folder that holds inventory.csv and
// notes.txt.
struct Completion {
    const char* function;
    std::string line;
    std::string expected;  // the candidates, blank-separated
};

std::string InFolder(std::string text, const std::string& folder) {
    for (size_t at; (at = text.find("{dir}")) != std::string::npos;) {
        text.replace(at, 5, folder);
    }
    return text;
}

void PrintTo(const Completion& c, std::ostream* os) {
    *os << c.line;
}

// The candidates bash offers for `line` (blank-separated), with `function` as the completion.
std::string Complete(const char* function, const std::string& line) {
    TempDirectory dir;
    std::ofstream(dir.Path() + "run.sh") << "source " << kBashCompletion << "\n"
                                         << "source " << TARVELIN_COMPLETION_DIR << "tarvelin-cli\n"
                                         << "source " << TARVELIN_COMPLETION_DIR << "tarvelin-sim\n"
                                         << "COMP_LINE=\"$1\"; COMP_POINT=${#COMP_LINE}\n"
                                         << "read -ra COMP_WORDS <<<\"$COMP_LINE\"\n"
                                         << "[[ $COMP_LINE == *' ' ]] && COMP_WORDS+=('')\n"
                                         << "COMP_CWORD=$((${#COMP_WORDS[@]} - 1))\n"
                                         << "COMPREPLY=()\n"
                                         << function << "\n"
                                         << "printf '%s\\n' \"${COMPREPLY[*]}\" > \"$2\"\n";
    ChildOptions options;
    options.program = "/bin/bash";
    options.arguments = {dir.Path() + "run.sh", line, dir.Path() + "out"};
    options.input = options.output = options.error = ChildStream::Null();
    ChildProcess bash(options);
    const std::optional<ChildExit> exit = bash.Wait(std::chrono::seconds(60));
    if (!exit || exit->ShellStatus() != 0) {
        ADD_FAILURE() << "bash did not complete '" << line << "'";
        return {};
    }
    const std::vector<std::string> out = ReadLines(dir.Path() + "out");
    if (out.size() != 1) {
        ADD_FAILURE() << "'" << line << "': " << out.size() << " lines of candidates";
        return {};
    }
    return out[0];
}

class CliCompletion : public testing::TestWithParam<Completion> {};

TEST_P(CliCompletion, OffersTheCandidates) {
    ASSERT_TRUE(std::filesystem::exists(kBashCompletion)) << "scripts/setup.sh installs it";
    const Completion& c = GetParam();
    TempDirectory files;
    files.WriteFile("inventory.csv");
    files.WriteFile("notes.txt");
    EXPECT_EQ(Complete(c.function, InFolder(c.line, files.Path())),
              InFolder(c.expected, files.Path()));
}

// Every long option that a command's --help lists is completed after "--": an option added
// to the program and forgotten in the completion fails here.
TEST(CliCompletionOfHelp, OffersEveryOptionOfTheHelp) {
    ASSERT_TRUE(std::filesystem::exists(kBashCompletion)) << "scripts/setup.sh installs it";
    for (const std::string command : {"", "identify", "update", "list-ports", "fleet"}) {
        std::vector<std::string> arguments = {"--help"};
        if (!command.empty()) {
            arguments.insert(arguments.begin(), command);
        }
        CliProcess help(arguments);
        ASSERT_EQ(help.Wait(), 0) << command << ": " << help.Err();
        const std::string line = "tarvelin-cli " + (command.empty() ? "" : command + " ") + "--";
        std::istringstream offered(Complete("_tarvelin_cli", line));
        const std::set<std::string> candidates{std::istream_iterator<std::string>(offered),
                                               std::istream_iterator<std::string>()};
        std::istringstream lines(help.Out());
        int listed = 0;
        for (std::string text; std::getline(lines, text);) {
            // "  -y,--yes    answer ...": the option column ends at the first double blank.
            if (text.rfind("  -", 0) != 0) {
                continue;
            }
            std::istringstream names(text.substr(2, text.find("  ", 2) - 2));
            for (std::string name; std::getline(names, name, ',');) {
                name = name.substr(0, name.find(' '));
                if (name.rfind("--", 0) == 0) {
                    ++listed;
                    EXPECT_EQ(candidates.count(name), 1u) << "'" << line << "' lacks " << name;
                }
            }
        }
        EXPECT_GT(listed, 0) << "no options read from the help of '" << command << "'";
    }
}

// After an option of the simulator that takes a value, no option is offered in its place.
TEST(CliCompletionOfHelp, OffersNoOptionInPlaceOfASimulatorValue) {
    ASSERT_TRUE(std::filesystem::exists(kBashCompletion)) << "scripts/setup.sh installs it";
    CliProcess help(CliProcess::Program{}, TARVELIN_SIM_PATH, {"--help"});
    ASSERT_EQ(help.Wait(), 0) << help.Err();
    std::istringstream lines(help.Out());
    int taking = 0;
    for (std::string text; std::getline(lines, text);) {
        // "  --tcp PORT    listen ...": a name, one blank and the value's placeholder.
        const std::string column = text.substr(0, text.find("  ", 2));
        if (text.rfind("  --", 0) != 0 || column.find(' ', 2) == std::string::npos) {
            continue;
        }
        const std::string option = column.substr(2, column.find(' ', 2) - 2);
        ++taking;
        const std::string offered =
            Complete("_tarvelin_sim", std::string(TARVELIN_SIM_PATH) + " " + option + " ");
        EXPECT_EQ(offered.find("--"), std::string::npos) << option << " VALUE: " << offered;
    }
    EXPECT_GT(taking, 10) << "no options with values read from:\n" << help.Out();
}

INSTANTIATE_TEST_SUITE_P(
    Lines, CliCompletion,
    testing::Values(
        Completion{"_tarvelin_cli", "tarvelin-cli up", "update"},
        Completion{"_tarvelin_cli", "tarvelin-cli l", "list-ports"},
        Completion{"_tarvelin_cli", "tarvelin-cli update --la", "--lang"},
        Completion{"_tarvelin_cli", "tarvelin-cli update --lang ", "en de"},
        Completion{"_tarvelin_cli", "tarvelin-cli identify --y", ""},  // update only
        Completion{"_tarvelin_cli", "tarvelin-cli update --y", "--yes"},
        Completion{"_tarvelin_cli", "tarvelin-cli list-ports --", "--json --help --help-all"},
        Completion{"_tarvelin_cli", "tarvelin-cli f", "fleet"},
        Completion{"_tarvelin_cli", "tarvelin-cli --help-a", "--help-all"},
        Completion{"_tarvelin_cli", "tarvelin-cli fleet --ca", "--canary"},
        Completion{"_tarvelin_cli", "tarvelin-cli fleet --i", "--identify-only"},
        Completion{"_tarvelin_cli", "tarvelin-cli fleet --jobs ", ""},
        Completion{"_tarvelin_cli", "tarvelin-cli fleet -j 4 --lang ", "en de"},
        Completion{"_tarvelin_cli", "tarvelin-cli fleet {dir}", "{dir}inventory.csv"},
        Completion{"_tarvelin_cli", "tarvelin-cli update --ca", ""},  // fleet only
        Completion{"_tarvelin_sim", std::string(TARVELIN_SIM_PATH) + " --dump-r", "--dump-raw"},
        Completion{"_tarvelin_sim", std::string(TARVELIN_SIM_PATH) + " --cod", "--coders"},
        Completion{"_tarvelin_sim", std::string(TARVELIN_SIM_PATH) + " --coders ", ""},
        Completion{"_tarvelin_sim", "tarvelin-sim --state ", "firmware bios off"}));

}  // namespace
