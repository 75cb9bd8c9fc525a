#pragma once

#include <QString>
#include <cstdint>

class TFFmpegVCL;

// What the media information dialog shows for a file, as texts, without the dialog.
struct TFileInfoView
{
    bool Opened = false; // the probe could read the file
    QString FileName;    // shortened for the label
    QString Duration;    // "83.040 Second"
    // Video group
    QString Format; // the container's short name
    QString Resolution, BitRate, FrameRate, TotalFrame;
    // Audio group
    QString AudioFormat, AudioBitRate, SampleRate, Channel;
};

// Reads the file through the engine's probe (the engine's tasks are removed first).
TFileInfoView ReadFileInfo(const QString &sourceFile, TFFmpegVCL &engine);

// The path whole when shorter than 46 characters, else its first 40, "..", its
// extension and two blanks.
QString ShortFileName(const QString &path);
// d div 1000000 "." (d div 1000) mod 1000 in three digits " Second"; -1 reads 0.000.
QString DurationText(int64_t us);
// The codec name in a stream description: after "Audio:" and a blank, up to the comma.
QString AudioFormatOf(const QString &description);
