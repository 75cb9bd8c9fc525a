#pragma once

#include "engine/TFFmpegVCL.h"

#include <QElapsedTimer>
#include <QStringList>
#include <functional>
#include <mutex>
#include <vector>

// Drives an engine the way the program does: handlers attached, Start(1), the event
// loop running until the end of the run is reported.
class EngineHarness
{
public:
    EngineHarness();

    // Everything the handlers saw. Guarded by mutex (terminate arrives on engine threads).
    std::mutex mutex;
    std::vector<TTerminateInfo> ends;
    std::vector<TProgressInfo> progress;
    std::vector<qint64> progressAtMs;
    bool progressOffUiThread = false;
    bool runEnded = false;
    QElapsedTimer clock;

    // Last, so that it is destroyed first: its threads may still call the handlers,
    // which use the members above.
    TFFmpegVCL engine;

    // Adds a task with its output; the task index, or -1.
    int add(const QString &source, const QString &dest, const TOutputOptions &out = TOutputOptions(),
            TInputOptions in = TInputOptions());
    // Start(1) and wait (with the event loop running) for the end of the run.
    bool runToEnd(int timeoutMs = 120000);
    // Processes events for a while.
    static void wait(int ms);
    // The end record of a task (TaskIndex -2 when there was none).
    TTerminateInfo endOf(int task);
};

// Collects the engine's log lines for its lifetime.
class LogCapture
{
public:
    LogCapture();
    ~LogCapture();
    QStringList lines() const;

private:
    mutable std::mutex m_mutex;
    QStringList m_lines;
    std::function<void(const QString &)> m_previous;
};

// Converts one file in one run; the end record of its task.
TTerminateInfo ConvertFile(const QString &source, const QString &dest, const TOutputOptions &out = TOutputOptions(),
                           const TInputOptions &in = TInputOptions());
