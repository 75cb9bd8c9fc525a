#pragma once

#include <QString>
#include <array>
#include <cstdint>
#include <memory>
#include <vector>

// The object attached to each row of a format picker list.
struct TItemInfo
{
    bool IsFormat = false;
    bool IsCategory = false;
    QString GroupTag;
    bool Collapsed = false;
    int32_t Code = 0;
};

// A window's table of format names, indexed by category code and position; an empty
// name marks a free cell.
using TFormatNames = std::array<std::array<QString, 51>, 51>;

// The rows of a picker list without any toolkit: the picker widget displays this model.
class TFormatList
{
public:
    struct Row
    {
        QString Text;
        std::unique_ptr<TItemInfo> Info;
    };

    int count() const { return int(m_rows.size()); }
    const Row &row(int index) const { return m_rows.at(size_t(index)); }
    const QString &text(int index) const { return row(index).Text; }
    const TItemInfo &info(int index) const { return *row(index).Info; }
    // Index of the first row whose text equals the given text, -1 when none.
    int indexOf(const QString &text) const;

    void clear() { m_rows.clear(); }
    void append(QString text, std::unique_ptr<TItemInfo> info);
    void insert(int index, QString text, std::unique_ptr<TItemInfo> info);
    void remove(int index);

    // Inserts the category's format rows right after it and marks it expanded.
    void ExpandCategory(int categoryRow, const TFormatNames &names);
    // Removes the format rows that directly follow the category and marks it collapsed.
    void CollapseCategory(int categoryRow);

private:
    std::vector<Row> m_rows;
};

// Fills the list with the catalog: the three categories, each expanded one (per the
// "lstformat" section of the settings file, collapsed when missing) followed by its formats.
void BuildFormatList(TFormatList &list, TFormatNames &names);

// Writes the Collapsed flag of every category row to section "lstformat".
void SaveCategoryState(const TFormatList &list);
