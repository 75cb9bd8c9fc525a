#include "jobs/ConversionRun.h"

#include "core/FormatCatalog.h"
#include "core/GlobalUnit.h"
#include "core/SettingsKeys.h"
#include "engine/TFFmpegVCL.h"
#include "jobs/JobBuilder.h"
#include "platform/Shell.h"

std::optional<TThreadPriority> PriorityForSetting(int value)
{
    switch (value) {
    case 0:
        return TThreadPriority::Idle;
    case 1:
        return TThreadPriority::Normal;
    case 2:
        return TThreadPriority::Lower;
    case 3:
        return TThreadPriority::Lowest;
    default:
        return std::nullopt;
    }
}

std::optional<int64_t> DurationLimitFor(int64_t duration, int64_t trimLength)
{
    if (duration > kDurationCap)
        return trimLength > 0 && trimLength <= kDurationCap ? trimLength : kDurationCap;
    if (trimLength > 0)
        return trimLength;
    return std::nullopt;
}

bool BuildBatch(TFileList &list, TFFmpegVCL &engine, TTaskRows &taskRows, const std::function<void()> &stopPreview)
{
    const IniFile settings = GlobalObject->Settings();
    if (const auto priority =
            PriorityForSetting(settings.readInteger(SettingsKeys::SettingsSection, SettingsKeys::Priority, 1)))
        engine.SetThreadPriority(*priority);

    if (list.checkedCount() == 0) {
        platform::MessageBox(QStringLiteral("Please select a file by clicking the check box!"),
                             QStringLiteral("Warning"), platform::MsgButtons::Ok, platform::MsgIcon::Warning);
        return false;
    }

    taskRows.clear();
    taskRows.reserve(size_t(list.checkedCount()));
    if (stopPreview)
        stopPreview();
    engine.ClearTasks();

    QSet<QString> taken; // destinations of this batch
    for (int row = 0; row < list.count(); ++row) {
        TFileRow &r = list.row(row);
        if (!r.Checked)
            continue;
        TlvFilesRecord &item = *r.Record;
        taskRows.push_back(row);

        TInputOptions in;
        in.InFileName = r.Caption;
        TAVProbe &probe = engine.AVProbe();
        if (!probe.Open(r.Caption))
            throw EConversionError(
                QStringLiteral("Cannot open %1: the file is gone or is no longer a media file").arg(r.Caption));
        in.InFormat = probe.FormatName();
        if (item.TrimStart >= 0)
            in.StartOffset = item.TrimStart;

        const int code = ReadFormatCode(1);
        const QString ext =
            QLatin1Char('.') + GlobalObject->Formats().readString(FormatSection(code), "FileExt", "mp4");
        const QString dest = BuildOutputName(probe.FileName(), ext, &taken);
        item.ZoomMode = GlobalObject->Settings().readString(FormatSection(code), "parazoom", "lbox");

        TOutputOptions out;
        out.OutFileName = dest;
        if (item.CropTop > 0 || item.CropBottom > 0 || item.CropLeft > 0 || item.CropRight > 0) {
            out.CropTopRows = item.CropTop;
            out.CropBottomRows = item.CropBottom;
            out.CropLeftCols = item.CropLeft;
            out.CropRightCols = item.CropRight;
        }
        out.DurationLimit = DurationLimitFor(probe.Duration(), item.TrimLength);

        BuildJob(item, ReadFormatCode(1), out, probe, in);
        const int task = engine.AddTask(in.InFileName, in);
        if (task < 0)
            throw EConversionError(QStringLiteral("Cannot open %1").arg(in.InFileName));
        out.HookFrames = HookFrames(item.Edits());
        engine.SetOutputFile(task, dest, out);
        probe.Close();
    }
    return true;
}

void ConnectFrameHook(TFFmpegVCL &engine, const TFileList &list, const TTaskRows &taskRows)
{
    engine.SetOnCustomHook([&list, &taskRows](TFFmpegVCL *, TCustomHookInfo &info) {
        if (info.TaskIndex < 0 || size_t(info.TaskIndex) >= taskRows.size())
            return;
        const TlvFilesRecord &item = *list.row(taskRows[size_t(info.TaskIndex)]).Record;
        ProcessHookedFrame(item.Edits(), *info.Bitmap, info.PTS);
    });
}
