#pragma once

#include "platform/IniFile.h"

#include <QString>

// The one object that knows where the two INI files are, what the product is called
// and which version runs, and the directory rules the windows share.
class TGlobalObject
{
public:
    const QString &HelpUrl() const { return FHelpUrl; }
    const QString &SettingsFile() const { return FSettingsFile; }
    const QString &FormatFile() const { return FFormatFile; }
    const QString &ProductTitle() const { return FProductTitle; }
    const QString &VersionText() const { return FVersionText; }
    const QString &WebsiteUrl() const { return FWebsiteUrl; }

    // Each setter keeps the old value when the new one is refused: empty text for the
    // first four, text of 3 characters or fewer for the two file paths.
    void SetHelpUrl(const QString &value);
    void SetProductTitle(const QString &value);
    void SetVersionText(const QString &value);
    void SetWebsiteUrl(const QString &value);
    void SetSettingsFile(const QString &value);
    void SetFormatFile(const QString &value);

    IniFile Settings() const { return IniFile(FSettingsFile); }
    IniFile Formats() const { return IniFile(FFormatFile); }

    QString FileVersionText() const;
    bool IsDirWritable(const QString &dir) const;
    QString CurrentUserName() const;
    // 35 is the shared data folder of both INI files; any other identifier gives "".
    QString SpecialFolder(int identifier) const;
    QString RightChars(const QString &text, int n) const;

    // At first show: replaces an output or snapshot directory that is not writable by
    // the profile fallback directory (neither created nor tested). Returns the output
    // directory to show.
    QString CheckStartupDirs();
    // Before each destination name: creates the output directory when missing; when
    // that fails, warns, creates the default directory and stores it for the next
    // call. Returns the directory read at the start of the call.
    QString EnsureOutputDir();

private:
    QString FHelpUrl;
    QString FSettingsFile;
    QString FFormatFile;
    QString FProductTitle;
    QString FVersionText;
    QString FWebsiteUrl;
};

extern TGlobalObject *GlobalObject;

// Creates GlobalObject with the paths of the data folder, the product title, the
// first version text and the two addresses, and names the application after it.
TGlobalObject *CreateGlobalObject();
void FreeGlobalObject();

inline constexpr int DataFolderId = 35;
