#include "core/FormatCatalog.h"

#include "core/GlobalUnit.h"
#include "core/SettingsKeys.h"

const std::vector<TCatalogCategory> &FormatCatalog()
{
    // The format texts are stored in the settings file: they must stay byte-identical.
    static const std::vector<TCatalogCategory> catalog = {
        {0, "Quick Time Video - MOV", {"MOV - Quick Time Video (*.mov)"}},
        {1,
         "General Video formates",
         {"MPEG-1 Video (*.mpg)", "MPEG-2 Video (*.mpg)", "MPEG-4 Video (*.mp4)", "H.264/MPEG-4 AVC Video (*.mp4)",
          "AVI Video (*.avi)", "WMV Video (*.wmv)", "Divx Video (*.avi)", "Xvid Video (*.avi)",
          "DV - NTSC -Digital Video Format (*.dv)", "DV - PAL -Digital Video Format (*.dv)"}},
        {2,
         "General Audio formates",
         {"MP3 MPEG Layer-3 Audio (*.mp3)", "AAC Advenced Audio Codec (*.aac)", "M4A MPEG-4 Audio (*.m4a)",
          "WMA - Windows Meida Audio (*.wma)", "WAV - Waveform Audio (*.wav)", "OGG Vorbis Audio Codec (*.ogg)",
          "AC-3 Audio Codec (*.ac3)"}},
    };
    return catalog;
}

std::vector<int> CatalogFormatCodes()
{
    std::vector<int> codes;
    for (const TCatalogCategory &c : FormatCatalog())
        for (size_t pos = 0; pos < c.Formats.size(); ++pos)
            codes.push_back(c.Code * 100 + int(pos));
    return codes;
}

QString CatalogFormatText(int code)
{
    if (code < 0)
        return QString();
    for (const TCatalogCategory &c : FormatCatalog())
        if (c.Code == code / 100 && size_t(code % 100) < c.Formats.size())
            return QString::fromUtf8(c.Formats[code % 100]);
    return QString();
}

QString FormatSection(int code)
{
    return QStringLiteral("formatInfo") + QString::number(code);
}

QString FormatSection(const QString &code)
{
    return QStringLiteral("formatInfo") + code;
}

std::optional<QStringList> ParseChoiceList(const QString &value)
{
    if (value == QLatin1String("null"))
        return std::nullopt;
    QStringList entries;
    if (value.isEmpty())
        return entries;
    QString pending;
    for (QChar c : value) {
        if (c == QLatin1Char(',')) {
            entries.append(pending);
            pending.clear();
        } else {
            pending.append(c);
        }
    }
    entries.append(pending);
    return entries;
}

int ReadFormatCode(int defaultCode)
{
    return GlobalObject->Settings().readInteger(SettingsKeys::SettingsSection, SettingsKeys::FormatCode, defaultCode);
}

QString ReadFormatName(const QString &defaultName)
{
    return GlobalObject->Settings().readString(SettingsKeys::SettingsSection, SettingsKeys::FormatName, defaultName);
}

void WriteCurrentFormat(const QString &name, int code)
{
    IniFile ini = GlobalObject->Settings();
    ini.writeString(SettingsKeys::SettingsSection, SettingsKeys::FormatName, name);
    ini.writeString(SettingsKeys::SettingsSection, SettingsKeys::FormatCode, QString::number(code));
}
