#include "platform/SystemInfo.h"

#include "platform/Paths.h"

#include <QFile>
#include <cstdlib>
#include <pwd.h>
#include <unistd.h>

namespace platform {

bool IsDirWritable(const QString &dir)
{
    if (dir.isEmpty())
        return false;
    QByteArray pattern = QFile::encodeName(WithTrailingSeparator(dir) + QStringLiteral("DAXXXXXX"));
    const int fd = mkstemp(pattern.data());
    if (fd < 0)
        return false;
    close(fd);
    return unlink(pattern.constData()) == 0;
}

QString CurrentUserName()
{
    if (const passwd *pw = getpwuid(geteuid()); pw && pw->pw_name)
        return QString::fromLocal8Bit(pw->pw_name);
    return qEnvironmentVariable("USER");
}

QString RightChars(const QString &text, int n)
{
    if (n <= 0)
        return QString();
    return text.size() <= n ? text : text.right(n);
}

QString FormatVersionText(int major, int minor, int release, int build)
{
    return QStringLiteral(" %1.%2%3%4 ").arg(major).arg(minor).arg(release).arg(build);
}

QString ProgramVersionText()
{
    return FormatVersionText(VINTRA_VERSION_MAJOR, VINTRA_VERSION_MINOR, VINTRA_VERSION_PATCH, VINTRA_VERSION_TWEAK);
}

} // namespace platform
