#pragma once

#include "editing/ConversionHook.h"
#include "editing/WaterMark.h"

#include <QSet>
#include <QString>
#include <cstdint>

// One file of the batch: what the user decided for it. Owned by its list row; it owns
// its watermarks.
struct TlvFilesRecord
{
    QString SourceFile;
    QString DestFile; // the name built when the file was added (shown in the list)
    int32_t DurationSec = 0;
    int64_t TrimStart = 0;                                            // µs, whole seconds; 0 from the beginning
    int64_t TrimLength = 0;                                           // µs; 0 to the end
    QString ZoomMode;                                                 // "full", "lbox", "pan" or "center"
    int32_t CropTop = 0, CropLeft = 0, CropBottom = 0, CropRight = 0; // source pixels, even
    int32_t CropUpView = 0, CropLeftView = 0, CropDownView = 0, CropRightView = 0; // crop editor's margins
    TWaterMarks WaterMarks;
    int32_t Brightness = 255;
    int32_t Contrast = 0;
    int32_t Saturation = 255;
    int32_t Exposure = 0;

    // What the conversion frame hook needs of the item.
    TFrameEdits Edits() const { return TFrameEdits{Brightness, Contrast, Saturation, Exposure, &WaterMarks}; }
};

// The destination for a source in the output directory (made sure of first): the
// source's name without its last extension, then "_(new)" + suffix, or the first free
// "_(new_" + n + ")" + suffix. Files that exist count as taken, and so do the names in
// taken (names handed out earlier in the same batch, which do not exist yet); the name
// returned is added to it.
QString BuildOutputName(const QString &source, const QString &suffix, QSet<QString> *taken = nullptr);
