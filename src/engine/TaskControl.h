#pragma once

#include <condition_variable>
#include <mutex>

// Pause and abort requests from the user-interface thread to a running task. The
// task polls between packets; waitWhilePaused blocks it while paused.
class TaskControl
{
public:
    void pause()
    {
        std::lock_guard lock(m_mutex);
        m_paused = true;
    }
    void resume()
    {
        {
            std::lock_guard lock(m_mutex);
            m_paused = false;
        }
        m_cv.notify_all();
    }
    void abort()
    {
        {
            std::lock_guard lock(m_mutex);
            m_aborted = true;
        }
        m_cv.notify_all();
    }
    bool aborted() const
    {
        std::lock_guard lock(m_mutex);
        return m_aborted;
    }
    bool paused() const
    {
        std::lock_guard lock(m_mutex);
        return m_paused;
    }
    // Returns false when the task is to end.
    bool waitWhilePaused()
    {
        std::unique_lock lock(m_mutex);
        m_cv.wait(lock, [this] { return !m_paused || m_aborted; });
        return !m_aborted;
    }

private:
    mutable std::mutex m_mutex;
    std::condition_variable m_cv;
    bool m_paused = false;
    bool m_aborted = false;
};
