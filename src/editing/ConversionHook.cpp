#include "editing/ConversionHook.h"

#include "editing/VideoEffects.h"

bool HookFrames(const TFrameEdits &e)
{
    if (e.Brightness != 255 || e.Contrast != 0 || e.Saturation != 255 || e.Exposure != 0)
        return true;
    if (!e.WaterMarks || e.WaterMarks->empty() || !e.WaterMarks->front())
        return false;
    const TWmRec &first = *e.WaterMarks->front();
    return !first.Text.isEmpty() || !first.ImageFile.isEmpty();
}

void ProcessHookedFrame(const TFrameEdits &e, QImage &frame, int64_t ptsUs)
{
    if (e.Brightness != 255 || e.Contrast != 0 || e.Saturation != 255)
        AdjustColor(frame, e.Brightness, e.Contrast, e.Saturation);
    if (e.Exposure != 0)
        AdjustExposure(frame, float(e.Exposure));
    if (e.WaterMarks)
        DrawWaterMarks(frame, *e.WaterMarks, ptsUs);
}
