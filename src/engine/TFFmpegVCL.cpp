#include "engine/TFFmpegVCL.h"

#include "engine/EngineLog.h"
#include "engine/FrameBgr.h"
#include "engine/FrameHook.h"
#include "engine/TaskControl.h"
#include "engine/Transcoder.h"

#include <QCoreApplication>
#include <QThread>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

TFFmpegVCL::TFFmpegVCL(QObject *parent)
    : QObject(parent)
{
    InstallFFmpegLog();
}

TFFmpegVCL::~TFFmpegVCL()
{
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
        for (auto &control : m_running)
            control->abort();
    }
    JoinCoordinator();
}

bool TFFmpegVCL::AVLibLoaded() const
{
    return avformat_version() > 0 && avcodec_version() > 0;
}

bool TFFmpegVCL::LoadAVLib(const QString &)
{
    InstallFFmpegLog();
    return AVLibLoaded();
}

void TFFmpegVCL::ClearTasks()
{
    std::lock_guard lock(m_mutex);
    if (m_working)
        throw EEngineError(QStringLiteral("Cannot ClearTasks while working."));
    m_tasks.clear();
}

int TFFmpegVCL::AddTask(const QString &fileName, const TInputOptions &options)
{
    auto task = std::make_unique<Task>();
    task->probe = std::make_unique<TAVProbe>();
    if (!task->probe->Open(fileName, options.InFormat))
        return -1;
    task->fileName = fileName;
    task->input = options;
    task->input.InFileName = fileName;
    std::lock_guard lock(m_mutex);
    m_tasks.push_back(std::move(task));
    return int(m_tasks.size()) - 1;
}

TAVProbe *TFFmpegVCL::TaskProbe(int task, int input)
{
    std::lock_guard lock(m_mutex);
    if (input != 0 || task < 0 || task >= int(m_tasks.size()))
        return nullptr;
    return m_tasks[size_t(task)]->probe.get();
}

void TFFmpegVCL::RemoveTask(int task)
{
    std::lock_guard lock(m_mutex);
    if (m_working)
        throw EEngineError(QStringLiteral("Cannot RemoveTask while working."));
    if (task >= 0 && task < int(m_tasks.size()))
        m_tasks.erase(m_tasks.begin() + task);
}

bool TFFmpegVCL::SetOutputFile(int task, const QString &fileName, const TOutputOptions &options)
{
    std::lock_guard lock(m_mutex);
    if (m_working || task < 0 || task >= int(m_tasks.size()) || fileName.isEmpty())
        return false;
    Task &t = *m_tasks[size_t(task)];
    t.output = options;
    t.output.OutFileName = fileName;
    t.outputSet = true;
    return true;
}

std::optional<TInputOptions> TFFmpegVCL::TaskInputOptions(int task) const
{
    std::lock_guard lock(m_mutex);
    if (task < 0 || task >= int(m_tasks.size()))
        return std::nullopt;
    return m_tasks[size_t(task)]->input;
}

std::optional<TOutputOptions> TFFmpegVCL::TaskOutputOptions(int task) const
{
    std::lock_guard lock(m_mutex);
    if (task < 0 || task >= int(m_tasks.size()) || !m_tasks[size_t(task)]->outputSet)
        return std::nullopt;
    return m_tasks[size_t(task)]->output;
}

int TFFmpegVCL::TaskCount() const
{
    std::lock_guard lock(m_mutex);
    return int(m_tasks.size());
}

void TFFmpegVCL::Start(int maxParallel)
{
    std::vector<RunItem> items;
    {
        std::lock_guard lock(m_mutex);
        if (m_working)
            return;
        for (size_t i = 0; i < m_tasks.size(); ++i) {
            Task &t = *m_tasks[i];
            items.push_back(RunItem{int(i), t.input, t.output, t.outputSet});
            // The task opens the file again when it runs; the probe's copy is not needed.
            t.probe->Close();
        }
        m_working = true;
        m_stopping = false;
    }
    JoinCoordinator();
    m_coordinator = std::thread(&TFFmpegVCL::RunAll, this, std::move(items), std::max(1, maxParallel));
}

void TFFmpegVCL::RunAll(std::vector<RunItem> items, int maxParallel)
{
    std::vector<std::thread> threads;
    int active = 0;
    std::mutex activeMutex;
    std::condition_variable activeChanged;
    for (const RunItem &item : items) {
        {
            std::unique_lock lock(activeMutex);
            activeChanged.wait(lock, [&] { return active < maxParallel; });
        }
        auto control = std::make_shared<TaskControl>();
        {
            std::lock_guard lock(m_mutex);
            if (m_stopping)
                break;
            if (m_paused)
                control->pause();
            m_running.push_back(control);
        }
        {
            std::lock_guard lock(activeMutex);
            ++active;
        }
        threads.emplace_back([this, item, control, &active, &activeMutex, &activeChanged] {
            RunTask(item, control);
            {
                std::lock_guard lock(m_mutex);
                std::erase(m_running, control);
            }
            std::lock_guard lock(activeMutex);
            --active;
            activeChanged.notify_all();
        });
    }
    for (std::thread &t : threads)
        t.join();

    TTerminateInfo end;
    end.TaskIndex = -1;
    end.Finished = true;
    RaiseTerminate(end);
    {
        std::lock_guard lock(m_mutex);
        m_working = false;
    }
    m_runEnded.notify_all();
}

