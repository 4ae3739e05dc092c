#pragma once

#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "cli/CommandLine.h"
#include "cli/JsonWriter.h"
#include "cli/ProgressDisplay.h"
#include "update/ProcedureSink.h"
#include "update/ProcedureVerdicts.h"
#include "update/UpdateProcedure.h"

// Runs identify or update from a terminal or a script: the procedure's messages and the frame
// log are handled on the main thread, in posting order, as the wizard handles them.
class CliSession : public ProcedureSink {
public:
    explicit CliSession(const CliOptions& options);
    ~CliSession() override;

    // The exit status.
    int Run();

    void Post(uint32_t message, int64_t wParam, int64_t lParam) override;
    void SetIdentifyStatus(int textNumber) override;

private:
    struct Event {
        uint32_t message;
        int64_t wParam;
        int64_t lParam;
    };
    // Stands for the identification thread's direct status write.
    static constexpr uint32_t kDirectStatus = 0x8000;

    Event NextEvent();
    void DrainFrameLog();
    void Say(const std::string& text);
    bool Confirm(const std::string& question);
    int Identify();
    int Flash();
    void ExplainConnectFailure();
    std::string StageLabel(int stage) const;
    int64_t StageBlocks(int stage) const;
    void AddIdentifyJson();

    CliOptions options_;
    Language language_;
    std::FILE* human_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<Event> events_;
    bool frameLogPending_ = false;

    bool coderFileMissing_ = false;
    bool confirmationRefused_ = false;
    std::vector<std::string> warnings_;
    int32_t outcome_ = -1;
    IdentificationVerdict verdict_;
    JsonWriter json_;

    // Last, so it goes first: its worker may still post into the members above.
    std::unique_ptr<UpdateProcedure> procedure_;
};
