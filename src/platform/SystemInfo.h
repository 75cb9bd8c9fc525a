#pragma once

#include <QString>

// Small services over the operating system.
namespace platform {

// True when a file can be created and deleted in the directory (so false for a
// directory that does not exist).
bool IsDirWritable(const QString &dir);

// The logon name of the user running the program.
QString CurrentUserName();

// The last n characters of the text, or the whole text when it is shorter.
QString RightChars(const QString &text, int n);

// " " + major + "." + minor + release + build + " ": only major and minor are
// separated by a point (4.4.0.0 gives " 4.400 ").
QString FormatVersionText(int major, int minor, int release, int build);

// The version compiled into the program, formatted as above.
QString ProgramVersionText();

} // namespace platform
