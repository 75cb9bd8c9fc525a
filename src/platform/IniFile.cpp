#include "platform/IniFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringList>
#include <limits>
#include <optional>

namespace {

struct Document
{
    QStringList lines;
    QString eol = QStringLiteral("\n");
    bool bom = false;
};

Document load(const QString &path)
{
    Document doc;
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return doc;
    QByteArray bytes = f.readAll();
    if (bytes.startsWith("\xEF\xBB\xBF")) {
        doc.bom = true;
        bytes.remove(0, 3);
    }
    if (bytes.contains("\r\n"))
        doc.eol = QStringLiteral("\r\n");
    QString text = QString::fromUtf8(bytes);
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    doc.lines = text.split(QLatin1Char('\n'));
    // A file that ends in a line break splits into one empty line too many.
    if (!doc.lines.isEmpty() && doc.lines.last().isEmpty())
        doc.lines.removeLast();
    return doc;
}

std::optional<QString> sectionName(const QString &line)
{
    const QString t = line.trimmed();
    if (!t.startsWith(QLatin1Char('[')))
        return std::nullopt;
    const qsizetype close = t.indexOf(QLatin1Char(']'));
    if (close < 0)
        return std::nullopt;
    return t.mid(1, close - 1).trimmed();
}

// Key of a "key=value" line, split at the first "=".
std::optional<QString> keyName(const QString &line)
{
    const qsizetype eq = line.indexOf(QLatin1Char('='));
    if (eq < 0)
        return std::nullopt;
    return line.left(eq).trimmed();
}

bool sameName(const QString &a, const QString &b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

struct Location
{
    qsizetype header = -1;   // line of the section header, -1 when the section is missing
    qsizetype lastItem = -1; // last non-blank line that belongs to the section
    qsizetype key = -1;      // line of the key, -1 when missing
};

Location locate(const QStringList &lines, const QString &section, const QString &key)
{
    Location loc;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (auto name = sectionName(lines[i])) {
            if (loc.header >= 0)
                break; // only the first section of that name counts
            if (sameName(*name, section)) {
                loc.header = i;
                loc.lastItem = i;
            }
            continue;
        }
        if (loc.header < 0)
            continue;
        if (!lines[i].trimmed().isEmpty())
            loc.lastItem = i;
        if (loc.key < 0 && !key.isNull()) {
            if (auto k = keyName(lines[i]); k && sameName(*k, key))
                loc.key = i;
        }
    }
    return loc;
}

QString unquote(QString v)
{
    v = v.trimmed();
    if (v.size() >= 2) {
        const QChar first = v.front();
        if ((first == QLatin1Char('"') || first == QLatin1Char('\'')) && v.back() == first)
            v = v.mid(1, v.size() - 2);
    }
    return v;
}

void save(const QString &path, const Document &doc)
{
    const QFileInfo info(path);
    if (!QDir().mkpath(info.absolutePath()))
        throw IniWriteError(QStringLiteral("Cannot write settings file %1: cannot create folder %2")
                                .arg(path, info.absolutePath())
                                .toStdString());
    QSaveFile out(path);
    QByteArray bytes;
    if (doc.bom)
        bytes += "\xEF\xBB\xBF";
    for (const QString &line : doc.lines) {
        bytes += line.toUtf8();
        bytes += doc.eol.toLatin1();
    }
    if (!out.open(QIODevice::WriteOnly) || out.write(bytes) != bytes.size() || !out.commit())
        throw IniWriteError(
            QStringLiteral("Cannot write settings file %1: %2").arg(path, out.errorString()).toStdString());
}

} // namespace

bool ParseIniInteger(const QString &text, int &value)
{
    QString t = text.trimmed();
    if (t.isEmpty())
        return false;
    bool negative = false;
    if (t.front() == QLatin1Char('-') || t.front() == QLatin1Char('+')) {
        negative = t.front() == QLatin1Char('-');
        t.remove(0, 1);
    }
    int base = 10;
    if (t.startsWith(QLatin1Char('$'))) {
        base = 16;
        t.remove(0, 1);
    } else if (t.startsWith(QLatin1String("0x"), Qt::CaseInsensitive)) {
        base = 16;
        t.remove(0, 2);
    }
    if (t.isEmpty())
        return false;
    for (QChar c : t) {
        const bool digit =
            base == 10 ? c.isDigit() && c.unicode() < 128 : QStringLiteral("0123456789abcdefABCDEF").contains(c);
        if (!digit)
            return false;
    }
    bool ok = false;
    const qlonglong magnitude = t.toLongLong(&ok, base);
    if (!ok)
        return false;
    const qlonglong v = negative ? -magnitude : magnitude;
    if (v < std::numeric_limits<int>::min() || v > std::numeric_limits<int>::max())
        return false;
    value = int(v);
    return true;
}

QString IniFile::readString(const QString &section, const QString &key, const QString &defaultValue) const
{
    const Document doc = load(m_path);
    const Location loc = locate(doc.lines, section, key);
    if (loc.key < 0)
        return defaultValue;
    const QString &line = doc.lines[loc.key];
    return unquote(line.mid(line.indexOf(QLatin1Char('=')) + 1));
}

int IniFile::readInteger(const QString &section, const QString &key, int defaultValue) const
{
    int v = 0;
    return ParseIniInteger(readString(section, key, QString()), v) ? v : defaultValue;
}

bool IniFile::readBool(const QString &section, const QString &key, bool defaultValue) const
{
    return readInteger(section, key, defaultValue ? 1 : 0) != 0;
}

bool IniFile::sectionExists(const QString &section) const
{
    return locate(load(m_path).lines, section, QString()).header >= 0;
}

bool IniFile::valueExists(const QString &section, const QString &key) const
{
    return locate(load(m_path).lines, section, key).key >= 0;
}

void IniFile::writeString(const QString &section, const QString &key, const QString &value)
{
    // A line break inside a value would split it into lines that read back as something else.
    QString clean = value;
    clean.replace(QLatin1Char('\r'), QLatin1Char(' ')).replace(QLatin1Char('\n'), QLatin1Char(' '));

    Document doc = load(m_path);
    const Location loc = locate(doc.lines, section, key);
    if (loc.key >= 0) {
        const QString &old = doc.lines[loc.key];
        doc.lines[loc.key] = old.left(old.indexOf(QLatin1Char('='))).trimmed() + QLatin1Char('=') + clean;
    } else if (loc.header >= 0) {
        doc.lines.insert(loc.lastItem + 1, key + QLatin1Char('=') + clean);
    } else {
        if (!doc.lines.isEmpty() && !doc.lines.last().trimmed().isEmpty())
            doc.lines.append(QString());
        doc.lines.append(QLatin1Char('[') + section + QLatin1Char(']'));
        doc.lines.append(key + QLatin1Char('=') + clean);
    }
    save(m_path, doc);
}

void IniFile::writeInteger(const QString &section, const QString &key, int value)
{
    writeString(section, key, QString::number(value));
}

void IniFile::writeBool(const QString &section, const QString &key, bool value)
{
    writeString(section, key, value ? QStringLiteral("1") : QStringLiteral("0"));
}
