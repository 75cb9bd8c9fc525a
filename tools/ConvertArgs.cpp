#include "ConvertArgs.h"

#include "core/FormatCatalog.h"
#include "editing/WaterMark.h"

#include <QFileInfo>
#include <QImageReader>
#include <QRegularExpression>

namespace {

bool ToInt(const QString &text, int &value)
{
    bool ok = false;
    value = text.trimmed().toInt(&ok);
    return ok;
}

// "a,b,c" → numbers; exactly n of them.
bool Numbers(const QString &text, int n, std::vector<int> &values)
{
    const QStringList parts = text.split(QLatin1Char(','));
    if (parts.size() != n)
        return false;
    values.clear();
    for (const QString &p : parts) {
        int v = 0;
        if (!ToInt(p, v))
            return false;
        values.push_back(v);
    }
    return true;
}

QString Range(const char *what, int value, int low, int high)
{
    if (value >= low && value <= high)
        return QString();
    return QStringLiteral("%1 %2 is outside %3..%4").arg(QLatin1String(what)).arg(value).arg(low).arg(high);
}

} // namespace

QString ConvertUsage()
{
    return QStringLiteral(
        "Usage: vintra-convert [options] FILE...\n"
        "Converts the files in one batch with the settings of the chosen output format.\n"
        "\n"
        "  --format CODE            output format (default: the one chosen in the program); see --list-formats\n"
        "  --output-dir DIR         write into DIR for this run\n"
        "  --trim START[,LENGTH]    convert from START seconds, LENGTH seconds long\n"
        "  --crop TOP,LEFT,BOTTOM,RIGHT   cut video pixels (even numbers) from each edge\n"
        "  --brightness N           0..512, 255 unchanged\n"
        "  --contrast N             -100..100, 0 unchanged\n"
        "  --saturation N           0..512, 255 unchanged\n"
        "  --exposure N             -255..512, 0 unchanged\n"
        "  --watermark-text X,Y,OPACITY,START,END,TEXT\n"
        "  --watermark-image X,Y,OPACITY,START,END,PICTURE\n"
        "                           place at X,Y (pixels), opacity 0..255, from START to END seconds\n"
        "  --size-question yes|no   the answer when the format's frame size is unusable (default yes: 320x240)\n"
        "  --print-job              show the conversion options of each file; convert nothing\n"
        "  --list-formats           list the output formats\n"
        "  --info FILE              show the media information of FILE\n"
        "  --help                   show this text\n");
}

