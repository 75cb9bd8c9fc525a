#include "engine/Transcoder.h"

#include "engine/DevicePresets.h"
#include "engine/DiscTarget.h"
#include "engine/EncoderChoice.h"
#include "engine/EngineLog.h"
#include "engine/FFmpegPtr.h"
#include "engine/FilterGraph.h"
#include "engine/OptionText.h"
#include "engine/TAVProbe.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QStringList>
#include <chrono>
#include <cstdio>
#include <stdexcept>

extern "C" {
#include <libavcodec/dv_profile.h>
#include <libavfilter/buffersink.h>
#include <libavfilter/buffersrc.h>
#include <libavutil/channel_layout.h>
#include <libavutil/pixdesc.h>
}

QString TranslateFilterChain(const QString &chain)
{
    // "crop=left:top:width:height", with four plain numbers, is the option records' order;
    // FFmpeg's crop takes width:height:x:y.
    static const QRegularExpression crop(QStringLiteral("^\\s*crop\\s*=\\s*(-?\\d+):(-?\\d+):(-?\\d+):(-?\\d+)\\s*$"));
    QStringList steps = chain.split(QLatin1Char(','));
    for (QString &step : steps) {
        const auto m = crop.match(step);
        if (m.hasMatch())
            step = QStringLiteral("crop=%1:%2:%3:%4").arg(m.captured(3), m.captured(4), m.captured(1), m.captured(2));
    }
    return steps.join(QLatin1Char(','));
}

QString VideoFilterDescription(const TOutputOptions &o, int sourceWidth, int sourceHeight, AVRational rate,
                               int outputFormat)
{
    QStringList steps;
    const int left = std::max(0, o.CropLeftCols);
    const int right = std::max(0, o.CropRightCols);
    const int top = std::max(0, o.CropTopRows);
    const int bottom = std::max(0, o.CropBottomRows);
    if (left || right || top || bottom)
        steps << QStringLiteral("crop=%1:%2:%3:%4")
                     .arg(sourceWidth - left - right)
                     .arg(sourceHeight - top - bottom)
                     .arg(left)
                     .arg(top);
    if (const auto size = ParseFrameSizeText(o.FrameSizeText))
        steps << QStringLiteral("scale=%1:%2").arg(size->width).arg(size->height);
    if (!o.FilterChain.trimmed().isEmpty())
        steps << TranslateFilterChain(o.FilterChain.trimmed());
    if (rate.num > 0 && rate.den > 0)
        steps << QStringLiteral("fps=%1/%2").arg(rate.num).arg(rate.den);
    const AVPixFmtDescriptor *desc = av_pix_fmt_desc_get(AVPixelFormat(outputFormat));
    if (desc && (desc->log2_chroma_w || desc->log2_chroma_h)) {
        // Subsampled formats need sizes in whole chroma samples; an odd source loses its
        // last row or column rather than failing the task.
        const int mw = 1 << desc->log2_chroma_w;
        const int mh = 1 << desc->log2_chroma_h;
        steps << QStringLiteral("crop=trunc(iw/%1)*%1:trunc(ih/%2)*%2:0:0").arg(mw).arg(mh);
    }
    if (const auto dar = ParseAspectText(o.AspectText))
        steps << QStringLiteral("setdar=%1/%2").arg(dar->num).arg(dar->den);
    if (desc)
        steps << QStringLiteral("format=%1").arg(QString::fromUtf8(desc->name));
    return steps.join(QLatin1Char(','));
}

namespace {

constexpr AVRational kMicroseconds{1, AV_TIME_BASE};

class Failure : public std::runtime_error
{
public:
    explicit Failure(const QString &message)
        : std::runtime_error(message.toStdString())
    {}
};

[[noreturn]] void Fail(const QString &message)
{
    throw Failure(message);
}

// FFmpeg's reason for a code, with the last error it logged on this thread when that
// says more.
[[noreturn]] void FailAV(const QString &what, int code)
{
    QString reason = AVErrorText(code);
    const QString detail = LastFFmpegError();
    if (!detail.isEmpty())
        reason += QStringLiteral(" (") + detail + QLatin1Char(')');
    Fail(what + QStringLiteral(": ") + reason);
}

struct OutputContextFree
{
    void operator()(AVFormatContext *c) const
    {
        if (c->pb && !(c->oformat->flags & AVFMT_NOFILE))
            avio_closep(&c->pb);
        avformat_free_context(c);
    }
};
using OutputContextPtr = std::unique_ptr<AVFormatContext, OutputContextFree>;

// One converted stream: decoder, filters, encoder.
struct Lane
{
    AVMediaType type = AVMEDIA_TYPE_UNKNOWN;
    AVStream *in = nullptr;
    CodecContextPtr dec;
    BuiltGraph graph;
    VideoInput videoInput; // what the video graph was built for
    QString description;   // the video graph's filters
    CodecContextPtr enc;
    AVStream *out = nullptr;
    int64_t startTs = 0;             // source ticks of output time 0
    int64_t limitTs = INT64_MAX;     // source ticks where the output ends
    int64_t nextTs = AV_NOPTS_VALUE; // predicted time of a frame that carries none
    bool done = false;               // no more input wanted
    int64_t framesIn = 0;
    int64_t framesOut = 0;
};

class Job
{
public:
    Job(int task, const TInputOptions &in, const TOutputOptions &out, TaskControl &control, const TranscodeHooks &hooks)
        : m_task(task)
        , m_inOpt(in)
        , m_outOpt(out)
        , m_control(control)
        , m_hooks(hooks)
    {}

