#include "platform/Shell.h"

#include <QDebug>
#include <QDesktopServices>
#include <QProcess>
#include <QUrl>

namespace platform {

namespace {
HeadlessShell g_headless;
Shell *g_shell = &g_headless;
} // namespace

Shell &CurrentShell()
{
    return *g_shell;
}

Shell *InstallShell(Shell *shell)
{
    Shell *previous = g_shell;
    g_shell = shell ? shell : &g_headless;
    return previous;
}

MsgAnswer HeadlessShell::messageBox(const QString &text, const QString &caption, MsgButtons buttons, MsgIcon)
{
    qWarning().noquote() << caption + QStringLiteral(": ") + text;
    return (buttons == MsgButtons::YesNo || buttons == MsgButtons::YesNoCancel) ? MsgAnswer::Yes : MsgAnswer::Ok;
}

QStringList HeadlessShell::openFiles(const FileOpenRequest &)
{
    return {};
}

void HeadlessShell::beep() {}

bool HeadlessShell::openFolder(const QString &dir)
{
    return QDesktopServices::openUrl(QUrl::fromLocalFile(dir));
}

bool HeadlessShell::openUrl(const QString &url)
{
    return QDesktopServices::openUrl(QUrl(url));
}

bool HeadlessShell::shutDown()
{
    return QProcess::startDetached(QStringLiteral("systemctl"), {QStringLiteral("poweroff")});
}

MsgAnswer MessageBox(const QString &text, const QString &caption, MsgButtons buttons, MsgIcon icon)
{
    return CurrentShell().messageBox(text, caption, buttons, icon);
}

void Beep()
{
    CurrentShell().beep();
}

} // namespace platform
