#include "jobs/FileList.h"

#include "core/FormatCatalog.h"
#include "core/GlobalUnit.h"
#include "engine/TFFmpegVCL.h"

#include <QFileInfo>

bool TFileList::contains(const QString &caption) const
{
    for (const TFileRow &r : m_rows)
        if (r.Caption == caption)
            return true;
    return false;
}

int TFileList::checkedCount() const
{
    int n = 0;
    for (const TFileRow &r : m_rows)
        n += r.Checked;
    return n;
}

int AddFilesToList(TFileList &list, const QStringList &paths, TFFmpegVCL &engine)
{
    if (!engine.LoadAVLib(QStringLiteral("LibAV")))
        return 0;
    engine.ClearTasks();
    const int code = ReadFormatCode(1);
    const QString extension = GlobalObject->Formats().readString(FormatSection(code), "FileExt", "mp4");
    const QString zoom = GlobalObject->Settings().readString(FormatSection(code), "parazoom", "lbox");
    int added = 0;
    for (const QString &path : paths) {
        const QFileInfo info(path);
        if (!info.exists() || info.isDir() || !info.isReadable())
            continue;
        if (list.contains(path))
            continue;
        const QString dest = BuildOutputName(path, QStringLiteral("_ipod.") + extension);
        TInputOptions in;
        in.InFileName = path;
        const int task = engine.AddTask(path, in);
        if (task < 0)
            continue;
        const int64_t duration = engine.TaskProbe(task)->Duration();
        const int32_t seconds = int32_t(duration / 1000000);
        TFileRow row;
        row.Caption = path;
        row.Checked = true;
        row.SubItems = {QString::number(seconds), QString::number(seconds), QFileInfo(dest).fileName(), QString()};
        row.Record = std::make_unique<TlvFilesRecord>();
        row.Record->SourceFile = path;
        row.Record->DestFile = dest;
        row.Record->DurationSec = seconds;
        row.Record->ZoomMode = zoom;
        list.append(std::move(row));
        ++added;
        engine.RemoveTask(task);
        engine.ClearTasks();
    }
    return added;
}
