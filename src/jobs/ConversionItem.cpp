#include "jobs/ConversionItem.h"

#include "core/GlobalUnit.h"
#include "platform/Paths.h"

#include <QFileInfo>

QString BuildOutputName(const QString &source, const QString &suffix, QSet<QString> *taken)
{
    const QString dir = platform::WithTrailingSeparator(GlobalObject->EnsureOutputDir());
    QString name = QFileInfo(source).fileName();
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    if (dot >= 0)
        name.truncate(dot);
    const QString base = dir + name;
    auto free = [taken](const QString &candidate) {
        return !QFileInfo::exists(candidate) && !(taken && taken->contains(candidate));
    };
    QString result = base + QStringLiteral("_(new)") + suffix;
    for (int n = 1; !free(result); ++n)
        result = base + QStringLiteral("_(new_%1)").arg(n) + suffix;
    if (taken)
        taken->insert(result);
    return result;
}