void TFFmpegVCL::RunTask(const RunItem &item, const std::shared_ptr<TaskControl> &control)
{
    // Before any codec starts its own threads: they inherit the priority.
    platform::SetCurrentThreadPriority(ThreadPriority());

    TranscodeHooks hooks;
    FrameHookBridge bridge(item.index);
    if (item.output.HookFrames) {
        hooks.videoFrame = [this, &bridge](AVFrame *frame, int64_t number, int64_t pts) {
            if (const CustomHookHandler handler = Current(m_onCustomHook))
                bridge.run(frame, number, pts, [&](TCustomHookInfo &info) { handler(this, info); });
        };
    }
    if (PreviewBitmap()) {
        // A few pictures a second, never more than one on its way to the UI thread.
        auto reader = std::make_shared<BgrReader>();
        auto inFlight = std::make_shared<std::atomic<bool>>(false);
        auto last = std::make_shared<std::chrono::steady_clock::time_point>();
        hooks.convertedFrame = [this, reader, inFlight, last, index = item.index](const AVFrame *frame) {
            const auto now = std::chrono::steady_clock::now();
            if (now - *last < std::chrono::milliseconds(250) || inFlight->load())
                return;
            *last = now;
            TPreviewInfo info;
            info.TaskIndex = index;
            if (!reader->read(frame, info.Bitmap))
                return;
            inFlight->store(true);
            QMetaObject::invokeMethod(
                this,
                [this, info, inFlight] {
                    inFlight->store(false);
                    if (const PreviewHandler handler = Current(m_onPreview))
                        handler(this, info);
                },
                Qt::QueuedConnection);
        };
    }
    hooks.progress = [this](const TProgressInfo &info) {
        QMetaObject::invokeMethod(
            this,
            [this, info] {
                if (const ProgressHandler handler = Current(m_onProgress))
                    handler(this, info);
            },
            Qt::QueuedConnection);
    };

    TTerminateInfo end;
    end.TaskIndex = item.index;
    if (!item.outputSet) {
        end.Exception = true;
        end.ExceptionMsg = QStringLiteral("No output file was set for %1").arg(item.input.InFileName);
    } else {
        const TranscodeResult result = Transcode(item.index, item.input, item.output, *control, hooks);
        end.Finished = result.ok;
        end.Exception = !result.ok && !result.aborted;
        end.ExceptionMsg = result.error;
        if (end.Exception)
            EngineLog(result.error);
    }
    RaiseTerminate(end);
}

void TFFmpegVCL::RaiseTerminate(const TTerminateInfo &info)
{
    if (const TerminateHandler handler = Current(m_onTerminate))
        handler(this, info);
}

void TFFmpegVCL::Pause()
{
    std::lock_guard lock(m_mutex);
    m_paused = true;
    for (auto &control : m_running)
        control->pause();
}

void TFFmpegVCL::Resume()
{
    std::lock_guard lock(m_mutex);
    m_paused = false;
    for (auto &control : m_running)
        control->resume();
}

bool TFFmpegVCL::Paused() const
{
    std::lock_guard lock(m_mutex);
    return m_paused;
}

void TFFmpegVCL::Stop(bool wait)
{
    {
        std::lock_guard lock(m_mutex);
        if (!m_working)
            return;
        m_stopping = true;
        m_paused = false;
        for (auto &control : m_running)
            control->abort();
    }
    if (!wait)
        return;
    // Events meant for this thread (progress, and whatever the end handlers post) keep
    // flowing while we wait, so that a handler waiting on this thread cannot deadlock.
    const bool pump = QCoreApplication::instance() && QThread::currentThread() == thread();
    std::unique_lock lock(m_mutex);
    while (m_working) {
        if (pump) {
            lock.unlock();
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
            lock.lock();
            m_runEnded.wait_for(lock, std::chrono::milliseconds(5));
        } else {
            m_runEnded.wait(lock);
        }
    }
    lock.unlock();
    JoinCoordinator();
}

bool TFFmpegVCL::Working() const
{
    std::lock_guard lock(m_mutex);
    return m_working;
}

void TFFmpegVCL::JoinCoordinator()
{
    if (m_coordinator.joinable() && m_coordinator.get_id() != std::this_thread::get_id())
        m_coordinator.join();
}

TThreadPriority TFFmpegVCL::ThreadPriority() const
{
    std::lock_guard lock(m_mutex);
    return m_priority;
}

void TFFmpegVCL::SetThreadPriority(TThreadPriority priority)
{
    std::lock_guard lock(m_mutex);
    m_priority = priority;
}

bool TFFmpegVCL::PreviewBitmap() const
{
    std::lock_guard lock(m_mutex);
    return m_previewBitmap;
}

void TFFmpegVCL::SetPreviewBitmap(bool on)
{
    std::lock_guard lock(m_mutex);
    m_previewBitmap = on;
}

void TFFmpegVCL::SetOnProgress(ProgressHandler handler)
{
    std::lock_guard lock(m_mutex);
    m_onProgress = std::move(handler);
}

void TFFmpegVCL::SetOnTerminate(TerminateHandler handler)
{
    std::lock_guard lock(m_mutex);
    m_onTerminate = std::move(handler);
}

void TFFmpegVCL::SetOnCustomHook(CustomHookHandler handler)
{
    std::lock_guard lock(m_mutex);
    m_onCustomHook = std::move(handler);
}

void TFFmpegVCL::SetOnPreviewBitmap(PreviewHandler handler)
{
    std::lock_guard lock(m_mutex);
    m_onPreview = std::move(handler);
}
