#pragma once

#include "engine/FFmpegPtr.h"

#include <QString>
#include <QStringList>
#include <cstdint>

struct TAudioStreamInfo
{
    int64_t BitRate = -1; // bit/s; -1 when unknown
    int Channels = 0;
    int SampleRate = 0; // Hz
};

struct TVideoStreamInfo
{
    int64_t BitRate = -1; // bit/s; -1 when unknown
    int Width = 0;
    int Height = 0;
    int FrameRateNum = 0; // the frame rate as a fraction; 0/0 when unknown
    int FrameRateDen = 0;
};

// Reads the container and stream information of one media file. Pictures attached to
// audio files (cover art) do not count as video streams.
class TAVProbe
{
public:
    TAVProbe() = default;
    TAVProbe(const TAVProbe &) = delete;
    TAVProbe &operator=(const TAVProbe &) = delete;

    // Closes any open file first. False when the file cannot be read as media.
    bool Open(const QString &fileName, const QString &formatName = QString());
    void Close();
    bool IsOpen() const { return m_ctx != nullptr; }

    QString FileName() const { return m_fileName; }
    // The format name the file was opened with (empty: detected).
    QString FormatName() const { return m_formatName; }
    QString InputFormatShortName() const;

    int64_t Duration() const; // µs, -1 when unknown

    int StreamCount() const;
    int AudioStreamCount() const;
    int VideoStreamCount() const;
    int FirstAudioStreamIndex() const; // -1 when none
    int FirstVideoStreamIndex() const; // -1 when none
    bool IsAudioStream(int index) const;
    bool IsVideoStream(int index) const;

    TAudioStreamInfo AudioStreamInfo(int index) const;
    TVideoStreamInfo VideoStreamInfo(int index) const;
    TAudioStreamInfo FirstAudioStreamInfo() const { return AudioStreamInfo(FirstAudioStreamIndex()); }
    TVideoStreamInfo FirstVideoStreamInfo() const { return VideoStreamInfo(FirstVideoStreamIndex()); }

    // "Stream #0:1: Audio: mp3, 44100 Hz, stereo, fltp, 128 kb/s", one per stream.
    QString StreamDescription(int index) const;
    QString StreamDescriptions() const;

private:
    int64_t StreamBitRate(int index) const;
    const AVStream *Stream(int index) const;

    InputContextPtr m_ctx;
    QString m_fileName;
    QString m_formatName;
};

// True for a picture attached to a file (cover art), which is no video to convert.
bool IsAttachedPicture(const AVStream *stream);
