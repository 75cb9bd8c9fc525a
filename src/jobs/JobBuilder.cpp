#include "jobs/JobBuilder.h"

#include "core/FormatCatalog.h"
#include "core/GlobalUnit.h"
#include "engine/TAVProbe.h"
#include "platform/Shell.h"

#include <QRegularExpression>
#include <QStringList>
#include <cmath>
#include <limits>

namespace {

const QString kAsSource = QStringLiteral("as source");

bool IsAsSource(const QString &v)
{
    return v == kAsSource;
}

bool IsAsSourceAnyCase(const QString &v)
{
    return v.compare(kAsSource, Qt::CaseInsensitive) == 0;
}

// StrToInt and StrToFloat: the value or a conversion error.
int32_t ToInteger(const QString &text)
{
    if (!IsInteger(text))
        throw EConversionError(QStringLiteral("'%1' is not a valid integer value").arg(text));
    return text.trimmed().toInt();
}

long double ToReal(const QString &text)
{
    if (!IsNumber(text))
        throw EConversionError(QStringLiteral("'%1' is not a valid floating point value").arg(text));
    return text.trimmed().toDouble(); // always a point, whatever the locale
}

QString Num(int64_t v)
{
    return QString::number(v);
}

// The reads of one BuildJob: P is the format's profile section, S its settings section.
struct Sections
{
    IniFile P;
    IniFile S;
    QString section;

    explicit Sections(int code)
        : P(GlobalObject->FormatFile())
        , S(GlobalObject->SettingsFile())
        , section(FormatSection(code))
    {}
    QString p(const char *key, const char *def) const { return P.readString(section, key, def); }
    QString s(const char *key, const char *def) const { return S.readString(section, key, def); }
};

// The source rule: the source's value when it lies in the profile's range, else the
// profile's fallback (nothing for "as source").
std::optional<int32_t> SourceRule(int code, const Sections &ini, const TAVProbe &probe, TRangeKind kind)
{
    double value = -1;
    if (kind == TRangeKind::VideoBitRate) {
        if (probe.FirstVideoStreamIndex() >= 0)
            value = double(probe.FirstVideoStreamInfo().BitRate);
    } else if (probe.FirstAudioStreamIndex() >= 0) {
        const TAudioStreamInfo a = probe.FirstAudioStreamInfo();
        value = kind == TRangeKind::AudioSampleRate ? a.SampleRate : double(a.BitRate);
    }
    if (IsInProfileRange(code, kind, value))
        return int32_t(value);

    switch (kind) {
    case TRangeKind::AudioSampleRate: {
        const QString f = ini.p("paraSampleRate", "44100");
        if (IsAsSourceAnyCase(f))
            return std::nullopt;
        const int32_t v = ToInteger(f);
        return v > 0 ? std::optional<int32_t>(v) : std::nullopt;
    }
    case TRangeKind::VideoBitRate: {
        const QString f = ini.p("paraVideoBitRate", "256");
        if (IsAsSourceAnyCase(f))
            return std::nullopt;
        const int64_t v = int64_t(ToInteger(f)) * 1000;
        return v > 0 ? std::optional<int32_t>(int32_t(std::min<int64_t>(v, std::numeric_limits<int32_t>::max())))
                     : std::nullopt;
    }
    case TRangeKind::AudioBitRate: {
        const QString f = ini.p("paraAudioBitRate", "128");
        if (IsAsSourceAnyCase(f) || f.trimmed().isEmpty())
            return std::nullopt;
        const int64_t v = int64_t(ToReal(f) * 1000);
        return v > 0 ? std::optional<int32_t>(int32_t(std::min<int64_t>(v, std::numeric_limits<int32_t>::max())))
                     : std::nullopt;
    }
    }
    return std::nullopt;
}

void SetChannels(const Sections &ini, TOutputOptions &out, bool positiveOnly)
{
    const QString v = ini.s("paraChannel", "2");
    if (!IsAsSource(v) && IsInteger(v) && (!positiveOnly || ToInteger(v) > 0))
        out.ChannelCount = ToInteger(v);
}

void SetSampleRate(int code, const Sections &ini, const TAVProbe &probe, TOutputOptions &out)
{
    const QString v = ini.s("paraSampleRate", "44100");
    if (!IsAsSource(v) && IsInteger(v)) {
        if (ToInteger(v) > 0)
            out.SampleRateHz = ToInteger(v);
    } else if (const auto rate = SourceRule(code, ini, probe, TRangeKind::AudioSampleRate)) {
        out.SampleRateHz = *rate;
    }
}

void SetAudioBitRate(int code, const Sections &ini, const TAVProbe &probe, TOutputOptions &out)
{
    const QString v = ini.s("paraAudioBitRate", "128");
    if (!IsAsSource(v) && (IsNumber(v) || IsInteger(v))) {
        const long double x = ToReal(v) * 1000;
        if (x > 0)
            out.AudioBitsPerSec = int32_t(std::min<long double>(x, std::numeric_limits<int32_t>::max()));
    } else if (const auto rate = SourceRule(code, ini, probe, TRangeKind::AudioBitRate)) {
        out.AudioBitsPerSec = *rate;
    }
}

void SetVolume(const Sections &ini, TOutputOptions &out)
{
    // A missing key means the volume as it is. (Read as "3", a missing key turned every
    // conversion nearly silent.)
    const QString v = ini.s("paraVolume", "256");
    if (v != QLatin1String("256"))
        out.VolumeLevel = ToInteger(v);
}

// The letterbox and centre arithmetic over target W × H and source Ws × Hs.
struct Frame
{
    int W, H, Ws, Hs;
    double rW, rH; // stored as 64-bit reals
    int T = 0, B = 0, L = 0, R = 0;

