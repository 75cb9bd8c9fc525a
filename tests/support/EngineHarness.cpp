#include "EngineHarness.h"

#include "engine/EngineLog.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QThread>
#include <QTimer>

EngineHarness::EngineHarness()
{
    clock.start();
    engine.SetOnProgress([this](TFFmpegVCL *, const TProgressInfo &info) {
        std::lock_guard lock(mutex);
        if (QThread::currentThread() != QCoreApplication::instance()->thread())
            progressOffUiThread = true;
        progress.push_back(info);
        progressAtMs.push_back(clock.elapsed());
    });
    engine.SetOnTerminate([this](TFFmpegVCL *, const TTerminateInfo &info) {
        std::lock_guard lock(mutex);
        ends.push_back(info);
        if (info.TaskIndex < 0)
            runEnded = true;
    });
}

int EngineHarness::add(const QString &source, const QString &dest, const TOutputOptions &out, TInputOptions in)
{
    in.InFileName = source;
    const int task = engine.AddTask(source, in);
    if (task >= 0)
        engine.SetOutputFile(task, dest, out);
    return task;
}

bool EngineHarness::runToEnd(int timeoutMs)
{
    engine.Start(1);
    QElapsedTimer t;
    t.start();
    for (;;) {
        {
            std::lock_guard lock(mutex);
            if (runEnded)
                break;
        }
        if (t.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(2);
    }
    // The run's end arrives on the engine thread: let queued progress reach us too, and the
    // coordinating thread finish.
    wait(20);
    for (int i = 0; i < 100 && engine.Working(); ++i)
        wait(10);
    return !engine.Working();
}

void EngineHarness::wait(int ms)
{
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(1);
    }
}

TTerminateInfo EngineHarness::endOf(int task)
{
    std::lock_guard lock(mutex);
    for (const TTerminateInfo &e : ends)
        if (e.TaskIndex == task)
            return e;
    TTerminateInfo none;
    none.TaskIndex = -2;
    return none;
}

TTerminateInfo ConvertFile(const QString &source, const QString &dest, const TOutputOptions &out,
                           const TInputOptions &in)
{
    EngineHarness h;
    const int task = h.add(source, dest, out, in);
    if (task < 0) {
        TTerminateInfo none;
        none.TaskIndex = -2;
        none.ExceptionMsg = "AddTask refused the source";
        return none;
    }
    if (!h.runToEnd()) {
        TTerminateInfo none;
        none.TaskIndex = -2;
        none.ExceptionMsg = "timed out";
        return none;
    }
    return h.endOf(task);
}

LogCapture::LogCapture()
{
    m_previous = SetEngineLogHandler([this](const QString &line) {
        std::lock_guard lock(m_mutex);
        m_lines << line;
    });
}

LogCapture::~LogCapture()
{
    SetEngineLogHandler(m_previous);
}

QStringList LogCapture::lines() const
{
    std::lock_guard lock(m_mutex);
    return m_lines;
}
