#pragma once

#include <QString>
#include <QStringList>
#include <array>
#include <optional>
#include <vector>

// The compiled-in catalog of output formats: three categories, eighteen formats.
// A format's code is its category code × 100 + its position in the category.
struct TCatalogCategory
{
    int Code;
    const char *Text;
    std::vector<const char *> Formats; // in position order
};

const std::vector<TCatalogCategory> &FormatCatalog();

// Every format code of the catalog, in catalog order.
std::vector<int> CatalogFormatCodes();
// The catalog text of a format code; empty for a code the catalog does not have.
QString CatalogFormatText(int code);

// "formatInfo" + the code in decimal: the section of a format in both INI files.
QString FormatSection(int code);
QString FormatSection(const QString &code);

// The entries of a choice list: no list for "null", otherwise the texts between single
// commas, untrimmed, empty ones included ("" gives a list without entries).
std::optional<QStringList> ParseChoiceList(const QString &value);

// Current format, section "settings" of the settings file.
int ReadFormatCode(int defaultCode);
QString ReadFormatName(const QString &defaultName);
void WriteCurrentFormat(const QString &name, int code);
