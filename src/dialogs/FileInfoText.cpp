#include "dialogs/FileInfoText.h"

#include "engine/TFFmpegVCL.h"

#include <QFileInfo>
#include <cmath>

QString ShortFileName(const QString &path)
{
    if (path.size() < 46)
        return path;
    const qsizetype dot = path.lastIndexOf(QLatin1Char('.'));
    const QString extension = dot >= 0 ? path.mid(dot) : QString();
    return path.left(40) + QStringLiteral("..") + extension + QStringLiteral("  ");
}

QString DurationText(int64_t us)
{
    if (us < 0)
        us = 0; // unknown
    return QStringLiteral("%1.%2 Second").arg(us / 1000000).arg((us / 1000) % 1000, 3, 10, QLatin1Char('0'));
}

QString AudioFormatOf(const QString &description)
{
    const qsizetype at = description.indexOf(QStringLiteral("Audio:"));
    if (at < 0)
        return QString();
    const qsizetype comma = description.indexOf(QLatin1Char(','), at);
    const qsizetype from = at + 7;
    return comma < 0 ? description.mid(from) : description.mid(from, comma - from);
}

TFileInfoView ReadFileInfo(const QString &sourceFile, TFFmpegVCL &engine)
{
    TFileInfoView view;
    engine.ClearTasks();
    TInputOptions in;
    in.InFileName = sourceFile;
    if (engine.AddTask(sourceFile, in) < 0)
        return view;
    TAVProbe &probe = engine.AVProbe();
    if (!probe.Open(sourceFile))
        return view;
    view.Opened = true;
    // Audio files are described too (name, duration, format, sound); only their video
    // boxes stay empty.
    view.FileName = ShortFileName(sourceFile);
    view.Duration = DurationText(probe.Duration());
    view.Format = probe.InputFormatShortName();

    const int video = probe.FirstVideoStreamIndex();
    if (probe.IsVideoStream(video)) {
        const TVideoStreamInfo v = probe.VideoStreamInfo(video);
        view.Resolution = QStringLiteral("%1x%2").arg(v.Width).arg(v.Height);
        view.BitRate = v.BitRate > 0 ? QString::number(v.BitRate) : QString();
        view.FrameRate = QString::number(v.FrameRateNum);
        // The number of pictures (the frame rate's denominator says little to anyone).
        if (v.FrameRateDen > 0 && probe.Duration() > 0)
            view.TotalFrame =
                QString::number(std::llround(probe.Duration() / 1e6 * v.FrameRateNum / double(v.FrameRateDen)));
    }
    const int audio = probe.FirstAudioStreamIndex();
    if (probe.IsAudioStream(audio)) {
        const TAudioStreamInfo a = probe.AudioStreamInfo(audio);
        view.AudioBitRate = a.BitRate > 0 ? QString::number(a.BitRate) : QString();
        view.SampleRate = QString::number(a.SampleRate);
        view.Channel = QString::number(a.Channels);
        view.AudioFormat = AudioFormatOf(probe.StreamDescriptions());
    }
    probe.Close();
    engine.ClearTasks();
    return view;
}
