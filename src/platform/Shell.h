#pragma once

#include <QString>
#include <QStringList>

// Everything that reaches the user modally or acts outside the process goes through
// one replaceable object, so that tests can record the calls and script the answers
// and no test can ever open a dialog, a browser or power the machine off.
namespace platform {

enum class MsgButtons { Ok, OkCancel, YesNo, YesNoCancel };
enum class MsgIcon { None, Information, Warning, Error, Question };
enum class MsgAnswer { Ok, Cancel, Yes, No };

struct FileOpenRequest
{
    QString caption;
    QString directory;
    QString filter; // descriptions and patterns joined with "|", as the text lists them
    bool multiple = false;
};

class Shell
{
public:
    virtual ~Shell() = default;
    virtual MsgAnswer messageBox(const QString &text, const QString &caption, MsgButtons buttons, MsgIcon icon) = 0;
    // The chosen paths; empty when the user cancels.
    virtual QStringList openFiles(const FileOpenRequest &request) = 0;
    virtual void beep() = 0;
    virtual bool openFolder(const QString &dir) = 0;
    virtual bool openUrl(const QString &url) = 0;
    virtual bool shutDown() = 0;
};

// The shell in use. Until something else is installed it is the headless shell below.
Shell &CurrentShell();
// Installs a shell (not owned) and returns the previous one; nullptr restores the headless shell.
Shell *InstallShell(Shell *shell);

// Without a window system: message boxes go to the log and answer with their first
// button, file dialogs are cancelled, folders and addresses open through the desktop's
// opener, shut-down asks logind to power off.
class HeadlessShell : public Shell
{
public:
    MsgAnswer messageBox(const QString &text, const QString &caption, MsgButtons buttons, MsgIcon icon) override;
    QStringList openFiles(const FileOpenRequest &request) override;
    void beep() override;
    bool openFolder(const QString &dir) override;
    bool openUrl(const QString &url) override;
    bool shutDown() override;
};

// Convenience wrappers over CurrentShell().
MsgAnswer MessageBox(const QString &text, const QString &caption, MsgButtons buttons = MsgButtons::Ok,
                     MsgIcon icon = MsgIcon::None);
void Beep();

} // namespace platform
