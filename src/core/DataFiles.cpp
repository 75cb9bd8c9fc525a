#include "core/DataFiles.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>

namespace {

bool InstallOne(const QString &resource, const QString &target)
{
    if (QFile::exists(target))
        return true;
    QFile in(resource);
    if (!in.open(QIODevice::ReadOnly))
        return false;
    // Written through a temporary file so that an interrupted copy leaves nothing that
    // would later pass for the user's own file.
    QSaveFile out(target);
    if (!out.open(QIODevice::WriteOnly))
        return false;
    out.write(in.readAll());
    return out.commit();
}

} // namespace

bool InstallDataFiles(const QString &dataFolder)
{
    const QString dir = dataFolder.isEmpty() ? QStringLiteral(".") : dataFolder;
    if (!QDir().mkpath(dir))
        return false;
    const bool formats =
        InstallOne(QStringLiteral(":/vintra/vintraformat.ini"), QDir(dir).filePath("vintraformat.ini"));
    const bool settings =
        InstallOne(QStringLiteral(":/vintra/vintraconverter.ini"), QDir(dir).filePath("vintraconverter.ini"));
    return formats && settings;
}
