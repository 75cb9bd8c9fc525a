#pragma once

#include "engine/EngineTypes.h"
#include "jobs/ConversionItem.h"

#include <stdexcept>

class TAVProbe;

// A value of the settings or profile file that must be a number and is not (or a
// division that cannot be made): it ends the start of the batch.
class EConversionError : public std::runtime_error
{
public:
    explicit EConversionError(const QString &message)
        : std::runtime_error(message.toStdString())
    {}
};

// Fills the engine options of one task from the chosen format's profile section (P),
// its section in the settings file (S), the source's streams (through the open probe)
// and the item's zoom mode and crop. The run has already set OutFileName, the crop
// fields, DurationLimit, InFileName, InFormat and StartOffset. May ask the frame-size
// question through the message-box seam. Throws EConversionError.
//
// Zoom arithmetic runs in long double (x86 extended precision): the ratios rW and rH are
// kept as doubles and divided into in long double, as the numbers of the letterbox and
// pan-and-scan cases depend on it.
void BuildJob(const TlvFilesRecord &item, int formatCode, TOutputOptions &out, const TAVProbe &probe,
              TInputOptions &in);

enum class TRangeKind { AudioSampleRate, AudioBitRate, VideoBitRate };

// Whether a source value (Hz or bit/s) lies inside the range of the format's profile
// list for the kind ("SampleRate", "AudioBitRate" in kbit/s, "VideoBitRate" in kbit/s).
bool IsInProfileRange(int formatCode, TRangeKind kind, double value);

// The whole text, after optional leading blanks, is a 32-bit decimal integer.
bool IsInteger(const QString &text);
// The whole text is a real number with a point as the decimal separator.
bool IsNumber(const QString &text);