QString ParseConvertArgs(const QStringList &args, TConvertArgs &out)
{
    for (int i = 0; i < args.size(); ++i) {
        const QString &a = args[i];
        if (!a.startsWith(QLatin1String("--"))) {
            out.files << a;
            continue;
        }
        if (a == QLatin1String("--help")) {
            out.help = true;
            continue;
        }
        if (a == QLatin1String("--print-job")) {
            out.printJob = true;
            continue;
        }
        if (a == QLatin1String("--list-formats")) {
            out.listFormats = true;
            continue;
        }
        static const QStringList valued = {"--format",         "--output-dir",      "--trim",          "--crop",
                                           "--brightness",     "--contrast",        "--saturation",    "--exposure",
                                           "--watermark-text", "--watermark-image", "--size-question", "--info"};
        if (!valued.contains(a))
            return QStringLiteral("Unknown option %1").arg(a);
        if (i + 1 >= args.size())
            return QStringLiteral("%1 needs a value").arg(a);
        const QString v = args[++i];
        std::vector<int> n;
        int number = 0;
        if (a == QLatin1String("--format")) {
            if (!ToInt(v, number) || CatalogFormatText(number).isEmpty())
                return QStringLiteral("Unknown format code %1 (see --list-formats)").arg(v);
            out.format = number;
        } else if (a == QLatin1String("--output-dir")) {
            out.outputDir = v;
        } else if (a == QLatin1String("--trim")) {
            if (Numbers(v, 1, n))
                out.trim = std::pair{n[0], 0};
            else if (Numbers(v, 2, n))
                out.trim = std::pair{n[0], n[1]};
            else
                return QStringLiteral("--trim takes START or START,LENGTH in whole seconds");
            if (out.trim->first < 0 || out.trim->second < 0 || (n.size() == 2 && n[1] == 0))
                return QStringLiteral("--trim needs a start of 0 or more and a length of 1 or more");
        } else if (a == QLatin1String("--crop")) {
            if (!Numbers(v, 4, n))
                return QStringLiteral("--crop takes TOP,LEFT,BOTTOM,RIGHT");
            for (int c : n)
                if (c < 0 || c % 2)
                    return QStringLiteral("--crop values must be even numbers of 0 or more");
            out.crop = std::array<int, 4>{n[0], n[1], n[2], n[3]};
        } else if (a == QLatin1String("--size-question")) {
            if (v != QLatin1String("yes") && v != QLatin1String("no"))
                return QStringLiteral("--size-question takes yes or no");
            out.sizeQuestionYes = v == QLatin1String("yes");
        } else if (a == QLatin1String("--info")) {
            out.infoFile = v;
        } else if (a.startsWith(QLatin1String("--watermark-"))) {
            // X,Y,OPACITY,START,END, then the rest of the argument (a text may hold commas).
            const QStringList parts = v.split(QLatin1Char(','));
            if (parts.size() < 6 || !Numbers(parts.mid(0, 5).join(QLatin1Char(',')), 5, n))
                return QStringLiteral("%1 takes X,Y,OPACITY,START,END,%2")
                    .arg(a, a.endsWith(QLatin1String("text")) ? QStringLiteral("TEXT") : QStringLiteral("PICTURE"));
            TConvertArgs::Watermark w{a.endsWith(QLatin1String("image")) ? 1 : 0, n[0], n[1], n[2], n[3], n[4],
                                      parts.mid(5).join(QLatin1Char(','))};
            if (QString e = Range("opacity", w.opacity, 0, 255); !e.isEmpty())
                return e;
            if (w.start < 0 || w.end <= w.start)
                return QStringLiteral("A watermark's START must be 0 or more and less than its END");
            if (w.payload.isEmpty())
                return QStringLiteral("%1 needs a %2")
                    .arg(a, w.kind ? QStringLiteral("picture file") : QStringLiteral("text"));
            if (w.kind == 1 && !QImageReader(w.payload).canRead())
                return QStringLiteral("%1 is not a readable picture").arg(w.payload);
            out.watermarks.push_back(w);
        } else {
            struct Adjustment
            {
                const char *option, *name;
                int low, high;
                std::optional<int> TConvertArgs::*field;
            };
            static const Adjustment adjustments[] = {
                {"--brightness", "brightness", 0, 512, &TConvertArgs::brightness},
                {"--contrast", "contrast", -100, 100, &TConvertArgs::contrast},
                {"--saturation", "saturation", 0, 512, &TConvertArgs::saturation},
                {"--exposure", "exposure", -255, 512, &TConvertArgs::exposure},
            };
            for (const Adjustment &adj : adjustments) {
                if (a != QLatin1String(adj.option))
                    continue;
                if (!ToInt(v, number))
                    return QStringLiteral("%1 takes a whole number").arg(a);
                if (QString e = Range(adj.name, number, adj.low, adj.high); !e.isEmpty())
                    return e;
                out.*adj.field = number;
            }
        }
    }
    if (out.files.isEmpty() && !out.listFormats && out.infoFile.isEmpty() && !out.help)
        return QStringLiteral("No files to convert");
    return QString();
}

