#include "platform/Paths.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

QString DataFolder()
{
    const QString base = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    if (base.isEmpty())
        return QString();
    return WithTrailingSeparator(QDir::toNativeSeparators(base) + NativeSeparator() + QStringLiteral("vintra"));
}

QString ProfileFolder()
{
    QString profile = qEnvironmentVariable("USERPROFILE");
    if (profile.isEmpty())
        profile = qEnvironmentVariable("HOME");
    return QDir::toNativeSeparators(profile);
}

QString ProfileFallbackDir()
{
    return ProfileFolder() + NativeSeparator() + QStringLiteral("videoconverter");
}

QString DefaultOutputDir()
{
#ifdef Q_OS_WIN
    return QStringLiteral("c:\\videoconverter");
#else
    return QDir::toNativeSeparators(qEnvironmentVariable("HOME")) + NativeSeparator() +
           QStringLiteral("videoconverter");
#endif
}

QString WithTrailingSeparator(const QString &dir)
{
    if (dir.endsWith(NativeSeparator()))
        return dir;
    return dir + NativeSeparator();
}

QChar NativeSeparator()
{
    return QDir::separator();
}

void EnsureRuntimeDir()
{
    if (!qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR"))
        return;
    const QByteArray dir = QFile::encodeName(QDir::tempPath()) + "/vintra-runtime-" + QByteArray::number(getuid());
    mkdir(dir.constData(), 0700);
    qputenv("XDG_RUNTIME_DIR", dir);
}

} // namespace platform
