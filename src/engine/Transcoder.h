#pragma once

#include "engine/EngineTypes.h"
#include "engine/TaskControl.h"

#include <functional>

extern "C" {
#include <libavutil/rational.h>
}

struct AVFrame;

// One conversion task, run from start to end on the calling thread.
//
// Picture path, in this order:
//   decode -> frame hook -> engine crop (the four crop fields) -> scale to FrameSizeText
//   -> FilterChain -> frame rate -> even size for subsampled formats -> display aspect
//   -> the encoder's pixel format -> encode.
// The scale to FrameSizeText comes before FilterChain, as in the classic FFmpeg tool,
// because the job builder's letterbox sets FrameSizeText to the picture's inner size
// and pads it to the full target in the chain ("scale=Wi:Hi" then "pad=W:H:L:T"), and
// pan and scan crops with the crop fields before scaling to the target. A letterbox
// with a crop rectangle carries "crop=...,scale=...,pad=..." in the chain and leaves
// FrameSizeText empty; its crop step then meets a picture the crop fields already cut
// to that very size, and FFmpeg's crop, which keeps its window inside the picture, takes
// it whole: the picture is cut once, as intended.
//
// Sound path: decode -> cut to the start offset and duration limit (sample exact) ->
// volume -> sample rate, channels, sample format and frame size of the encoder -> encode.
//
// Times: StartOffset and every time handed out count from the start of the source;
// the output starts at 0. The frame hook's PTS is the frame's time in the source, so
// that it stays the same whatever part of the source is converted.
struct TranscodeHooks
{
    // About every 500 ms (task thread).
    std::function<void(const TProgressInfo &)> progress;
    // Each decoded video frame that will be converted, before crop, filters and scaling.
    // It may change the pixels (make the frame writable first), never size or format.
    // frameNumber counts the task's frames from 0; ptsUs is the time in the source.
    std::function<void(AVFrame *frame, int64_t frameNumber, int64_t ptsUs)> videoFrame;
    // Each decoded video frame after the hook (task thread).
    std::function<void(const AVFrame *frame)> convertedFrame;
};

struct TranscodeResult
{
    bool ok = false;
    bool aborted = false;
    QString error;
};

// Writes into a temporary file beside the destination and renames it over the
// destination only when everything succeeded; otherwise nothing is left behind.
TranscodeResult Transcode(int taskIndex, const TInputOptions &input, const TOutputOptions &output, TaskControl &control,
                          const TranscodeHooks &hooks);

// FilterChain in FFmpeg's filter syntax, except that a "crop=" step with four plain
// numbers gives them in the option records' order (left, top, width, height); such steps
// are rewritten into FFmpeg's order (width, height, x, y).
QString TranslateFilterChain(const QString &chain);

// The filter description of the picture path above for a source of the given size (a
// plain function so that the order can be checked without media).
QString VideoFilterDescription(const TOutputOptions &options, int sourceWidth, int sourceHeight, AVRational rate,
                               int outputFormat);