    Frame(int w, int h, int ws, int hs)
        : W(w)
        , H(h)
        , Ws(ws)
        , Hs(hs)
    {
        if (W == 0 || H == 0)
            throw EConversionError(QStringLiteral("Division by zero"));
        rW = double(static_cast<long double>(Ws) / W);
        rH = double(static_cast<long double>(Hs) / H);
    }
    // The quotients divide an integer by the stored ratio in extended precision.
    int VPad(double r) const
    {
        const int64_t shrunk = int64_t(static_cast<long double>(Hs) / static_cast<long double>(r));
        return int((H - 2 * (shrunk / 2)) / 4 * 2);
    }
    int HPad(double r) const
    {
        const int64_t shrunk = int64_t(static_cast<long double>(Ws) / static_cast<long double>(r));
        return int((W - 2 * (shrunk / 2)) / 4 * 2);
    }
};

QString Letterbox(const TlvFilesRecord &item, int W, int H, int Ws, int Hs, TOutputOptions &out)
{
    Frame f(W, H, Ws, Hs);
    auto vertical = [&] {
        f.T = f.B = f.VPad(f.rW);
        f.L = f.R = 0;
    };
    auto horizontal = [&] {
        f.L = f.R = f.HPad(f.rH);
        f.T = f.B = 0;
    };
    if (W <= Ws && H >= Hs)
        vertical();
    if (W >= Ws && H <= Hs)
        horizontal();
    if (W >= Ws && H >= Hs) {
        if (f.rW > f.rH) {
            vertical();
        } else if (f.rW < f.rH) {
            horizontal();
        } else {
            f.T = f.B = f.VPad(f.rW);
            f.L = f.R = f.HPad(f.rH);
        }
    }
    if (W <= Ws && H <= Hs) {
        if (f.rW > f.rH)
            vertical();
        else
            horizontal(); // rW < rH, and rW = rH alike
    }
    if (W == Ws && H == Hs)
        f.T = f.B = f.L = f.R = 0;

    const int Wi = W - f.L - f.R, Hi = H - f.T - f.B;
    out.AspectText = Num(Wi) + QLatin1Char(':') + Num(Hi);
    const QString pad = QStringLiteral("pad=%1:%2:%3:%4").arg(W).arg(H).arg(f.L).arg(f.T);
    if (item.CropTop > 0 || item.CropLeft > 0 || item.CropBottom > 0 || item.CropRight > 0)
        return QStringLiteral("crop=%1:%2:%3:%4,scale=%5:%6,")
                   .arg(item.CropLeft)
                   .arg(item.CropTop)
                   .arg(Ws - item.CropLeft - item.CropRight)
                   .arg(Hs - item.CropTop - item.CropBottom)
                   .arg(Wi)
                   .arg(Hi) +
               pad;
    out.FrameSizeText = Num(Wi) + QLatin1Char('x') + Num(Hi);
    return pad;
}

QString Centre(int W, int H, int Ws, int Hs, TOutputOptions &out)
{
    Frame f(W, H, Ws, Hs);
    QString filter;
    auto set = [&](int w, int h, int pw, int ph, int px, int py) {
        out.FrameSizeText = Num(w) + QLatin1Char('x') + Num(h);
        out.AspectText = Num(W) + QLatin1Char(':') + Num(H);
        filter = QStringLiteral("pad=%1:%2:%3:%4:black").arg(pw).arg(ph).arg(px).arg(py);
    };
    auto tall = [&] {
        f.T = f.B = f.VPad(f.rW);
        set(W, H - 2 * f.R, Ws, Hs + f.T + f.B, 0, f.T);
    };
    auto wide = [&] {
        f.L = f.R = f.HPad(f.rH);
        set(W - f.L - f.R, H, Ws + f.L + f.R, Hs, f.L, 0);
    };
    auto both = [&] {
        f.T = f.B = f.VPad(f.rW);
        f.L = f.R = f.HPad(f.rH);
        set(W - f.L - f.R, H - 2 * f.R, Ws + f.L + f.R, Hs + f.T + f.B, f.L, f.T);
    };
    if (W <= Ws && H >= Hs)
        tall();
    if (W >= Ws && H <= Hs)
        wide();
    if (W >= Ws && H >= Hs)
        f.rW > f.rH ? tall() : f.rW < f.rH ? wide() : both();
    if (W <= Ws && H <= Hs) {
        if (f.rW > f.rH) {
            f.T = f.VPad(f.rW); // B stays as it was
            set(W, H - 2 * f.R, W, H, 0, f.T);
        } else {
            f.rW < f.rH ? wide() : both();
        }
    }
    if (W == Ws && H == Hs) {
        out.FrameSizeText = Num(W) + QLatin1Char('x') + Num(H);
        out.AspectText = Num(W) + QLatin1Char(':') + Num(H);
    }
    return filter;
}

void PanAndScan(const TlvFilesRecord &item, int W, int H, int Ws, int Hs, TOutputOptions &out)
{
    const long double k = 4.0L / 3.0L;
    const long double r = static_cast<long double>(Ws - item.CropLeft - item.CropRight) /
                          static_cast<long double>(Hs - item.CropTop - item.CropBottom);
    const int ow = Ws - out.CropLeftCols - out.CropRightCols;
    const int oh = Hs - out.CropTopRows - out.CropBottomRows;
    if (r > k) {
        const int64_t e = std::llabs(int64_t((static_cast<long double>(ow) / oh - k) * ow) / 2);
        const int64_t left = (e + item.CropLeft) / 2 * 2;
        out.CropLeftCols = out.CropRightCols = int32_t(left);
    } else if (r < k) {
        const int64_t e = std::llabs(int64_t((static_cast<long double>(oh) / ow - k) * oh) / 2);
        const int64_t top = (e + item.CropTop) / 2 * 2;
        out.CropTopRows = out.CropBottomRows = int32_t(top);
    }
    out.FrameSizeText = Num(W) + QLatin1Char('x') + Num(H);
    out.AspectText = Num(W) + QLatin1Char(':') + Num(H);
}

} // namespace

