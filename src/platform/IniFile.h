#pragma once

#include <QString>
#include <stdexcept>

// An INI file read and written the way the Windows private-profile functions do it:
// section and key names match without regard to letter case, a missing file, section
// or key reads as the caller's default, values are text. Nothing is cached: every call
// reads the file afresh, and every write replaces the whole file atomically (temporary
// file in the same folder, then rename), creating the file and its folder when needed
// and keeping every other line, comments and blank lines included.
class IniFile
{
public:
    explicit IniFile(QString path)
        : m_path(std::move(path))
    {}

    const QString &path() const { return m_path; }

    // The value with surrounding blanks removed, and one pair of enclosing quotes
    // removed as the platform does; the default when the key is missing.
    QString readString(const QString &section, const QString &key, const QString &defaultValue) const;
    // A decimal (or $/0x hexadecimal) 32-bit integer; anything else reads as the default.
    int readInteger(const QString &section, const QString &key, int defaultValue) const;
    // Stored as an integer: 0 is false, any other integer true.
    bool readBool(const QString &section, const QString &key, bool defaultValue) const;

    bool sectionExists(const QString &section) const;
    bool valueExists(const QString &section, const QString &key) const;

    // Each write throws IniWriteError when the file cannot be replaced; the old file
    // is then left as it was.
    void writeString(const QString &section, const QString &key, const QString &value);
    void writeInteger(const QString &section, const QString &key, int value);
    void writeBool(const QString &section, const QString &key, bool value);

private:
    QString m_path;
};

class IniWriteError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

// Strict integer conversion shared with the callers that read numbers out of INI text:
// optional blanks, optional sign, decimal digits (or $ / 0x hexadecimal), 32-bit range.
bool ParseIniInteger(const QString &text, int &value);
