#pragma once

#include "jobs/FileList.h"
#include "platform/ThreadPriority.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

class TFFmpegVCL;

// Task index → file list row, rebuilt at each batch start.
using TTaskRows = std::vector<int32_t>;

// The longest output of any task: 30 minutes.
inline constexpr int64_t kDurationCap = int64_t(30) * 60000 * 1000;

// The thread priority for the settings key "priority": 0 idle, 1 normal, 2 lower,
// 3 lowest; anything else leaves the engine's own (nothing).
std::optional<TThreadPriority> PriorityForSetting(int value);

// The output length for a source of duration D with trim length L (both µs, 0 or less
// for none): capped at 30 minutes when the source is longer than that.
std::optional<int64_t> DurationLimitFor(int64_t duration, int64_t trimLength);

// What "Start" does before the progress window opens: sets the engine's priority, warns
// and returns false when no row is checked, and otherwise turns every checked row into
// an engine task (probe, trim, destination, zoom mode, crop, duration cap, job, hook
// decision, output), filling taskRows. Destinations are unique within the batch as
// well as against existing files. stopPreview is called before the engine's tasks are
// cleared. Throws EConversionError (from the job builder) or EEngineError; the tasks
// added so far then stay queued.
bool BuildBatch(TFileList &list, TFFmpegVCL &engine, TTaskRows &taskRows,
                const std::function<void()> &stopPreview = {});

// Connects the engine's frame hook to the items: for task t, the item of row
// taskRows[t] gets its picture adjustments and watermarks drawn into every frame. The
// list and the table must not change while tasks run.
void ConnectFrameHook(TFFmpegVCL &engine, const TFileList &list, const TTaskRows &taskRows);
