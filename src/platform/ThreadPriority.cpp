#include "platform/ThreadPriority.h"

#include <pthread.h>
#include <sched.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace platform {

bool SetCurrentThreadPriority(TThreadPriority priority)
{
    const pid_t tid = pid_t(syscall(SYS_gettid));
    sched_param param{};
    param.sched_priority = 0;
    const int policy = priority == TThreadPriority::Idle ? SCHED_IDLE : SCHED_OTHER;
    if (pthread_setschedparam(pthread_self(), policy, &param) != 0)
        return false;
    int nice = 0;
    if (priority == TThreadPriority::Lower)
        nice = 5;
    else if (priority == TThreadPriority::Lowest)
        nice = 10;
    return priority == TThreadPriority::Idle || setpriority(PRIO_PROCESS, id_t(tid), nice) == 0;
}

} // namespace platform
