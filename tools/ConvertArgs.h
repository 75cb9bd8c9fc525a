#pragma once

#include "engine/EngineTypes.h"
#include "jobs/ConversionItem.h"

#include <QSize>
#include <QStringList>
#include <array>
#include <optional>
#include <vector>

// The command line of vintra-convert.
struct TConvertArgs
{
    QStringList files;
    std::optional<int> format;
    QString outputDir;
    std::optional<std::pair<int, int>> trim; // start, length in whole seconds (length 0: to the end)
    std::optional<std::array<int, 4>> crop;  // top, left, bottom, right
    std::optional<int> brightness, contrast, saturation, exposure;
    struct Watermark
    {
        int kind; // 0 text, 1 image
        int x, y, opacity, start, end;
        QString payload; // the text or the picture file
    };
    std::vector<Watermark> watermarks; // in command-line order (the drawing order)
    bool sizeQuestionYes = true;
    bool printJob = false;
    bool listFormats = false;
    QString infoFile;
    bool help = false;
};

// Reads the arguments (without the program name). Returns an error message, empty when
// they are fine.
QString ParseConvertArgs(const QStringList &args, TConvertArgs &out);

// Gives an item the run's edits, checked against the editors' ranges for this file
// (its duration in seconds and its picture size, empty for a file without video).
// Returns an error message, empty when fine.
QString ApplyEdits(const TConvertArgs &args, TlvFilesRecord &item, QSize picture);

// "# " + source, then one Name=Value line per field of the two option tables.
QString JobText(const QString &source, const TInputOptions &in, const TOutputOptions &out);

QString ConvertUsage();
