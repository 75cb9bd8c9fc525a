#pragma once

#include "jobs/ConversionItem.h"

#include <QStringList>
#include <memory>
#include <vector>

class TFFmpegVCL;

// The batch without a window: one row per source file, with its check mark, the texts
// of its columns and its conversion item. The main window's list shows this model.
struct TFileRow
{
    QString Caption; // the source path
    bool Checked = true;
    // "Length", "Trimmed Length", "Destination File", "Progress"
    QStringList SubItems;
    std::unique_ptr<TlvFilesRecord> Record;
};

class TFileList
{
public:
    int count() const { return int(m_rows.size()); }
    TFileRow &row(int index) { return m_rows.at(size_t(index)); }
    const TFileRow &row(int index) const { return m_rows.at(size_t(index)); }
    bool contains(const QString &caption) const;
    int checkedCount() const;
    void append(TFileRow row) { m_rows.push_back(std::move(row)); }
    void remove(int index) { m_rows.erase(m_rows.begin() + index); }
    void clear() { m_rows.clear(); }

private:
    std::vector<TFileRow> m_rows;
};

// What "Add" does with the paths the user chose: directories, unreadable paths, paths
// already listed (exact, case-sensitive) and files the engine cannot open are skipped;
// each other file gets a checked row with a new item whose duration was read through a
// throw-away engine task. Returns the number of rows added.
int AddFilesToList(TFileList &list, const QStringList &paths, TFFmpegVCL &engine);
