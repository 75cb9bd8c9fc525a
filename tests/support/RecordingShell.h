#pragma once

#include "platform/Shell.h"

#include <deque>
#include <vector>

// Installs itself as the shell for its lifetime: records every call and answers
// message boxes and file dialogs from scripted queues.
class RecordingShell : public platform::Shell
{
public:
    struct Message
    {
        QString text;
        QString caption;
        platform::MsgButtons buttons;
        platform::MsgIcon icon;
    };

    RecordingShell()
        : m_previous(platform::InstallShell(this))
    {}
    ~RecordingShell() override { platform::InstallShell(m_previous); }
    RecordingShell(const RecordingShell &) = delete;
    RecordingShell &operator=(const RecordingShell &) = delete;

    std::vector<Message> messages;
    std::vector<platform::FileOpenRequest> fileRequests;
    std::vector<QString> openedFolders;
    std::vector<QString> openedUrls;
    int beeps = 0;
    int shutDowns = 0;

    // Answers used in order; when empty, a box answers with its first button.
    std::deque<platform::MsgAnswer> answers;
    std::deque<QStringList> fileAnswers;

    platform::MsgAnswer messageBox(const QString &text, const QString &caption, platform::MsgButtons buttons,
                                   platform::MsgIcon icon) override;
    QStringList openFiles(const platform::FileOpenRequest &request) override;
    void beep() override { ++beeps; }
    bool openFolder(const QString &dir) override;
    bool openUrl(const QString &url) override;
    bool shutDown() override;

private:
    platform::Shell *m_previous;
};
