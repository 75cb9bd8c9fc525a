#include "core/FormatList.h"

#include "core/FormatCatalog.h"
#include "core/GlobalUnit.h"
#include "core/SettingsKeys.h"

namespace {

std::unique_ptr<TItemInfo> FormatInfo(int code, const QString &groupTag)
{
    auto info = std::make_unique<TItemInfo>();
    info->IsFormat = true;
    info->GroupTag = groupTag;
    info->Code = code;
    return info;
}

} // namespace

int TFormatList::indexOf(const QString &text) const
{
    for (int i = 0; i < count(); ++i)
        if (m_rows[size_t(i)].Text == text)
            return i;
    return -1;
}

void TFormatList::append(QString text, std::unique_ptr<TItemInfo> info)
{
    m_rows.push_back(Row{std::move(text), std::move(info)});
}

void TFormatList::insert(int index, QString text, std::unique_ptr<TItemInfo> info)
{
    m_rows.insert(m_rows.begin() + index, Row{std::move(text), std::move(info)});
}

void TFormatList::remove(int index)
{
    m_rows.erase(m_rows.begin() + index);
}

void TFormatList::ExpandCategory(int categoryRow, const TFormatNames &names)
{
    TItemInfo &category = *m_rows.at(size_t(categoryRow)).Info;
    const int cat = category.Code;
    int at = categoryRow + 1;
    for (int pos = 0; pos < 50; ++pos) {
        const QString &name = names[size_t(cat)][size_t(pos)];
        if (name.isEmpty())
            continue;
        insert(at++, name, FormatInfo(cat * 100 + pos, QStringLiteral("Apple iPod")));
    }
    category.Collapsed = false;
}

void TFormatList::CollapseCategory(int categoryRow)
{
    TItemInfo &category = *m_rows.at(size_t(categoryRow)).Info;
    while (categoryRow + 1 < count() && info(categoryRow + 1).IsFormat) {
        remove(categoryRow + 1);
        category.Collapsed = true;
    }
}

void BuildFormatList(TFormatList &list, TFormatNames &names)
{
    const IniFile ini = GlobalObject->Settings();
    for (auto &column : names)
        for (QString &cell : column)
            cell.clear();
    list.clear();
    for (const TCatalogCategory &category : FormatCatalog()) {
        auto info = std::make_unique<TItemInfo>();
        info->IsCategory = true;
        info->Code = category.Code;
        info->Collapsed = ini.readBool(SettingsKeys::CategorySection, QString::number(category.Code), true);
        const bool collapsed = info->Collapsed;
        list.append(QString::fromUtf8(category.Text), std::move(info));
        for (size_t pos = 0; pos < category.Formats.size(); ++pos)
            names[size_t(category.Code)][pos] = QString::fromUtf8(category.Formats[pos]);
        if (collapsed)
            continue;
        for (size_t pos = 0; pos < category.Formats.size(); ++pos)
            list.append(names[size_t(category.Code)][pos], FormatInfo(category.Code * 100 + int(pos), QString()));
    }
}

void SaveCategoryState(const TFormatList &list)
{
    IniFile ini = GlobalObject->Settings();
    for (int i = 0; i < list.count(); ++i)
        if (list.info(i).IsCategory)
            ini.writeBool(SettingsKeys::CategorySection, QString::number(list.info(i).Code), list.info(i).Collapsed);
}