bool IsInteger(const QString &text)
{
    static const QRegularExpression re(QStringLiteral("^ *[+-]?[0-9]+$"));
    if (!re.match(text).hasMatch())
        return false;
    bool ok = false;
    text.trimmed().toInt(&ok);
    return ok;
}

bool IsNumber(const QString &text)
{
    static const QRegularExpression re(QStringLiteral("^\\s*[+-]?([0-9]+\\.?[0-9]*|\\.[0-9]+)([eE][+-]?[0-9]+)?\\s*$"));
    return re.match(text).hasMatch();
}

bool IsInProfileRange(int formatCode, TRangeKind kind, double value)
{
    const char *key = kind == TRangeKind::AudioSampleRate ? "SampleRate"
                      : kind == TRangeKind::AudioBitRate  ? "AudioBitRate"
                                                          : "VideoBitRate";
    const QString L = IniFile(GlobalObject->FormatFile()).readString(FormatSection(formatCode), key, "null");
    const qsizetype c1 = L.indexOf(QLatin1Char(','));
    const qsizetype cN = L.lastIndexOf(QLatin1Char(','));
    if (c1 < 1) // no comma, or a comma first
        return false;
    const QString first = L.left(c1);
    QString low = first;
    const QString afterFirst = L.mid(c1 + 1);
    if (!afterFirst.isEmpty() && IsAsSourceAnyCase(first)) {
        const qsizetype next = afterFirst.indexOf(QLatin1Char(','));
        low = next < 0 ? afterFirst : afterFirst.left(next);
    }
    const QString high = cN > c1 ? L.mid(cN + 1) : low;
    long double v = value;
    if (kind != TRangeKind::AudioSampleRate)
        v /= 1000;
    return ToReal(low) <= v && v <= ToReal(high);
}

