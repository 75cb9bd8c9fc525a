#include "engine/OptionText.h"

#include <QRegularExpression>
#include <QStringList>
#include <cmath>

extern "C" {
#include <libavutil/parseutils.h>
}

std::optional<FrameSize> ParseFrameSizeText(const QString &text)
{
    static const QRegularExpression re(QStringLiteral("^\\s*(\\d{1,5})\\s*[xX]\\s*(\\d{1,5})\\s*$"));
    const auto m = re.match(text);
    if (!m.hasMatch())
        return std::nullopt;
    const int w = m.captured(1).toInt();
    const int h = m.captured(2).toInt();
    if (w <= 0 || h <= 0)
        return std::nullopt;
    return FrameSize{w, h};
}

std::optional<AVRational> ParseFrameRateText(const QString &text)
{
    AVRational rate{0, 1};
    if (av_parse_video_rate(&rate, text.trimmed().toUtf8().constData()) < 0 || rate.num <= 0 || rate.den <= 0)
        return std::nullopt;
    const double value = av_q2d(rate);
    for (int base : {24, 30, 60, 120}) {
        const double ntsc = base * 1000.0 / 1001.0;
        if (std::abs(value - ntsc) < 0.006 && rate.den != 1001)
            return AVRational{base * 1000, 1001};
    }
    return rate;
}

std::optional<AVRational> ParseAspectText(const QString &text)
{
    QString t = text.trimmed();
    t.replace(QLatin1Char(':'), QLatin1Char('/'));
    AVRational r{0, 1};
    if (t.isEmpty() || av_parse_ratio(&r, t.toUtf8().constData(), 1000000, 0, nullptr) < 0 || r.num <= 0 || r.den <= 0)
        return std::nullopt;
    return r;
}

QString ExtraOption(const QString &lines, const QString &key)
{
    for (const QString &line : lines.split(QRegularExpression(QStringLiteral("[\r\n]+")), Qt::SkipEmptyParts)) {
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        if (eq > 0 && line.left(eq).trimmed().compare(key, Qt::CaseInsensitive) == 0)
            return line.mid(eq + 1).trimmed();
    }
    return QString();
}
