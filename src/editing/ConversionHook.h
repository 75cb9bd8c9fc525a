#pragma once

#include "editing/WaterMark.h"

#include <QImage>
#include <cstdint>

// What the conversion frame hook needs of a conversion item: its four picture
// adjustments and its watermarks.
struct TFrameEdits
{
    int32_t Brightness = 255;
    int32_t Contrast = 0;
    int32_t Saturation = 255;
    int32_t Exposure = 0;
    const TWaterMarks *WaterMarks = nullptr;
};

// Whether a task needs the hook at all: an adjustment away from neutral, or a first
// watermark with a text or a file name (only element 0 is looked at).
bool HookFrames(const TFrameEdits &edits);

// The work done on each frame of a hooked task: the colour step, the exposure step and
// the watermarks, in that order, each on its own condition. ptsUs is the frame's time
// in the source. An unreadable image watermark throws EWatermarkError; the frame may
// then be half done, and the engine passes on the frame as it was decoded.
void ProcessHookedFrame(const TFrameEdits &edits, QImage &frame, int64_t ptsUs);
