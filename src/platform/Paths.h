#pragma once

#include <QString>

// Where things live on this platform.
namespace platform {

// The per-user folder that holds both INI files, with a trailing separator:
// the generic configuration folder + "vintra/" (normally ~/.config/vintra/).
// Empty when the platform reports no such folder. The folder is not created.
QString DataFolder();

// USERPROFILE when set, else HOME; empty when neither is set.
QString ProfileFolder();

// The profile fallback directory: the profile folder + "/videoconverter".
QString ProfileFallbackDir();

// The built-in default output and snapshot directory: HOME + "/videoconverter".
QString DefaultOutputDir();

// The directory with a trailing native separator unless it already ends in one.
QString WithTrailingSeparator(const QString &dir);

// The platform's own separator.
QChar NativeSeparator();

// Gives the process a private XDG_RUNTIME_DIR when the session has none (a terminal
// without a desktop, a test run), so that Qt does not complain on every start.
void EnsureRuntimeDir();

} // namespace platform
