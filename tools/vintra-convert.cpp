// vintra-convert: converts files in one batch from a terminal, exactly as the program's
// Start button does, with the program's settings and format profiles.

#include "ConvertArgs.h"
#include "core/DataFiles.h"
#include "core/FormatCatalog.h"
#include "core/GlobalUnit.h"
#include "core/SettingsKeys.h"
#include "dialogs/FileInfoText.h"
#include "engine/TFFmpegVCL.h"
#include "jobs/ConversionRun.h"
#include "jobs/JobBuilder.h"
#include "platform/Paths.h"
#include "platform/Shell.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <QTimer>
#include <atomic>
#include <csignal>
#include <cstdio>
#include <mutex>
#include <unistd.h>

namespace {

std::atomic<bool> g_interrupted = false;

void OnSignal(int)
{
    g_interrupted = true;
}

void Out(const QString &line)
{
    std::fputs((line + QLatin1Char('\n')).toLocal8Bit().constData(), stdout);
    std::fflush(stdout);
}

void Err(const QString &line)
{
    std::fputs((line + QLatin1Char('\n')).toLocal8Bit().constData(), stderr);
}

// Message boxes of a terminal run: the frame-size question gets the answer from the
// command line; anything else is printed.
class TerminalShell : public platform::HeadlessShell
{
public:
    explicit TerminalShell(bool sizeYes)
        : m_sizeYes(sizeYes)
    {}
    platform::MsgAnswer messageBox(const QString &text, const QString &caption, platform::MsgButtons buttons,
                                   platform::MsgIcon) override
    {
        if (text.startsWith(QLatin1String("Error output Video Size"))) {
            Err(QStringLiteral("%1 Answered %2.").arg(text, m_sizeYes ? "yes" : "no"));
            return m_sizeYes ? platform::MsgAnswer::Yes : platform::MsgAnswer::No;
        }
        Err(caption + QStringLiteral(": ") + text);
        return buttons == platform::MsgButtons::YesNo ? platform::MsgAnswer::Yes : platform::MsgAnswer::Ok;
    }

private:
    bool m_sizeYes;
};

int Usage(const QString &error)
{
    Err(QStringLiteral("vintra-convert: ") + error);
    Err(QStringLiteral("Try vintra-convert --help."));
    return 2;
}

void PrintInfo(const QString &file, TFFmpegVCL &engine)
{
    const TFileInfoView v = ReadFileInfo(file, engine);
    Out(QStringLiteral("File Name: ") + v.FileName);
    Out(QStringLiteral("Duration: ") + v.Duration);
    Out(QStringLiteral("Format: ") + v.Format);
    Out(QStringLiteral("Resloution: ") + v.Resolution);
    Out(QStringLiteral("Bit Rate: ") + v.BitRate);
    Out(QStringLiteral("Frame Rate: ") + v.FrameRate);
    Out(QStringLiteral("Total Frame: ") + v.TotalFrame);
    Out(QStringLiteral("Audio Format: ") + v.AudioFormat);
    Out(QStringLiteral("Audio Bit Rate: ") + v.AudioBitRate);
    Out(QStringLiteral("Sample Rate: ") + v.SampleRate);
    Out(QStringLiteral("Channel: ") + v.Channel);
}

} // namespace

