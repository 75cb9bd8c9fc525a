#include "engine/FilterGraph.h"

#include "engine/EngineLog.h"

#include <stdexcept>

extern "C" {
#include <libavfilter/buffersink.h>
#include <libavfilter/buffersrc.h>
#include <libavutil/channel_layout.h>
#include <libavutil/pixdesc.h>
}

namespace {

[[noreturn]] void Fail(const QString &what, int code)
{
    QString reason = AVErrorText(code);
    const QString detail = LastFFmpegError();
    if (!detail.isEmpty())
        reason += QStringLiteral(" (") + detail + QLatin1Char(')');
    throw std::runtime_error((what + QStringLiteral(": ") + reason).toStdString());
}

BuiltGraph Build(const char *sourceName, const QString &sourceArgs, const char *sinkName, const QString &description)
{
    ClearLastFFmpegError();
    BuiltGraph g;
    g.graph.reset(avfilter_graph_alloc());
    if (!g.graph)
        throw std::bad_alloc();
    int ret = avfilter_graph_create_filter(&g.source, avfilter_get_by_name(sourceName), "in",
                                           sourceArgs.toUtf8().constData(), nullptr, g.graph.get());
    if (ret < 0)
        Fail(QStringLiteral("Cannot set up the filter input"), ret);
    ret = avfilter_graph_create_filter(&g.sink, avfilter_get_by_name(sinkName), "out", nullptr, nullptr, g.graph.get());
    if (ret < 0)
        Fail(QStringLiteral("Cannot set up the filter output"), ret);

    if (description.isEmpty()) {
        ret = avfilter_link(g.source, 0, g.sink, 0);
        if (ret < 0)
            Fail(QStringLiteral("Cannot link the filters"), ret);
    } else {
        AVFilterInOut *outputs = avfilter_inout_alloc();
        AVFilterInOut *inputs = avfilter_inout_alloc();
        outputs->name = av_strdup("in");
        outputs->filter_ctx = g.source;
        inputs->name = av_strdup("out");
        inputs->filter_ctx = g.sink;
        ret = avfilter_graph_parse_ptr(g.graph.get(), description.toUtf8().constData(), &inputs, &outputs, nullptr);
        avfilter_inout_free(&inputs);
        avfilter_inout_free(&outputs);
        if (ret < 0)
            Fail(QStringLiteral("Invalid filter chain \"%1\"").arg(description), ret);
    }
    ret = avfilter_graph_config(g.graph.get(), nullptr);
    if (ret < 0)
        Fail(QStringLiteral("The filter chain \"%1\" cannot be applied").arg(description), ret);
    return g;
}

} // namespace

BuiltGraph BuildVideoGraph(const VideoInput &in, const QString &description)
{
    AVRational sar = in.sampleAspect;
    if (sar.num <= 0 || sar.den <= 0)
        sar = AVRational{1, 1};
    QString args = QStringLiteral("video_size=%1x%2:pix_fmt=%3:time_base=%4/%5:pixel_aspect=%6/%7")
                       .arg(in.width)
                       .arg(in.height)
                       .arg(int(in.format))
                       .arg(in.timeBase.num)
                       .arg(in.timeBase.den)
                       .arg(sar.num)
                       .arg(sar.den);
    if (in.frameRate.num > 0 && in.frameRate.den > 0)
        args += QStringLiteral(":frame_rate=%1/%2").arg(in.frameRate.num).arg(in.frameRate.den);
    return Build("buffer", args, "buffersink", description);
}

BuiltGraph BuildAudioGraph(const AudioInput &in, const QString &description)
{
    char layout[128] = {};
    av_channel_layout_describe(&in.layout, layout, sizeof layout);
    const QString args = QStringLiteral("time_base=%1/%2:sample_rate=%3:sample_fmt=%4:channel_layout=%5")
                             .arg(in.timeBase.num)
                             .arg(in.timeBase.den)
                             .arg(in.sampleRate)
                             .arg(QString::fromUtf8(av_get_sample_fmt_name(in.format)))
                             .arg(QString::fromUtf8(layout));
    return Build("abuffer", args, "abuffersink", description);
}
