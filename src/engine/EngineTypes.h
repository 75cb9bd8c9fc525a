#pragma once

#include "platform/ThreadPriority.h"

#include <QImage>
#include <QString>
#include <cstdint>
#include <optional>
#include <stdexcept>

// Records exchanged with the conversion engine.

// Errors raised by the engine (and the player) as their own class, so that the
// application's error handler can tell them from other errors.
class EEngineError : public std::runtime_error
{
public:
    explicit EEngineError(const QString &message)
        : std::runtime_error(message.toStdString())
    {}
};

// Per-task input options.
struct TInputOptions
{
    QString InFileName;
    QString InFormat;                   // empty: detect
    std::optional<int64_t> StartOffset; // µs from the start of the source; unset: from the beginning
    QString ExtraOptions;               // lines of key=value; "vn=1" reads no video
};

// Per-task output options. -1 and empty mean "the engine's default", which is mostly
// "as the source" or "the encoder's default".
struct TOutputOptions
{
    QString OutFileName;
    QString OutFormat; // empty: from the destination's extension

    QString AudioCodecName; // empty: the container's default
    bool NoAudio = false;
    int32_t VolumeLevel = -1; // 256 = unchanged
    int32_t ChannelCount = -1;
    int32_t SampleRateHz = -1;
    int32_t AudioBitsPerSec = -1;

    QString VideoCodecName; // empty: the container's default
    QString EncoderPreset;  // named device preset, e.g. "libx264-ipod"
    bool NoVideo = false;
    QString FrameRateText; // decimal text; empty: as source
    QString FrameSizeText; // "W" "x" "H"; empty: as source
    QString AspectText;    // display aspect "W:H"; empty: as source
    int32_t CropTopRows = -1;
    int32_t CropBottomRows = -1;
    int32_t CropLeftCols = -1;
    int32_t CropRightCols = -1;
    int32_t VideoBitsPerSec = -1;
    QString FilterChain; // FFmpeg filter syntax, steps separated by ","

    bool NoSubtitles = false;
    std::optional<int64_t> DurationLimit; // µs
    int32_t TargetKind = 0;               // 0 none, 1 VCD, 2 SVCD, 3 DVD
    int32_t TargetNorm = 0;               // 0 automatic, 1 PAL, 2 NTSC
    bool HookFrames = false;

    // Encoder and multiplexer tuning, normally left alone; a disc target fills them.
    int32_t GopSize = -1;
    int32_t MaxRate = -1;    // bit/s
    int32_t MinRate = -1;    // bit/s
    int32_t BufferSize = -1; // bits
    int32_t PacketSize = -1; // bytes
    int32_t MuxRate = -1;    // bit/s
    double MuxPreload = -1;  // seconds
    bool ScanOffset = false; // SVCD scan offsets
};

struct TProgressInfo
{
    int TaskIndex = -1;
    int64_t FrameNumber = 0;
    int64_t CurrentSize = 0;     // bytes written so far
    int64_t CurrentDuration = 0; // output time reached, µs
    int64_t TotalDuration = -1;  // expected output length, µs; -1 when unknown
};

struct TTerminateInfo
{
    int TaskIndex = -1;     // -1 once after the last task of a run
    bool Finished = false;  // the task produced its output
    bool Exception = false; // the task failed
    QString ExceptionMsg;
};

// Handed to the frame hook on the task's thread. The handler draws into Bitmap;
// Update false passes the frame on as decoded, StopHook true ends hooking for the task.
struct TCustomHookInfo
{
    int TaskIndex = -1;
    QImage *Bitmap = nullptr; // 24-bit BGR at the decoded source size
    int64_t FrameNumber = 0;
    int64_t PTS = 0; // µs from the start of the source
    bool Update = true;
    bool StopHook = false;
};

struct TPreviewInfo
{
    int TaskIndex = -1;
    QImage Bitmap; // 24-bit BGR
};
