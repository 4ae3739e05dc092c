#pragma once

#include <cstdint>

// How the procedure reports to its front end. Posts come from the worker thread and must reach
// the front end's thread in posting order; neither call may block on that thread.
class ProcedureSink {
public:
    virtual ~ProcedureSink() = default;
    // One of the WM_UPD_* messages with its two integers.
    virtual void Post(uint32_t message, int64_t wParam, int64_t lParam) = 0;
    // The identification thread's one direct write of the Info status line: a text number.
    virtual void SetIdentifyStatus(int textNumber) = 0;
};