    TranscodeResult run();

private:
    void openInput();
    void openOutput();
    void setupVideo(AVStream *st, const AVCodec *codec);
    void setupAudio(AVStream *st, const AVCodec *codec);
    void setupSubtitles(AVStream *st);
    void seekToStart();
    void readAll();
    void flush();
    void decode(Lane &lane, const AVPacket *pkt);
    void takeVideoFrame(Lane &lane, AVFrame *frame);
    void takeAudioFrame(Lane &lane, AVFrame *frame);
    void rebuildVideoGraph(Lane &lane, const AVFrame *frame);
    void drain(Lane &lane);
    void encode(Lane &lane, AVFrame *frame);
    void copySubtitle(AVPacket *pkt);
    void write(AVPacket *pkt);
    void reportProgress(bool force);
    void setTimes(Lane &lane) const;
    Lane *laneOf(int streamIndex);

    int m_task;
    TInputOptions m_inOpt;
    TOutputOptions m_outOpt;
    TaskControl &m_control;
    const TranscodeHooks &m_hooks;

    QString m_dest;
    QString m_temp;
    InputContextPtr m_in;
    OutputContextPtr m_out;
    std::vector<std::unique_ptr<Lane>> m_lanes;
    AVStream *m_subIn = nullptr;
    AVStream *m_subOut = nullptr;
    Lane m_subTiming; // start and limit of the subtitle stream
    FramePtr m_frame{av_frame_alloc()};
    FramePtr m_filtered{av_frame_alloc()};
    PacketPtr m_packet{av_packet_alloc()};
    PacketPtr m_encoded{av_packet_alloc()};
    int64_t m_fileStart = 0; // µs
    int64_t m_outputUs = 0;
    int64_t m_packetsWritten = 0;
    int64_t m_total = -1;
    std::chrono::steady_clock::time_point m_lastReport;
};

TranscodeResult Job::run()
{
    TranscodeResult result;
    InstallFFmpegLog();
    ClearLastFFmpegError();
    try {
        if (!m_frame || !m_filtered || !m_packet || !m_encoded)
            throw std::bad_alloc();
        openInput();
        openOutput();
        seekToStart();
        m_lastReport = std::chrono::steady_clock::now();
        readAll();
        if (m_control.aborted()) {
            result.aborted = true;
        } else {
            flush();
            if (m_packetsWritten == 0)
                Fail(QStringLiteral("Nothing could be converted from %1: no audio or video in the part to convert")
                         .arg(m_inOpt.InFileName));
            const int ret = av_write_trailer(m_out.get());
            if (ret < 0)
                FailAV(QStringLiteral("Cannot finish %1").arg(m_dest), ret);
            reportProgress(true);
            m_out.reset(); // closes the file
            if (std::rename(QFile::encodeName(m_temp).constData(), QFile::encodeName(m_dest).constData()) != 0)
                Fail(QStringLiteral("Cannot save %1: %2").arg(m_dest, QString::fromLocal8Bit(strerror(errno))));
            result.ok = true;
        }
    } catch (const std::exception &e) {
        result.error = QString::fromUtf8(e.what());
    }
    if (!result.ok) {
        m_out.reset();
        if (!m_temp.isEmpty())
            QFile::remove(m_temp);
    }
    return result;
}

void Job::openInput()
{
    const QString path = m_inOpt.InFileName;
    const AVInputFormat *forced = nullptr;
    if (!m_inOpt.InFormat.isEmpty() && !(forced = av_find_input_format(m_inOpt.InFormat.toUtf8().constData())))
        Fail(QStringLiteral("Unknown input format \"%1\"").arg(m_inOpt.InFormat));
    AVFormatContext *ic = nullptr;
    int ret = avformat_open_input(&ic, path.toUtf8().constData(), forced, nullptr);
    if (ret < 0)
        FailAV(QStringLiteral("Cannot open %1").arg(path), ret);
    m_in.reset(ic);
    ret = avformat_find_stream_info(ic, nullptr);
    if (ret < 0)
        FailAV(QStringLiteral("Cannot read the streams of %1").arg(path), ret);
    m_fileStart = ic->start_time == AV_NOPTS_VALUE ? 0 : ic->start_time;

    const int64_t start = m_inOpt.StartOffset.value_or(0);
    if (m_outOpt.DurationLimit)
        m_total = *m_outOpt.DurationLimit;
    else if (ic->duration != AV_NOPTS_VALUE && ic->duration > 0)
        m_total = std::max<int64_t>(0, ic->duration - start);
}

void Job::openOutput()
{
    m_dest = m_outOpt.OutFileName;
    if (m_dest.isEmpty())
        Fail(QStringLiteral("No output file was set for %1").arg(m_inOpt.InFileName));
    const QFileInfo destInfo(m_dest);
    if (destInfo.exists() && destInfo.canonicalFilePath() == QFileInfo(m_inOpt.InFileName).canonicalFilePath())
        Fail(QStringLiteral("The output file %1 is the source itself").arg(m_dest));

    // A disc standard fills in what the task left at the engine's defaults.
    AVRational sourceRate{0, 1};
    for (unsigned i = 0; i < m_in->nb_streams; ++i)
        if (m_in->streams[i]->codecpar->codec_type == AVMEDIA_TYPE_VIDEO && !IsAttachedPicture(m_in->streams[i])) {
            sourceRate = av_guess_frame_rate(m_in.get(), m_in->streams[i], nullptr);
            break;
        }
    m_outOpt = ApplyDiscTarget(m_outOpt, sourceRate);

    AVFormatContext *oc = nullptr;
    const QByteArray formatName = m_outOpt.OutFormat.trimmed().toUtf8();
    int ret = avformat_alloc_output_context2(&oc, nullptr, formatName.isEmpty() ? nullptr : formatName.constData(),
                                             m_dest.toUtf8().constData());
    if (ret < 0 || !oc) {
        if (!formatName.isEmpty())
            Fail(QStringLiteral("Unknown output format \"%1\"").arg(QString::fromUtf8(formatName)));
        Fail(QStringLiteral("Cannot tell the output format from the name %1").arg(m_dest));
    }
    m_out.reset(oc);

    const bool readVideo = !m_outOpt.NoVideo && ExtraOption(m_inOpt.ExtraOptions, QStringLiteral("vn")) != "1";
    const bool readAudio = !m_outOpt.NoAudio && ExtraOption(m_inOpt.ExtraOptions, QStringLiteral("an")) != "1";
    const bool readSubs = !m_outOpt.NoSubtitles && ExtraOption(m_inOpt.ExtraOptions, QStringLiteral("sn")) != "1";
    AVStream *video = nullptr;
    AVStream *audio = nullptr;
    AVStream *subs = nullptr;
    for (unsigned i = 0; i < m_in->nb_streams; ++i) {
        AVStream *st = m_in->streams[i];
        const AVMediaType type = st->codecpar->codec_type;
        if (type == AVMEDIA_TYPE_VIDEO && !IsAttachedPicture(st) && !video && readVideo)
            video = st;
        else if (type == AVMEDIA_TYPE_AUDIO && !audio && readAudio)
            audio = st;
        else if (type == AVMEDIA_TYPE_SUBTITLE && !subs && readSubs)
            subs = st;
        else
            st->discard = AVDISCARD_ALL;
    }
    if (!video && !audio)
        Fail(QStringLiteral("%1 has no %2 to convert")
                 .arg(m_inOpt.InFileName, readVideo && readAudio ? QStringLiteral("audio or video")
                                          : readVideo            ? QStringLiteral("video")
                                                                 : QStringLiteral("audio")));
    // Both encoders are looked up before either is set up, so that a missing one is
    // reported as such rather than as some other complaint of the first.
    QString why;
    const AVCodec *videoCodec = nullptr;
    const AVCodec *audioCodec = nullptr;
    if (video && !(videoCodec = FindEncoder(m_outOpt.VideoCodecName, oc->oformat, AVMEDIA_TYPE_VIDEO, &why)))
        Fail(why);
    if (audio && !(audioCodec = FindEncoder(m_outOpt.AudioCodecName, oc->oformat, AVMEDIA_TYPE_AUDIO, &why)))
        Fail(why);
    if (video)
        setupVideo(video, videoCodec);
    if (audio)
        setupAudio(audio, audioCodec);
    if (subs)
        setupSubtitles(subs);

    av_dict_copy(&oc->metadata, m_in->metadata, 0);
    if (m_outOpt.PacketSize > 0)
        oc->packet_size = unsigned(m_outOpt.PacketSize);
    AVDictionary *muxOptions = nullptr;
    if (m_outOpt.MuxRate > 0)
        av_dict_set_int(&muxOptions, "muxrate", m_outOpt.MuxRate, 0);
    if (m_outOpt.MuxPreload >= 0)
        av_dict_set_int(&muxOptions, "preload", int64_t(m_outOpt.MuxPreload * AV_TIME_BASE), 0);
    const QByteArray muxer(oc->oformat->name);
    if (muxer == "ipod" || muxer == "psp")
        av_dict_set(&muxOptions, "movflags", "+faststart", 0); // devices play from the start of the file

    // A hidden temporary name beside the destination: renamed over it only on success.
    m_temp = destInfo.absolutePath() + QStringLiteral("/.") + destInfo.fileName() +
             QStringLiteral(".%1.part").arg(QRandomGenerator::global()->generate(), 8, 16, QLatin1Char('0'));
    // Muxers that reopen their file (to move the index to the front) go by the URL.
    av_freep(&oc->url);
    oc->url = av_strdup(m_temp.toUtf8().constData());
    if (!oc->url)
        throw std::bad_alloc();
    if (!(oc->oformat->flags & AVFMT_NOFILE)) {
        ret = avio_open(&oc->pb, m_temp.toUtf8().constData(), AVIO_FLAG_WRITE);
        if (ret < 0) {
            m_temp.clear();
            av_dict_free(&muxOptions);
            FailAV(QStringLiteral("Cannot create %1").arg(m_dest), ret);
        }
    }
    ret = avformat_write_header(oc, &muxOptions);
    av_dict_free(&muxOptions);
    if (ret < 0)
        FailAV(QStringLiteral("Cannot write %1").arg(m_dest), ret);
}

void Job::setTimes(Lane &lane) const
{
    const int64_t startUs = m_fileStart + m_inOpt.StartOffset.value_or(0);
    lane.startTs = av_rescale_q(startUs, kMicroseconds, lane.in->time_base);
    if (m_outOpt.DurationLimit)
        lane.limitTs = lane.startTs + av_rescale_q(*m_outOpt.DurationLimit, kMicroseconds, lane.in->time_base);
}

CodecContextPtr OpenDecoder(AVStream *st)
{
    QString why;
    CodecContextPtr dec = OpenStreamDecoder(st, &why);
    if (!dec)
        Fail(why);
    return dec;
}

void OpenEncoder(Lane &lane, const AVCodec *codec, AVFormatContext *oc, AVDictionary **options)
{
    if (oc->oformat->flags & AVFMT_GLOBALHEADER)
        lane.enc->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    lane.enc->thread_count = 0;
    const int ret = avcodec_open2(lane.enc.get(), codec, options);
    if (ret < 0)
        FailAV(QStringLiteral("Cannot open the encoder %1").arg(QString::fromUtf8(codec->name)), ret);
    lane.out = avformat_new_stream(oc, nullptr);
    if (!lane.out)
        throw std::bad_alloc();
    if (avcodec_parameters_from_context(lane.out->codecpar, lane.enc.get()) < 0)
        throw std::bad_alloc();
    lane.out->time_base = lane.enc->time_base;
    av_dict_copy(&lane.out->metadata, lane.in->metadata, 0);
}

void Job::setupVideo(AVStream *st, const AVCodec *codec)
{
    auto lane = std::make_unique<Lane>();
    lane->type = AVMEDIA_TYPE_VIDEO;
    lane->in = st;
    lane->dec = OpenDecoder(st);
    AVCodecContext *dec = lane->dec.get();
    if (dec->pix_fmt == AV_PIX_FMT_NONE || dec->width <= 0 || dec->height <= 0)
        Fail(QStringLiteral("Cannot tell the picture size of %1").arg(m_inOpt.InFileName));
    setTimes(*lane);

    AVRational rate = av_guess_frame_rate(m_in.get(), st, nullptr);
    if (!m_outOpt.FrameRateText.trimmed().isEmpty()) {
        const auto wanted = ParseFrameRateText(m_outOpt.FrameRateText);
        if (!wanted)
            Fail(QStringLiteral("Invalid frame rate \"%1\"").arg(m_outOpt.FrameRateText));
        rate = *wanted;
    }
    if (rate.num <= 0 || rate.den <= 0 || av_q2d(rate) > 1000)
        rate = AVRational{25, 1};
    rate = ChooseFrameRate(codec, rate);
    av_reduce(&rate.num, &rate.den, rate.num, rate.den, 65535);

    if (!m_outOpt.FrameSizeText.trimmed().isEmpty() && !ParseFrameSizeText(m_outOpt.FrameSizeText))
        Fail(QStringLiteral("Invalid frame size \"%1\"").arg(m_outOpt.FrameSizeText));

    AVDictionary *options = nullptr;
    AVPixelFormat outFormat = ChooseVideoFormat(codec, dec->pix_fmt);
    if (const TDevicePreset *preset = FindDevicePreset(m_outOpt.EncoderPreset);
        preset && QByteArray(codec->name) == "libx264") {
        av_dict_set(&options, "profile", preset->profile, 0);
        av_dict_set(&options, "level", preset->level, 0);
        outFormat = AV_PIX_FMT_YUV420P;
    }
    if (m_outOpt.ScanOffset)
        av_dict_set(&options, "scan_offset", "1", 0);
    lane->videoInput = VideoInput{dec->width,
                                  dec->height,
                                  dec->pix_fmt,
                                  st->time_base,
                                  av_guess_sample_aspect_ratio(m_in.get(), st, nullptr),
                                  av_guess_frame_rate(m_in.get(), st, nullptr)};
    lane->description = VideoFilterDescription(m_outOpt, dec->width, dec->height, rate, outFormat);
    try {
        lane->graph = BuildVideoGraph(lane->videoInput, lane->description);
        // DV takes one pixel format per picture size and rate (NTSC 4:1:1, PAL 4:2:0).
        const int w = av_buffersink_get_w(lane->graph.sink), h = av_buffersink_get_h(lane->graph.sink);
        if (codec->id == AV_CODEC_ID_DVVIDEO && codec->pix_fmts && !av_dv_codec_profile2(w, h, outFormat, rate)) {
            for (const AVPixelFormat *f = codec->pix_fmts; *f != AV_PIX_FMT_NONE; ++f) {
                const AVDVProfile *profile = av_dv_codec_profile2(w, h, *f, rate);
                if (profile && profile->pix_fmt == *f) {
                    outFormat = *f;
                    lane->description = VideoFilterDescription(m_outOpt, dec->width, dec->height, rate, outFormat);
                    lane->graph = BuildVideoGraph(lane->videoInput, lane->description);
                    break;
                }
            }
        }
    } catch (const std::runtime_error &e) {
        av_dict_free(&options);
        Fail(QString::fromUtf8(e.what()));
    }

    lane->enc.reset(avcodec_alloc_context3(codec));
    if (!lane->enc) {
        av_dict_free(&options);
        throw std::bad_alloc();
    }
    AVCodecContext *enc = lane->enc.get();
    AVFilterContext *sink = lane->graph.sink;
    enc->width = av_buffersink_get_w(sink);
    enc->height = av_buffersink_get_h(sink);
    enc->pix_fmt = AVPixelFormat(av_buffersink_get_format(sink));
    enc->sample_aspect_ratio = av_buffersink_get_sample_aspect_ratio(sink);
    enc->framerate = rate;
    enc->time_base = av_inv_q(rate);
    if (m_outOpt.VideoBitsPerSec > 0)
        enc->bit_rate = m_outOpt.VideoBitsPerSec;
    if (m_outOpt.GopSize > 0)
        enc->gop_size = m_outOpt.GopSize;
    if (m_outOpt.MaxRate > 0)
        enc->rc_max_rate = m_outOpt.MaxRate;
    if (m_outOpt.MinRate > 0)
        enc->rc_min_rate = m_outOpt.MinRate;
    if (m_outOpt.BufferSize > 0)
        enc->rc_buffer_size = m_outOpt.BufferSize;
    const AVPixFmtDescriptor *outDesc = av_pix_fmt_desc_get(enc->pix_fmt);
    const AVPixFmtDescriptor *inDesc = av_pix_fmt_desc_get(dec->pix_fmt);
    if (outDesc && inDesc && (outDesc->flags & AV_PIX_FMT_FLAG_RGB) == (inDesc->flags & AV_PIX_FMT_FLAG_RGB)) {
        enc->colorspace = dec->colorspace;
        enc->color_primaries = dec->color_primaries;
        enc->color_trc = dec->color_trc;
        enc->color_range = dec->color_range;
    }
    if (QString::fromUtf8(outDesc ? outDesc->name : "").startsWith(QLatin1String("yuvj")))
        enc->color_range = AVCOL_RANGE_JPEG;

    try {
        OpenEncoder(*lane, codec, m_out.get(), &options);
    } catch (...) {
        av_dict_free(&options);
        throw;
    }
    av_dict_free(&options);
    lane->out->sample_aspect_ratio = enc->sample_aspect_ratio;
    lane->out->avg_frame_rate = rate;
    m_lanes.push_back(std::move(lane));
}

void Job::setupAudio(AVStream *st, const AVCodec *codec)
{
    auto lane = std::make_unique<Lane>();
    lane->type = AVMEDIA_TYPE_AUDIO;
    lane->in = st;
    lane->dec = OpenDecoder(st);
    AVCodecContext *dec = lane->dec.get();
    if (dec->sample_fmt == AV_SAMPLE_FMT_NONE || dec->sample_rate <= 0 || dec->ch_layout.nb_channels <= 0)
        Fail(QStringLiteral("Cannot tell the sound format of %1").arg(m_inOpt.InFileName));
    if (dec->ch_layout.order == AV_CHANNEL_ORDER_UNSPEC) {
        const int channels = dec->ch_layout.nb_channels;
        av_channel_layout_uninit(&dec->ch_layout);
        av_channel_layout_default(&dec->ch_layout, channels);
    }
    setTimes(*lane);

    const int rate = ChooseSampleRate(codec, m_outOpt.SampleRateHz > 0 ? m_outOpt.SampleRateHz : dec->sample_rate);
    AVChannelLayout wanted{};
    if (m_outOpt.ChannelCount > 0)
        av_channel_layout_default(&wanted, m_outOpt.ChannelCount);
    else
        av_channel_layout_copy(&wanted, &dec->ch_layout);
    AVChannelLayout layout{};
    ChooseChannelLayout(codec, wanted, &layout);
    av_channel_layout_uninit(&wanted);
    const AVSampleFormat format = ChooseSampleFormat(codec, dec->sample_fmt);

    char layoutName[128] = {};
    av_channel_layout_describe(&layout, layoutName, sizeof layoutName);
    QStringList steps;
    if (m_inOpt.StartOffset || m_outOpt.DurationLimit) {
        // Times in samples of the source rate, counted from the start offset.
        QString trim = QStringLiteral("atrim=start_pts=0");
        if (m_outOpt.DurationLimit)
            trim +=
                QStringLiteral(":end_pts=%1").arg(av_rescale(*m_outOpt.DurationLimit, dec->sample_rate, AV_TIME_BASE));
        steps << trim;
    }
    if (m_outOpt.VolumeLevel >= 0 && m_outOpt.VolumeLevel != 256)
        steps << QStringLiteral("volume=%1").arg(m_outOpt.VolumeLevel / 256.0, 0, 'g', 17);
    steps << QStringLiteral("aformat=sample_fmts=%1:sample_rates=%2:channel_layouts=%3")
                 .arg(QString::fromUtf8(av_get_sample_fmt_name(format)))
                 .arg(rate)
                 .arg(QString::fromUtf8(layoutName));
    AudioInput input;
    input.sampleRate = dec->sample_rate;
    input.format = dec->sample_fmt;
    av_channel_layout_copy(&input.layout, &dec->ch_layout);
    input.timeBase = AVRational{1, dec->sample_rate};
    try {
        lane->graph = BuildAudioGraph(input, steps.join(QLatin1Char(',')));
    } catch (const std::runtime_error &e) {
        av_channel_layout_uninit(&input.layout);
        av_channel_layout_uninit(&layout);
        Fail(QString::fromUtf8(e.what()));
    }
    av_channel_layout_uninit(&input.layout);

    lane->enc.reset(avcodec_alloc_context3(codec));
    if (!lane->enc) {
        av_channel_layout_uninit(&layout);
        throw std::bad_alloc();
    }
    AVCodecContext *enc = lane->enc.get();
    enc->sample_rate = rate;
    enc->sample_fmt = format;
    av_channel_layout_copy(&enc->ch_layout, &layout);
    av_channel_layout_uninit(&layout);
    enc->time_base = AVRational{1, rate};
    if (m_outOpt.AudioBitsPerSec > 0)
        enc->bit_rate = m_outOpt.AudioBitsPerSec;
    AVDictionary *options = nullptr;
    OpenEncoder(*lane, codec, m_out.get(), &options);
    av_dict_free(&options);
    if (!(codec->capabilities & AV_CODEC_CAP_VARIABLE_FRAME_SIZE) && enc->frame_size > 0)
        av_buffersink_set_frame_size(lane->graph.sink, unsigned(enc->frame_size));
    m_lanes.push_back(std::move(lane));
}

void Job::setupSubtitles(AVStream *st)
{
    // Subtitles are carried over unchanged where the container can hold them.
    if (avformat_query_codec(m_out->oformat, st->codecpar->codec_id, FF_COMPLIANCE_NORMAL) != 1) {
        st->discard = AVDISCARD_ALL;
        return;
    }
    AVStream *out = avformat_new_stream(m_out.get(), nullptr);
    if (!out || avcodec_parameters_copy(out->codecpar, st->codecpar) < 0)
        throw std::bad_alloc();
    out->codecpar->codec_tag = 0;
    out->time_base = st->time_base;
    av_dict_copy(&out->metadata, st->metadata, 0);
    m_subIn = st;
    m_subOut = out;
    m_subTiming.in = st;
    setTimes(m_subTiming);
}

void Job::seekToStart()
{
    const int64_t offset = m_inOpt.StartOffset.value_or(0);
    if (offset <= 0)
        return;
    const int64_t ts = m_fileStart + offset;
    // Lands on the key frame before the start; decoding then drops up to the start.
    if (avformat_seek_file(m_in.get(), -1, INT64_MIN, ts, ts, 0) < 0)
        EngineLog(QStringLiteral("Cannot seek in %1; decoding from the beginning").arg(m_inOpt.InFileName));
}

Lane *Job::laneOf(int streamIndex)
{
    for (auto &lane : m_lanes)
        if (lane->in->index == streamIndex)
            return lane.get();
    return nullptr;
}

void Job::readAll()
{
    for (;;) {
        if (!m_control.waitWhilePaused())
            return;
        bool allDone = true;
        for (auto &lane : m_lanes)
            allDone = allDone && lane->done;
        if (allDone)
            return;
        AVPacket *pkt = m_packet.get();
        const int ret = av_read_frame(m_in.get(), pkt);
        if (ret == AVERROR(EAGAIN))
            continue;
        if (ret < 0) {
            // A damaged or cut-off file ends here; what was read so far is converted.
            if (ret != AVERROR_EOF)
                EngineLog(QStringLiteral("Reading %1 stopped: %2").arg(m_inOpt.InFileName, AVErrorText(ret)));
            return;
        }
        if (Lane *lane = laneOf(pkt->stream_index)) {
            if (!lane->done)
                decode(*lane, pkt);
        } else if (m_subIn && pkt->stream_index == m_subIn->index) {
            copySubtitle(pkt);
        }
        av_packet_unref(pkt);
        reportProgress(false);
    }
}

void Job::flush()
{
    for (auto &lane : m_lanes) {
        decode(*lane, nullptr);
        // The end of the input is the end of its last frame (or the limit), so that the
        // frame rate step keeps the last picture for its whole duration.
        int64_t end = AV_NOPTS_VALUE;
        if (lane->type == AVMEDIA_TYPE_VIDEO && lane->nextTs != AV_NOPTS_VALUE)
            end = std::max<int64_t>(0, std::min(lane->nextTs, lane->limitTs) - lane->startTs);
        const int ret = av_buffersrc_close(lane->graph.source, end, 0);
        if (ret < 0 && ret != AVERROR_EOF)
            FailAV(QStringLiteral("Cannot finish the filters"), ret);
        drain(*lane);
        encode(*lane, nullptr);
    }
}

void Job::decode(Lane &lane, const AVPacket *pkt)
{
    int ret = avcodec_send_packet(lane.dec.get(), pkt);
    if (ret < 0 && ret != AVERROR_EOF) {
        // One damaged packet costs one picture or a few milliseconds of sound, not the task.
        EngineLog(QStringLiteral("Decoding error in %1: %2").arg(m_inOpt.InFileName, AVErrorText(ret)));
        return;
    }
    AVFrame *frame = m_frame.get();
    while ((ret = avcodec_receive_frame(lane.dec.get(), frame)) >= 0) {
        if (lane.type == AVMEDIA_TYPE_VIDEO)
            takeVideoFrame(lane, frame);
        else
            takeAudioFrame(lane, frame);
        av_frame_unref(frame);
    }
    if (ret != AVERROR(EAGAIN) && ret != AVERROR_EOF)
        EngineLog(QStringLiteral("Decoding error in %1: %2").arg(m_inOpt.InFileName, AVErrorText(ret)));
}

void Job::takeVideoFrame(Lane &lane, AVFrame *frame)
{
    int64_t ts = frame->best_effort_timestamp;
    if (ts == AV_NOPTS_VALUE)
        ts = lane.nextTs != AV_NOPTS_VALUE ? lane.nextTs : lane.startTs;
    int64_t duration = frame->pkt_duration;
    if (duration <= 0) {
        const AVRational rate = av_guess_frame_rate(m_in.get(), lane.in, frame);
        duration = rate.num > 0 ? av_rescale_q(1, av_inv_q(rate), lane.in->time_base) : 1;
    }
    lane.nextTs = ts + std::max<int64_t>(duration, 1);
    if (lane.done)
        return;
    if (ts >= lane.limitTs) {
        lane.done = true;
        return;
    }
    if (ts < lane.startTs)
        return; // before the start offset: decoded only to reach it

    if (m_hooks.videoFrame) {
        const int64_t sourceUs = av_rescale_q(ts, lane.in->time_base, kMicroseconds) - m_fileStart;
        m_hooks.videoFrame(frame, lane.framesIn, sourceUs);
    }
    if (m_hooks.convertedFrame)
        m_hooks.convertedFrame(frame);
    ++lane.framesIn;

    frame->pts = ts - lane.startTs;
    const VideoInput &in = lane.videoInput;
    if (frame->width != in.width || frame->height != in.height || frame->format != in.format)
        rebuildVideoGraph(lane, frame);
    const int ret = av_buffersrc_add_frame_flags(lane.graph.source, frame, AV_BUFFERSRC_FLAG_KEEP_REF);
    if (ret < 0)
        FailAV(QStringLiteral("Cannot filter the picture"), ret);
    drain(lane);
}

void Job::rebuildVideoGraph(Lane &lane, const AVFrame *frame)
{
    // The source changed its picture size or format midway: filter the new pictures to
    // the size and format the encoder was opened with.
    drain(lane);
    lane.videoInput.width = frame->width;
    lane.videoInput.height = frame->height;
    lane.videoInput.format = AVPixelFormat(frame->format);
    const AVCodecContext *enc = lane.enc.get();
    const QString description = lane.description + QStringLiteral(",scale=%1:%2,setsar=%3/%4,format=%5")
                                                       .arg(enc->width)
                                                       .arg(enc->height)
                                                       .arg(std::max(1, enc->sample_aspect_ratio.num))
                                                       .arg(std::max(1, enc->sample_aspect_ratio.den))
                                                       .arg(QString::fromUtf8(av_get_pix_fmt_name(enc->pix_fmt)));
    try {
        lane.graph = BuildVideoGraph(lane.videoInput, description);
    } catch (const std::runtime_error &e) {
        Fail(QString::fromUtf8(e.what()));
    }
}

void Job::takeAudioFrame(Lane &lane, AVFrame *frame)
{
    const AVRational sampleBase{1, frame->sample_rate > 0 ? frame->sample_rate : lane.dec->sample_rate};
    int64_t ts = frame->best_effort_timestamp;
    if (ts == AV_NOPTS_VALUE)
        ts = lane.nextTs != AV_NOPTS_VALUE ? lane.nextTs : lane.startTs;
    lane.nextTs = ts + av_rescale_q(frame->nb_samples, sampleBase, lane.in->time_base);
    if (lane.done)
        return;
    if (ts >= lane.limitTs) {
        lane.done = true;
        return;
    }
    const int64_t first = av_rescale_q(ts - lane.startTs, lane.in->time_base, sampleBase);
    if (first + frame->nb_samples <= 0)
        return; // wholly before the start offset
    frame->pts = first;
    if (frame->ch_layout.order == AV_CHANNEL_ORDER_UNSPEC &&
        frame->ch_layout.nb_channels == lane.dec->ch_layout.nb_channels)
        av_channel_layout_copy(&frame->ch_layout, &lane.dec->ch_layout);
    ++lane.framesIn;
    const int ret = av_buffersrc_add_frame_flags(lane.graph.source, frame, AV_BUFFERSRC_FLAG_KEEP_REF);
    if (ret < 0) {
        EngineLog(QStringLiteral("Skipped sound that changed its format midway in %1").arg(m_inOpt.InFileName));
        return;
    }
    drain(lane);
}

void Job::drain(Lane &lane)
{
    AVFrame *out = m_filtered.get();
    for (;;) {
        const int ret = av_buffersink_get_frame(lane.graph.sink, out);
        if (ret == AVERROR(EAGAIN) || ret == AVERROR_EOF)
            return;
        if (ret < 0)
            FailAV(QStringLiteral("Filtering failed"), ret);
        encode(lane, out);
        av_frame_unref(out);
    }
}

void Job::encode(Lane &lane, AVFrame *frame)
{
    AVCodecContext *enc = lane.enc.get();
    if (frame) {
        if (frame->pts != AV_NOPTS_VALUE)
            frame->pts = av_rescale_q(frame->pts, av_buffersink_get_time_base(lane.graph.sink), enc->time_base);
        if (lane.type == AVMEDIA_TYPE_VIDEO)
            frame->pict_type = AV_PICTURE_TYPE_NONE;
    }
    int ret = avcodec_send_frame(enc, frame);
    if (ret == AVERROR_EOF && !frame)
        return;
    if (ret < 0)
        FailAV(QStringLiteral("Encoding with %1 failed").arg(QString::fromUtf8(enc->codec->name)), ret);
    if (frame && lane.type == AVMEDIA_TYPE_VIDEO)
        ++lane.framesOut;
    AVPacket *pkt = m_encoded.get();
    while ((ret = avcodec_receive_packet(enc, pkt)) >= 0) {
        pkt->stream_index = lane.out->index;
        av_packet_rescale_ts(pkt, enc->time_base, lane.out->time_base);
        write(pkt);
    }
    if (ret != AVERROR(EAGAIN) && ret != AVERROR_EOF)
        FailAV(QStringLiteral("Encoding with %1 failed").arg(QString::fromUtf8(enc->codec->name)), ret);
}

void Job::copySubtitle(AVPacket *pkt)
{
    const Lane &timing = m_subTiming;
    const int64_t ts = pkt->pts != AV_NOPTS_VALUE ? pkt->pts : pkt->dts;
    if (ts == AV_NOPTS_VALUE || ts + std::max<int64_t>(pkt->duration, 0) < timing.startTs || ts >= timing.limitTs)
        return;
    if (pkt->pts != AV_NOPTS_VALUE)
        pkt->pts -= timing.startTs;
    if (pkt->dts != AV_NOPTS_VALUE)
        pkt->dts -= timing.startTs;
    av_packet_rescale_ts(pkt, m_subIn->time_base, m_subOut->time_base);
    pkt->stream_index = m_subOut->index;
    pkt->pos = -1;
    write(pkt);
}

void Job::write(AVPacket *pkt)
{
    const AVRational tb = m_out->streams[pkt->stream_index]->time_base;
    if (pkt->pts != AV_NOPTS_VALUE && m_out->streams[pkt->stream_index] != m_subOut)
        m_outputUs =
            std::max(m_outputUs, av_rescale_q(pkt->pts + std::max<int64_t>(pkt->duration, 0), tb, kMicroseconds));
    const int ret = av_interleaved_write_frame(m_out.get(), pkt);
    if (ret < 0)
        FailAV(QStringLiteral("Cannot write %1").arg(m_dest), ret);
    ++m_packetsWritten;
}

void Job::reportProgress(bool force)
{
    if (!m_hooks.progress)
        return;
    const auto now = std::chrono::steady_clock::now();
    if (!force && now - m_lastReport < std::chrono::milliseconds(500))
        return;
    m_lastReport = now;
    TProgressInfo info;
    info.TaskIndex = m_task;
    for (auto &lane : m_lanes)
        if (lane->type == AVMEDIA_TYPE_VIDEO)
            info.FrameNumber = lane->framesOut;
    info.CurrentSize = m_out && m_out->pb ? avio_tell(m_out->pb) : 0;
    info.CurrentDuration = m_outputUs;
    info.TotalDuration = m_total;
    m_hooks.progress(info);
}

} // namespace

TranscodeResult Transcode(int taskIndex, const TInputOptions &input, const TOutputOptions &output, TaskControl &control,
                          const TranscodeHooks &hooks)
{
    Job job(taskIndex, input, output, control, hooks);
    return job.run();
}
