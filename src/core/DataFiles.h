#pragma once

#include <QString>

// The start-up setup step: the shipped format profile file and the pre-filled settings
// file are copied into the data folder when they are not there yet. A file the user
// already has is never touched. Returns false when a copy could not be made (the
// program then runs on the readers' defaults).
bool InstallDataFiles(const QString &dataFolder);
