#include "RecordingShell.h"

using namespace platform;

MsgAnswer RecordingShell::messageBox(const QString &text, const QString &caption, MsgButtons buttons, MsgIcon icon)
{
    messages.push_back({text, caption, buttons, icon});
    if (!answers.empty()) {
        const MsgAnswer a = answers.front();
        answers.pop_front();
        return a;
    }
    return (buttons == MsgButtons::YesNo || buttons == MsgButtons::YesNoCancel) ? MsgAnswer::Yes : MsgAnswer::Ok;
}

QStringList RecordingShell::openFiles(const FileOpenRequest &request)
{
    fileRequests.push_back(request);
    if (fileAnswers.empty())
        return {};
    QStringList files = fileAnswers.front();
    fileAnswers.pop_front();
    return files;
}

bool RecordingShell::openFolder(const QString &dir)
{
    openedFolders.push_back(dir);
    return true;
}

bool RecordingShell::openUrl(const QString &url)
{
    openedUrls.push_back(url);
    return true;
}

bool RecordingShell::shutDown()
{
    ++shutDowns;
    return true;
}