int main(int argc, char **argv)
{
    // Fonts for text watermarks need a GUI application, not a display.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    platform::EnsureRuntimeDir();
    QGuiApplication app(argc, argv);

    TConvertArgs args;
    if (const QString error = ParseConvertArgs(app.arguments().mid(1), args); !error.isEmpty())
        return Usage(error);
    if (args.help) {
        Out(ConvertUsage());
        return 0;
    }
    if (args.listFormats) {
        for (int code : CatalogFormatCodes())
            Out(QString::number(code) + QLatin1Char('\t') + CatalogFormatText(code));
        return 0;
    }

    InstallDataFiles(platform::DataFolder());
    CreateGlobalObject();
    TFFmpegVCL engine;
    if (!args.infoFile.isEmpty()) {
        PrintInfo(args.infoFile, engine);
        return 0;
    }

    // The chosen format and the output folder of this run live in a copy of the settings
    // file, so that the user's own is not changed.
    QTemporaryDir scratch;
    if (args.format || !args.outputDir.isEmpty()) {
        const QString copy = scratch.filePath(QStringLiteral("vintraconverter.ini"));
        if (QFile::exists(GlobalObject->SettingsFile()) && !QFile::copy(GlobalObject->SettingsFile(), copy))
            return Usage(QStringLiteral("Cannot copy the settings file to %1").arg(copy));
        GlobalObject->SetSettingsFile(copy);
        IniFile ini = GlobalObject->Settings();
        if (args.format) {
            ini.writeString(SettingsKeys::SettingsSection, SettingsKeys::FormatName, CatalogFormatText(*args.format));
            ini.writeString(SettingsKeys::SettingsSection, SettingsKeys::FormatCode, QString::number(*args.format));
        }
        if (!args.outputDir.isEmpty())
            ini.writeString(SettingsKeys::SettingsSection, SettingsKeys::OutPutDir,
                            QDir(args.outputDir).absolutePath());
    }

    TerminalShell shell(args.sizeQuestionYes);
    platform::InstallShell(&shell);

    // Add the files as "Add" does; give each its edits.
    TFileList list;
    QStringList unreadable;
    for (const QString &file : args.files) {
        const QString path = QFileInfo(file).absoluteFilePath();
        if (list.contains(path))
            continue;
        if (AddFilesToList(list, {path}, engine) == 0) {
            unreadable << path;
            continue;
        }
        TlvFilesRecord &item = *list.row(list.count() - 1).Record;
        TAVProbe probe;
        probe.Open(path);
        const TVideoStreamInfo video = probe.FirstVideoStreamInfo();
        if (const QString error = ApplyEdits(args, item, QSize(video.Width, video.Height)); !error.isEmpty())
            return Usage(error);
    }

    TTaskRows taskRows;
    std::vector<QString> destinations;
    if (list.count() > 0) {
        try {
            BuildBatch(list, engine, taskRows);
        } catch (const std::exception &e) {
            const QString source = taskRows.empty() ? QString() : list.row(taskRows.back()).Caption;
            Out(QStringLiteral("FAILED %1: %2").arg(source, QString::fromUtf8(e.what())));
            return 1;
        }
        for (size_t t = 0; t < taskRows.size(); ++t)
            destinations.push_back(engine.TaskOutputOptions(int(t))->OutFileName);
    }

    if (args.printJob) {
        for (size_t t = 0; t < taskRows.size(); ++t)
            Out(JobText(list.row(taskRows[t]).Caption, *engine.TaskInputOptions(int(t)),
                        *engine.TaskOutputOptions(int(t))));
        for (const QString &path : unreadable)
            Out(QStringLiteral("FAILED %1: not a media file that can be read").arg(path));
        return unreadable.isEmpty() ? 0 : 1;
    }

    // Run the batch.
    std::mutex mutex;
    std::vector<TTerminateInfo> ends(taskRows.size());
    bool cancelled = false;
    const bool terminal = isatty(fileno(stderr));
    ConnectFrameHook(engine, list, taskRows);
    engine.SetOnProgress([&](TFFmpegVCL *, const TProgressInfo &p) {
        const QString name = QFileInfo(list.row(taskRows[size_t(p.TaskIndex)]).Caption).fileName();
        const QString percent = p.TotalDuration > 0
                                    ? QStringLiteral("%1%").arg(p.CurrentDuration * 100 / p.TotalDuration)
                                    : QStringLiteral("?");
        const QString line = QStringLiteral("[%1/%2] %3: %4 (%5 s, %6 kb)")
                                 .arg(p.TaskIndex + 1)
                                 .arg(taskRows.size())
                                 .arg(name, percent)
                                 .arg(p.CurrentDuration / 1000000)
                                 .arg(p.CurrentSize / 1000);
        if (terminal)
            std::fprintf(stderr, "\r%s\033[K", line.toLocal8Bit().constData());
        else
            Err(line);
    });
    engine.SetOnTerminate([&](TFFmpegVCL *, const TTerminateInfo &info) {
        if (info.TaskIndex >= 0) {
            std::lock_guard lock(mutex);
            ends[size_t(info.TaskIndex)] = info;
            return;
        }
        QMetaObject::invokeMethod(&app, &QCoreApplication::quit, Qt::QueuedConnection);
    });
    std::signal(SIGINT, OnSignal);
    std::signal(SIGTERM, OnSignal);
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (g_interrupted && !cancelled) {
            cancelled = true;
            engine.Stop(false); // the run's end notification follows
        }
    });
    watch.start(100);
    if (!taskRows.empty()) {
        engine.Start(1);
        app.exec();
    }
    if (terminal && !taskRows.empty())
        std::fputs("\n", stderr);
    engine.Stop(true);

    // One line per file, in the order given.
    bool allOk = unreadable.isEmpty();
    for (const QString &file : args.files) {
        const QString path = QFileInfo(file).absoluteFilePath();
        if (unreadable.contains(path)) {
            Out(QStringLiteral("FAILED %1: not a media file that can be read").arg(path));
            continue;
        }
        for (size_t t = 0; t < taskRows.size(); ++t) {
            if (list.row(taskRows[t]).Caption != path)
                continue;
            std::lock_guard lock(mutex);
            const TTerminateInfo &end = ends[t];
            if (end.Finished) {
                Out(QStringLiteral("OK %1 -> %2").arg(path, destinations[t]));
            } else {
                allOk = false;
                Out(QStringLiteral("FAILED %1: %2")
                        .arg(path, end.Exception ? end.ExceptionMsg : QStringLiteral("stopped before it was done")));
            }
        }
    }
    platform::InstallShell(nullptr);
    FreeGlobalObject();
    return allOk ? 0 : 1;
}