void BuildJob(const TlvFilesRecord &item, int code, TOutputOptions &out, const TAVProbe &probe, TInputOptions &in)
{
    const Sections ini(code);

    // 1. Disc targets.
    const QString format = ini.p("Format", "null");
    const QString fmt = format.toLower();
    const QString size = ini.s("paraVideoSize", "null");
    struct Disc
    {
        const char *name;
        int kind, norm;
        const char *wide; // the size that makes the picture 16:9
    };
    static const Disc discs[] = {{"ntsc-dvd", 3, 2, "720x480"}, {"pal-dvd", 3, 1, "720x576"},
                                 {"ntsc-vcd", 1, 2, nullptr},   {"pal-vcd", 1, 1, nullptr},
                                 {"ntsc-svcd", 2, 2, nullptr},  {"pal-svcd", 2, 1, nullptr}};
    for (const Disc &d : discs)
        if (fmt == QLatin1String(d.name)) {
            out.TargetKind = d.kind;
            out.TargetNorm = d.norm;
            out.AspectText = d.wide && size == QLatin1String(d.wide) ? QStringLiteral("16:9") : QStringLiteral("4:3");
        }

    // 2. No video encoder: sound only.
    const QString enc = ini.s("paraVideoEncoder", "");
    if (enc.trimmed().isEmpty()) {
        // 3. Audio-only output.
        out.AudioCodecName = ini.s("paraAudioEncoder", "libfaac");
        static const QStringList audioContainers = {"amr",  "ac3", "asf", "aiff",     "au", "voc",
                                                    "flac", "flv", "avi", "matroska", "mmf"};
        if (audioContainers.contains(fmt))
            out.OutFormat = fmt;
        SetChannels(ini, out, true);
        SetSampleRate(code, ini, probe, out);
        SetAudioBitRate(code, ini, probe, out);
        SetVolume(ini, out);
        in.ExtraOptions = QStringLiteral("vn=1");
        out.NoVideo = true;
        out.NoSubtitles = true;
        return;
    }

    // 4. Video encoder.
    static const QStringList plainEncoders = {"mpeg4",     "libxvid", "mpeg1video", "msmpeg4",  "msmpeg4v1",
                                              "msmpeg4v2", "huffyuv", "dvvideo",    "rawvideo", "h263p",
                                              "h263",      "rv10",    "rv20",       "ljpeg",    "mjpeg",
                                              "svq1",      "zlib",    "wmv1",       "wmv2"};
    if (plainEncoders.contains(enc)) {
        out.VideoCodecName = enc;
    } else if (enc == QLatin1String("mpeg2video")) {
        out.VideoCodecName = enc;
        out.TargetKind = 3;
    } else if (enc == QLatin1String("libx264")) {
        out.VideoCodecName = enc;
        out.EncoderPreset = fmt == QLatin1String("psp")    ? QStringLiteral("libx264-psp")
                            : fmt == QLatin1String("ipod") ? QStringLiteral("libx264-ipod")
                            : fmt == QLatin1String("ps3")  ? QStringLiteral("libx264-ps3")
                                                           : QStringLiteral("libx264-mp4");
    }

    // 5. No video in the source.
    if (probe.VideoStreamCount() <= 0) {
        out.NoVideo = true;
    } else {
        // 6. Video bit rate.
        const QString vbr = ini.s("paraVideoBitRate", "512");
        if (!IsAsSource(vbr) && IsInteger(vbr)) {
            const int64_t v = int64_t(ToInteger(vbr)) * 1000;
            if (v > 0)
                out.VideoBitsPerSec = int32_t(std::min<int64_t>(v, std::numeric_limits<int32_t>::max()));
        } else if (const auto rate = SourceRule(code, ini, probe, TRangeKind::VideoBitRate)) {
            out.VideoBitsPerSec = *rate;
        }

        // 7. Frame rate.
        const QString fr = ini.s("paraFrameRate", "29.97");
        if (!IsAsSource(fr) && (IsNumber(fr) || IsInteger(fr)) && ToReal(fr) > 0)
            out.FrameRateText = fr;

        // 8. Container.
        static const QStringList videoContainers = {"ipod", "3gp", "3g2",    "avi", "psp", "mov",
                                                    "vcd",  "flv", "mpegts", "vob", "asf", "dv"};
        if (videoContainers.contains(fmt))
            out.OutFormat = format;

        // 9. Target size.
        const TVideoStreamInfo source = probe.FirstVideoStreamInfo();
        const int Ws = source.Width, Hs = source.Height;
        int W = Ws, H = Hs;
        QString v = size;
        const qsizetype x = v.indexOf(QLatin1Char('x')); // p − 1
        if (!IsAsSource(v) && x >= 1 && x <= v.size() - 2) {
            const QString w = v.left(x), h = v.mid(x + 1);
            W = IsInteger(w) ? ToInteger(w) : Ws;
            H = IsInteger(h) ? ToInteger(h) : Hs;
            if (out.VideoCodecName.toLower() == QLatin1String("h263") &&
                !QStringLiteral("704x576,352x288,176x144,160x120,128x96").contains(v)) {
                if (W > 176 && W <= 352)
                    W = 352, H = 288;
                if (W > 352 && W <= 704)
                    W = 704, H = 576;
                if (W > 704)
                    W = 704, H = 576;
            }
        } else if (!IsAsSource(v)) {
            const platform::MsgAnswer answer = platform::MessageBox(
                QStringLiteral("Error output Video Size.Use the default size 320x240?"), QStringLiteral("Warning"),
                platform::MsgButtons::YesNo, platform::MsgIcon::Question);
            if (answer == platform::MsgAnswer::Yes)
                W = 320, H = 240;
            else
                v = kAsSource;
        }
        if (IsAsSource(v))
            W = Ws, H = Hs;

        // 10. Crop fields not set by the run.
        for (int32_t *crop : {&out.CropTopRows, &out.CropBottomRows, &out.CropLeftCols, &out.CropRightCols})
            if (*crop == -1)
                *crop = 0;

        // 11. Zoom.
        QString filter;
        const QString &zoom = item.ZoomMode;
        if (zoom == QLatin1String("full")) {
            if (item.CropTop > 0 || item.CropBottom > 0 || item.CropLeft > 0 || item.CropRight > 0) {
                out.CropTopRows = item.CropTop;
                out.CropBottomRows = item.CropBottom;
                out.CropLeftCols = item.CropLeft;
                out.CropRightCols = item.CropRight;
            }
            out.FrameSizeText = Num(W) + QLatin1Char('x') + Num(H);
            out.AspectText = Num(W) + QLatin1Char(':') + Num(H);
        } else if (zoom == QLatin1String("lbox")) {
            filter = Letterbox(item, W, H, Ws, Hs, out);
        } else if (zoom == QLatin1String("pan")) {
            PanAndScan(item, W, H, Ws, Hs, out);
        } else if (zoom == QLatin1String("center")) {
            filter = Centre(W, H, Ws, Hs, out);
        }

        // 12. Filter chain.
        out.FilterChain = out.FilterChain.isEmpty() ? filter : out.FilterChain + QLatin1Char(',') + filter;
    }

    // 13. Sound of a video output.
    QString audio = ini.s("paraAudioEncoder", "");
    if (audio == QLatin1String("libamr_nb"))
        audio = QStringLiteral("libopencore_amrnb");
    out.AudioCodecName = audio;
    if (audio.trimmed().isEmpty())
        out.NoAudio = true;
    SetChannels(ini, out, false);
    SetVolume(ini, out);
    SetSampleRate(code, ini, probe, out);
    SetAudioBitRate(code, ini, probe, out);
}
