// A firmware file that cannot be flashed whole is refused by identify's dry run as update
// refuses it: at once, even where opening it would wait (a FIFO), with the same reason and the
// same exit status, and with nothing written to the coder.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include "CliProcess.h"
#include "FirmwareFolder.h"
#include "SimUnderTest.h"
#include "cli/CommandLine.h"
#include "update/UpdateCodes.h"

namespace {

enum class Fifo { Coder, Samples, Dsp };

struct RefusalCase {
    const char* name;
    Fifo fifo;
    int status;
    const char* reason;  // %s is the FIFO's path
};
void PrintTo(const RefusalCase& c, std::ostream* os) {
    *os << c.name;
}

class CliFileRefusal : public testing::TestWithParam<RefusalCase> {};

TEST_P(CliFileRefusal, IdentifyRefusesAtOnceAsUpdateDoes) {
    const RefusalCase& c = GetParam();
    FirmwareFolder files(3000, 1000, 2000);
    std::string coder = files.CoderPath();
    std::string samples = files.Path() + "Dsp_V01_00.smp";
    std::string dsp = files.Path() + "Dsp_V01_00.dsp";
    std::string& named = c.fifo == Fifo::Coder ? coder : c.fifo == Fifo::Samples ? samples : dsp;
    named = files.Path() + "waits.fifo";
    ASSERT_EQ(mkfifo(named.c_str(), 0600), 0);
    std::string reason = c.reason;
    reason.replace(reason.find("%s"), 2, named);

    SimUnderTest device({"--tcp", "0", "--time-scale", "0", "--main-port", "0"});
    ASSERT_TRUE(device.Ready());
    int statuses[2] = {};
    int run = 0;
    for (const std::string command : {"identify", "update"}) {
        SCOPED_TRACE(command);
        std::vector<std::string> args{command,
                                      "--tcp",
                                      "127.0.0.1:" + std::to_string(device.Port()),
                                      "--coder",
                                      coder,
                                      "--samples",
                                      samples,
                                      "--dsp",
                                      dsp,
                                      "--log",
                                      files.Path() + command + ".log",
                                      "--lang",
                                      "en",
                                      "--json"};
        if (command == "update") {
            args.push_back("--yes");
        }
        CliProcess cli(args);
        statuses[run++] = cli.Wait(std::chrono::seconds(30));
        EXPECT_EQ(statuses[run - 1], c.status) << cli.Err();
        EXPECT_NE(cli.Err().find(reason + "\n"), std::string::npos) << cli.Err();
        EXPECT_EQ(JsonField(cli.Out(), "exitStatus"), std::to_string(c.status)) << cli.Out();
    }
    EXPECT_EQ(statuses[0], statuses[1]);
    EXPECT_EQ(device.StopAndDump()[0],
              "region 0 start 0x80000 length 0 sha256 " + FirmwareFolder::Hash({}));
}

INSTANTIATE_TEST_SUITE_P(
    Files, CliFileRefusal,
    testing::Values(RefusalCase{"Coder", Fifo::Coder, kExitNoFirmware,
                                "Cannot use the Coder firmware %s: not a regular file."},
                    RefusalCase{"Samples", Fifo::Samples, UPD_SAMPLES_FILE_OPEN_FAILED,
                                "%s cannot be read: not a regular file"},
                    RefusalCase{"Dsp", Fifo::Dsp, UPD_DSP_FILE_OPEN_FAILED,
                                "%s cannot be read: not a regular file"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
