#pragma once

#include "engine/EngineTypes.h"
#include "engine/TAVProbe.h"

#include <QObject>
#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

class TaskControl;

// The conversion engine: a queue of tasks (one source file and one destination each),
// run in order on threads of their own.
//
// Threads: the object lives on the user-interface thread, and every operation is called
// from there. Start() runs a coordinating thread that starts each task on a thread of
// its own (at most n at once). OnProgress and OnPreviewBitmap are delivered on the
// user-interface thread through its event loop; OnTerminate runs on the thread of the
// task that ended, and once with task index -1 on the coordinating thread after the
// last task; OnCustomHook runs on the task's thread.
//
// Locks: m_mutex guards the task list, the running flag, the handlers and the task
// controls of the tasks running now; handlers are copied out under it and called
// without it. While a run is under way the task list cannot change (ClearTasks and
// RemoveTask are refused), and each running task works on its own copy of its options.
class TFFmpegVCL : public QObject
{
    Q_OBJECT
public:
    explicit TFFmpegVCL(QObject *parent = nullptr);
    // Stops a run that is under way and waits for it.
    ~TFFmpegVCL() override;

    // The libraries are linked in: loading succeeds when they work.
    bool AVLibLoaded() const;
    bool LoadAVLib(const QString &folder);

    // Refused while tasks run, with "Cannot ClearTasks while working."
    void ClearTasks();
    // Index of the new task, or -1 when the file cannot be opened as media.
    int AddTask(const QString &fileName, const TInputOptions &options = TInputOptions());
    // The probe of a task's input (input 0); null for an unknown task.
    TAVProbe *TaskProbe(int task, int input = 0);
    void RemoveTask(int task);
    bool SetOutputFile(int task, const QString &fileName, const TOutputOptions &options);
    int TaskCount() const;
    // The options a task was given (nothing for an unknown task).
    std::optional<TInputOptions> TaskInputOptions(int task) const;
    std::optional<TOutputOptions> TaskOutputOptions(int task) const;

    // Runs the queued tasks in order, at most maxParallel at once.
    void Start(int maxParallel);
    void Pause();
    void Resume();
    bool Paused() const;
    // Ends every task; queued ones never start. With wait, returns after all have ended
    // (handling the events meant for this thread meanwhile).
    void Stop(bool wait);
    bool Working() const;

    TThreadPriority ThreadPriority() const;
    void SetThreadPriority(TThreadPriority priority);
    bool PreviewBitmap() const;
    void SetPreviewBitmap(bool on);

    // The engine's own probe, for the caller's use.
    TAVProbe &AVProbe() { return m_probe; }

    using ProgressHandler = std::function<void(TFFmpegVCL *, const TProgressInfo &)>;
    using TerminateHandler = std::function<void(TFFmpegVCL *, const TTerminateInfo &)>;
    using CustomHookHandler = std::function<void(TFFmpegVCL *, TCustomHookInfo &)>;
    using PreviewHandler = std::function<void(TFFmpegVCL *, const TPreviewInfo &)>;
    void SetOnProgress(ProgressHandler handler);
    void SetOnTerminate(TerminateHandler handler);
    void SetOnCustomHook(CustomHookHandler handler);
    void SetOnPreviewBitmap(PreviewHandler handler);

private:
    struct Task
    {
        QString fileName;
        TInputOptions input;
        TOutputOptions output;
        bool outputSet = false;
        std::unique_ptr<TAVProbe> probe;
    };
    struct RunItem
    {
        int index;
        TInputOptions input;
        TOutputOptions output;
        bool outputSet;
    };

    void RunAll(std::vector<RunItem> items, int maxParallel);
    void RunTask(const RunItem &item, const std::shared_ptr<TaskControl> &control);
    void RaiseTerminate(const TTerminateInfo &info);
    void JoinCoordinator();
    // A copy of a handler taken under the lock, to be called without it.
    template <typename Handler> Handler Current(const Handler &handler) const
    {
        std::lock_guard lock(m_mutex);
        return handler;
    }

    mutable std::mutex m_mutex;
    std::condition_variable m_runEnded;
    std::vector<std::unique_ptr<Task>> m_tasks;
    std::vector<std::shared_ptr<TaskControl>> m_running;
    std::thread m_coordinator;
    bool m_working = false;
    bool m_stopping = false;
    bool m_paused = false;
    TThreadPriority m_priority = TThreadPriority::Normal;
    bool m_previewBitmap = false;
    ProgressHandler m_onProgress;
    TerminateHandler m_onTerminate;
    CustomHookHandler m_onCustomHook;
    PreviewHandler m_onPreview;
    TAVProbe m_probe;
};