QString ApplyEdits(const TConvertArgs &args, TlvFilesRecord &item, QSize picture)
{
    const QString name = item.SourceFile;
    if (args.trim) {
        const auto [start, length] = *args.trim;
        if (start >= item.DurationSec || start + length > item.DurationSec)
            return QStringLiteral("--trim %1,%2 does not fit %3 (%4 s long)")
                .arg(start)
                .arg(length)
                .arg(name)
                .arg(item.DurationSec);
        item.TrimStart = int64_t(start) * 1000000;
        item.TrimLength = int64_t(length) * 1000000;
    }
    if (args.brightness)
        item.Brightness = *args.brightness;
    if (args.contrast)
        item.Contrast = *args.contrast;
    if (args.saturation)
        item.Saturation = *args.saturation;
    if (args.exposure)
        item.Exposure = *args.exposure;
    if (picture.isEmpty())
        return QString(); // no picture: crop and watermarks have nothing to act on
    if (args.crop) {
        const auto [top, left, bottom, right] = *args.crop;
        if (top + bottom > picture.height() - 16 || left + right > picture.width() - 16)
            return QStringLiteral("--crop leaves less than 16x16 of the %1x%2 picture of %3")
                .arg(picture.width())
                .arg(picture.height())
                .arg(name);
        item.CropTop = top;
        item.CropLeft = left;
        item.CropBottom = bottom;
        item.CropRight = right;
    }
    for (const TConvertArgs::Watermark &w : args.watermarks) {
        if (w.x > picture.width() || w.y > picture.height())
            return QStringLiteral("A watermark at %1,%2 lies outside the %3x%4 picture of %5")
                .arg(w.x)
                .arg(w.y)
                .arg(picture.width())
                .arg(picture.height())
                .arg(name);
        if (w.end > item.DurationSec)
            return QStringLiteral("A watermark ending at %1 s outlasts %2 (%3 s long)")
                .arg(w.end)
                .arg(name)
                .arg(item.DurationSec);
        auto rec = std::make_unique<TWmRec>();
        rec->Kind = w.kind;
        rec->StartSec = w.start;
        rec->EndSec = w.end;
        if (w.kind == 0) {
            // The watermark editor's defaults: its first font face, 26 points, blue,
            // on a transparent background.
            rec->Text = w.payload;
            rec->Font.Name = FirstFontFace();
            rec->Font.Size = 26;
            rec->Font.Color = platform::clBlue;
            rec->OpaqueBack = false;
            rec->BackColor = 0x008000; // clGreen
            const QSize size = MeasureWmText(rec->Text, rec->Font);
            rec->TextWidth = size.width();
            rec->TextHeight = size.height();
            rec->TextLeft = w.x;
            rec->TextTop = w.y;
            rec->TextOpacity = w.opacity;
        } else {
            rec->ImageFile = QFileInfo(w.payload).absoluteFilePath();
            const QSize size = QImageReader(w.payload).size();
            rec->ImageWidth = size.width();
            rec->ImageHeight = size.height();
            rec->ImageLeft = w.x;
            rec->ImageTop = w.y;
            rec->ImageOpacity = w.opacity;
        }
        item.WaterMarks.push_back(std::move(rec));
    }
    return QString();
}

QString JobText(const QString &source, const TInputOptions &in, const TOutputOptions &out)
{
    QStringList lines{QStringLiteral("# ") + source};
    auto add = [&](const char *name, const QString &value) { lines << QLatin1String(name) + QLatin1Char('=') + value; };
    auto num = [](int64_t v) { return QString::number(v); };
    auto flag = [](bool b) { return b ? QStringLiteral("1") : QStringLiteral("0"); };
    auto opt = [](const std::optional<int64_t> &v) { return v ? QString::number(*v) : QString(); };
    add("InFileName", in.InFileName);
    add("InFormat", in.InFormat);
    add("StartOffset", opt(in.StartOffset));
    add("ExtraOptions",
        in.ExtraOptions.split(QRegularExpression(QStringLiteral("\r?\n")), Qt::SkipEmptyParts).join('|'));
    add("OutFileName", out.OutFileName);
    add("OutFormat", out.OutFormat);
    add("AudioCodecName", out.AudioCodecName);
    add("NoAudio", flag(out.NoAudio));
    add("VolumeLevel", num(out.VolumeLevel));
    add("ChannelCount", num(out.ChannelCount));
    add("SampleRateHz", num(out.SampleRateHz));
    add("AudioBitsPerSec", num(out.AudioBitsPerSec));
    add("VideoCodecName", out.VideoCodecName);
    add("EncoderPreset", out.EncoderPreset);
    add("NoVideo", flag(out.NoVideo));
    add("FrameRateText", out.FrameRateText);
    add("FrameSizeText", out.FrameSizeText);
    add("AspectText", out.AspectText);
    add("CropTopRows", num(out.CropTopRows));
    add("CropBottomRows", num(out.CropBottomRows));
    add("CropLeftCols", num(out.CropLeftCols));
    add("CropRightCols", num(out.CropRightCols));
    add("VideoBitsPerSec", num(out.VideoBitsPerSec));
    add("FilterChain", out.FilterChain);
    add("NoSubtitles", flag(out.NoSubtitles));
    add("DurationLimit", opt(out.DurationLimit));
    add("TargetKind", num(out.TargetKind));
    add("TargetNorm", num(out.TargetNorm));
    add("HookFrames", flag(out.HookFrames));
    return lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
}
