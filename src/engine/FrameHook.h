#pragma once

#include "engine/EngineTypes.h"
#include "engine/FrameBgr.h"

#include <functional>
#include <vector>

// Hands a task's decoded frames to the frame hook as 24-bit BGR pictures and takes the
// pictures back (task thread).
//
// The handler gets the picture with Update true and StopHook false. When it returns
// normally with Update true, the rows it changed are converted back into the frame's
// pixel format; rows it left alone keep their decoded pixels bit for bit, so a handler
// that draws nothing costs no quality at all. Update false passes the frame on as
// decoded; StopHook ends hooking for the rest of the task. A handler that throws is
// logged as "Error occurs OnCustomHook: " + its message, and that frame goes on as it
// was decoded (whatever the handler had drawn before throwing is dropped).
class FrameHookBridge
{
public:
    using Handler = std::function<void(TCustomHookInfo &)>;

    explicit FrameHookBridge(int taskIndex)
        : m_task(taskIndex)
    {}

    void run(AVFrame *frame, int64_t frameNumber, int64_t ptsUs, const Handler &handler);
    bool stopped() const { return m_stopped; }

private:
    int m_task;
    bool m_stopped = false;
    BgrReader m_reader;
    BgrWriter m_writer;
    QImage m_picture;
    std::vector<uint8_t> m_before;
};
