#include "platform/Paths.h"

#include <QDir>
#include <QStandardPaths>

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

} // namespace platform
