#include "core/GlobalUnit.h"

#include "core/SettingsKeys.h"
#include "platform/Paths.h"
#include "platform/Shell.h"
#include "platform/SystemInfo.h"

#include <QCoreApplication>
#include <QDir>

TGlobalObject *GlobalObject = nullptr;

namespace {
const QString kWebsiteUrl = QStringLiteral("https://www.vintra.example/");
const QString kHelpUrl = QStringLiteral("https://www.vintra.example/help/");
} // namespace

void TGlobalObject::SetHelpUrl(const QString &value)
{
    if (!value.isEmpty())
        FHelpUrl = value;
}

void TGlobalObject::SetProductTitle(const QString &value)
{
    if (!value.isEmpty())
        FProductTitle = value;
}

void TGlobalObject::SetVersionText(const QString &value)
{
    if (!value.isEmpty())
        FVersionText = value;
}

void TGlobalObject::SetWebsiteUrl(const QString &value)
{
    if (!value.isEmpty())
        FWebsiteUrl = value;
}

void TGlobalObject::SetSettingsFile(const QString &value)
{
    if (value.size() > 3)
        FSettingsFile = value;
}

void TGlobalObject::SetFormatFile(const QString &value)
{
    if (value.size() > 3)
        FFormatFile = value;
}

QString TGlobalObject::FileVersionText() const
{
    return platform::ProgramVersionText();
}

bool TGlobalObject::IsDirWritable(const QString &dir) const
{
    return platform::IsDirWritable(dir);
}

QString TGlobalObject::CurrentUserName() const
{
    return platform::CurrentUserName();
}

QString TGlobalObject::SpecialFolder(int identifier) const
{
    return identifier == DataFolderId ? platform::DataFolder() : QString();
}

QString TGlobalObject::RightChars(const QString &text, int n) const
{
    return platform::RightChars(text, n);
}

QString TGlobalObject::CheckStartupDirs()
{
    using namespace SettingsKeys;
    IniFile ini = Settings();
    QString outDir = ini.readString(SettingsSection, OutPutDir, platform::DefaultOutputDir());
    if (!IsDirWritable(outDir)) {
        outDir = platform::ProfileFallbackDir();
        ini.writeString(SettingsSection, OutPutDir, outDir);
    }
    const QString snapDir = ini.readString(SettingsSection, SnapOutPutDir, platform::DefaultOutputDir());
    if (!IsDirWritable(snapDir))
        ini.writeString(SettingsSection, SnapOutPutDir, platform::ProfileFallbackDir());
    return outDir;
}

QString TGlobalObject::EnsureOutputDir()
{
    using namespace SettingsKeys;
    IniFile ini = Settings();
    const QString dir = ini.readString(SettingsSection, OutPutDir, platform::DefaultOutputDir());
    if (!QDir(dir).exists() && !QDir().mkpath(dir)) {
        const QString fallback = platform::DefaultOutputDir();
        platform::MessageBox(QStringLiteral("Cannot create output directory:") + dir +
                                 QStringLiteral(".It will create default directory ") + fallback + QStringLiteral("!"),
                             QStringLiteral("Warning"), platform::MsgButtons::Ok, platform::MsgIcon::Warning);
        QDir().mkpath(fallback);
        ini.writeString(SettingsSection, OutPutDir, fallback);
    }
    return dir;
}

TGlobalObject *CreateGlobalObject()
{
    delete GlobalObject;
    GlobalObject = new TGlobalObject;
    const QString base = GlobalObject->SpecialFolder(DataFolderId);
    GlobalObject->SetSettingsFile(base + QStringLiteral("vintraconverter.ini"));
    GlobalObject->SetFormatFile(base + QStringLiteral("vintraformat.ini"));
    GlobalObject->SetProductTitle(QStringLiteral("Vintra"));
    GlobalObject->SetVersionText(QStringLiteral(" ver 1.30 "));
    GlobalObject->SetWebsiteUrl(kWebsiteUrl);
    GlobalObject->SetHelpUrl(kHelpUrl);
    if (QCoreApplication::instance())
        QCoreApplication::setApplicationName(GlobalObject->ProductTitle());
    return GlobalObject;
}

void FreeGlobalObject()
{
    delete GlobalObject;
    GlobalObject = nullptr;
}
