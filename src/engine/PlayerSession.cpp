#include "engine/PlayerSession.h"

#include "engine/EngineLog.h"
#include "engine/TAVProbe.h"

#include <chrono>
#include <cstring>

extern "C" {
#include <libavutil/channel_layout.h>
#include <libswresample/swresample.h>
}

namespace {

std::atomic<int> g_live = 0;
constexpr AVRational kUs{1, 1000000};

int64_t NowUs()
{
    return std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

CodecContextPtr OpenPlayerDecoder(AVStream *st)
{
    QString why;
    return OpenStreamDecoder(st, &why); // a stream that cannot be decoded is not played
}

} // namespace

PlayerSession::PlayerSession()
{
    ++g_live;
}

PlayerSession::~PlayerSession()
{
    stop();
    swr_free(&m_swr);
    --g_live;
}

int PlayerSession::Live()
{
    return g_live;
}

std::unique_ptr<PlayerSession> PlayerSession::Open(const QString &file)
{
    InstallFFmpegLog();
    std::unique_ptr<PlayerSession> s(new PlayerSession);
    AVFormatContext *ic = nullptr;
    if (avformat_open_input(&ic, file.toUtf8().constData(), nullptr, nullptr) < 0)
        return nullptr;
    s->m_in.reset(ic);
    if (avformat_find_stream_info(ic, nullptr) < 0)
        return nullptr;
    for (unsigned i = 0; i < ic->nb_streams; ++i) {
        AVStream *st = ic->streams[i];
        const AVMediaType type = st->codecpar->codec_type;
        if (type == AVMEDIA_TYPE_VIDEO && !IsAttachedPicture(st) && !s->m_video) {
            s->m_videoDec = OpenPlayerDecoder(st);
            if (s->m_videoDec && s->m_videoDec->width > 0 && s->m_videoDec->height > 0 &&
                s->m_videoDec->pix_fmt != AV_PIX_FMT_NONE)
                s->m_video = st;
            else
                s->m_videoDec.reset();
        } else if (type == AVMEDIA_TYPE_AUDIO && !s->m_audio) {
            s->m_audioDec = OpenPlayerDecoder(st);
            if (s->m_audioDec && s->m_audioDec->sample_rate > 0 && s->m_audioDec->ch_layout.nb_channels > 0)
                s->m_audio = st;
            else
                s->m_audioDec.reset();
        }
    }
    if (!s->m_video && !s->m_audio)
        return nullptr;
    for (unsigned i = 0; i < ic->nb_streams; ++i)
        if (ic->streams[i] != s->m_video && ic->streams[i] != s->m_audio)
            ic->streams[i]->discard = AVDISCARD_ALL;
    s->m_start = ic->start_time == AV_NOPTS_VALUE ? 0 : ic->start_time;
    s->m_duration = ic->duration > 0 ? ic->duration : -1;
    if (s->m_video) {
        s->m_width = s->m_videoDec->width;
        s->m_height = s->m_videoDec->height;
        s->m_current = QImage(s->m_width, s->m_height, QImage::Format_BGR888);
        s->m_current.fill(Qt::black);
    }
    return s;
}

void PlayerSession::start(Callbacks callbacks)
{
    m_callbacks = std::move(callbacks);
    if (m_audio) {
        auto output = std::make_unique<AudioOutput>();
        const AVCodecContext *dec = m_audioDec.get();
        if (output->start(dec->sample_rate, dec->ch_layout.nb_channels)) {
            AVChannelLayout outLayout{}, inLayout{};
            av_channel_layout_default(&outLayout, output->channels());
            if (dec->ch_layout.order == AV_CHANNEL_ORDER_UNSPEC)
                av_channel_layout_default(&inLayout, dec->ch_layout.nb_channels);
            else
                av_channel_layout_copy(&inLayout, &dec->ch_layout);
            if (swr_alloc_set_opts2(&m_swr, &outLayout, AV_SAMPLE_FMT_S16, output->sampleRate(), &inLayout,
                                    dec->sample_fmt, dec->sample_rate, 0, nullptr) == 0 &&
                swr_init(m_swr) == 0)
                m_output = std::move(output);
            av_channel_layout_uninit(&outLayout);
            av_channel_layout_uninit(&inLayout);
        }
    }
    if (m_video)
        for (int i = 0; i < 4; ++i)
            m_spare.emplace_back(m_width, m_height, QImage::Format_BGR888);
    setWallClock(0);
    m_readThread = std::thread(&PlayerSession::readLoop, this);
    if (m_video) {
        m_videoThread = std::thread(&PlayerSession::videoLoop, this);
        m_presentThread = std::thread(&PlayerSession::presentLoop, this);
    }
    if (m_output)
        m_audioThread = std::thread(&PlayerSession::audioLoop, this);
}

void PlayerSession::stop()
{
    m_abort = true;
    m_videoQueue.abort();
    m_audioQueue.abort();
    if (m_output)
        m_output->abort();
    m_changed.notify_all();
    for (std::thread *t : {&m_readThread, &m_videoThread, &m_presentThread, &m_audioThread})
        if (t->joinable())
            t->join();
    m_output.reset();
}

bool PlayerSession::queuesFull() const
{
    // About 15 MB, or a second's worth of packets in every stream that is played.
    if (m_videoQueue.bytes() + m_audioQueue.bytes() > 15 * 1024 * 1024)
        return true;
    if (!m_video && !m_output)
        return false; // sound played silently is not queued
    const bool videoFull = !m_video || m_videoQueue.count() > 30;
    const bool audioFull = !m_output || m_audioQueue.count() > 60;
    return videoFull && audioFull;
}

void PlayerSession::readLoop()
{
    PacketPtr pkt(av_packet_alloc());
    while (!m_abort) {
        std::unique_lock lock(m_mutex);
        if (m_seekRequested) {
            m_seekRequested = false;
            const int64_t position = m_seekPosition;
            const int id = m_seekId;
            lock.unlock();
            // Always to the key frame before: demuxers' "any frame" seeks land anywhere in
            // some files (Matroska without a full index, for one), and decoding forward from
            // a key frame gives the right picture for both kinds of seek.
            const int64_t ts = position + m_start;
            if (avformat_seek_file(m_in.get(), -1, INT64_MIN, ts, ts, 0) < 0)
                EngineLog(QStringLiteral("The player cannot seek to %1 s").arg(position / 1e6));
            m_videoQueue.flush();
            m_audioQueue.flush();
            if (m_output)
                m_output->flush(m_audioQueue.serial());
            m_eof = false;
            m_videoDone = false;
            m_audioDone = false;
            m_ended = false;
            lock.lock();
            for (Picture &p : m_pictures)
                m_spare.push_back(std::move(p.image));
            m_pictures.clear();
            m_showNext = true;
            // Whatever frame the demuxer lands on, the picture shown is the one at the
            // position: those before it are decoded and dropped.
            m_seekTarget = position;
            setWallClock(position);
            if (!m_video)
                m_seekDoneId = id;
            m_changed.notify_all();
            continue;
        }
        if (m_eof || queuesFull()) {
            m_changed.wait_for(lock, std::chrono::milliseconds(10));
            lock.unlock();
            if (m_eof)
                checkEnd();
            continue;
        }
        lock.unlock();
        const int ret = av_read_frame(m_in.get(), pkt.get());
        if (ret == AVERROR(EAGAIN))
            continue;
        if (ret < 0) {
            m_eof = true;
            if (m_video)
                m_videoQueue.put(nullptr);
            if (m_output)
                m_audioQueue.put(nullptr);
            continue;
        }
        if (m_video && pkt->stream_index == m_video->index) {
            m_videoQueue.put(av_packet_clone(pkt.get()));
        } else if (m_audio && pkt->stream_index == m_audio->index) {
            if (m_output) {
                m_audioQueue.put(av_packet_clone(pkt.get()));
            } else if (pkt->pts != AV_NOPTS_VALUE) {
                // Played silently: the end of the sound still ends the file.
                const int64_t end =
                    av_rescale_q(pkt->pts + std::max<int64_t>(pkt->duration, 0), m_audio->time_base, kUs);
                m_audioEnd = std::max<int64_t>(m_audioEnd, end - m_start);
            }
        }
        av_packet_unref(pkt.get());
    }
}

void PlayerSession::videoLoop()
{
    FramePtr frame(av_frame_alloc());
    BgrReader reader;
    int serial = -1;
    AVCodecContext *dec = m_videoDec.get();
    const AVRational rate = av_guess_frame_rate(m_in.get(), m_video, nullptr);
    const int64_t frameUs = rate.num > 0 ? av_rescale_q(1, av_inv_q(rate), kUs) : 40000;
    while (!m_abort) {
        PacketQueue::Item item;
        if (!m_videoQueue.get(item))
            break;
        if (item.serial != serial) {
            avcodec_flush_buffers(dec);
            serial = item.serial;
        }
        if (avcodec_send_packet(dec, item.packet.get()) < 0 && item.packet)
            continue; // a damaged packet: skip it
        while (!m_abort && avcodec_receive_frame(dec, frame.get()) >= 0) {
            const int64_t ts = frame->best_effort_timestamp;
            const int64_t pts = ts == AV_NOPTS_VALUE ? 0 : av_rescale_q(ts, m_video->time_base, kUs) - m_start;
            const int64_t duration =
                frame->pkt_duration > 0 ? av_rescale_q(frame->pkt_duration, m_video->time_base, kUs) : frameUs;
            // Far from a seek target, frames nothing refers to need not be decoded at all;
            // the last half second before it is decoded in full.
            const bool catchingUp = pts + 500000 < m_seekTarget;
            dec->skip_frame = catchingUp ? AVDISCARD_NONREF : AVDISCARD_DEFAULT;
            if (serial != m_videoQueue.serial() || pts + duration <= m_seekTarget) {
                av_frame_unref(frame.get());
                continue;
            }
            QImage image;
            {
                std::unique_lock lock(m_mutex);
                m_changed.wait(lock, [&] { return m_abort || !m_spare.empty() || serial != m_videoQueue.serial(); });
                if (m_abort || serial != m_videoQueue.serial()) {
                    av_frame_unref(frame.get());
                    continue;
                }
                image = std::move(m_spare.front());
                m_spare.pop_front();
            }
            const bool ok = reader.read(frame.get(), image);
            av_frame_unref(frame.get());
            std::lock_guard lock(m_mutex);
            if (ok && serial == m_videoQueue.serial())
                m_pictures.push_back(Picture{std::move(image), pts, duration, serial});
            else
                m_spare.push_back(std::move(image));
            m_changed.notify_all();
        }
        if (!item.packet) {
            m_videoDone = true;
            m_changed.notify_all();
        }
    }
}

void PlayerSession::presentLoop()
{
    std::unique_lock lock(m_mutex);
    while (!m_abort) {
        const int serial = m_videoQueue.serial();
        while (!m_pictures.empty() && m_pictures.front().serial != serial) {
            m_spare.push_back(std::move(m_pictures.front().image));
            m_pictures.pop_front();
            m_changed.notify_all();
        }
        if (m_pictures.empty()) {
            if (m_eof && m_videoDone) {
                lock.unlock();
                checkEnd();
                lock.lock();
            }
            m_changed.wait_for(lock, std::chrono::milliseconds(10));
            continue;
        }
        const bool first = m_showNext;
        if (!first) {
            if (m_paused) {
                m_changed.wait_for(lock, std::chrono::milliseconds(10));
                continue;
            }
            const Picture &next = m_pictures.front();
            const int64_t late = masterClock() - next.pts;
            if (late < 0) {
                m_changed.wait_for(lock, std::chrono::microseconds(std::min<int64_t>(-late, 10000)));
                continue;
            }
            if (late > std::max<int64_t>(next.duration, 40000) && m_pictures.size() > 1) {
                // Too late to be seen, and the next one is waiting: drop it.
                m_spare.push_back(std::move(m_pictures.front().image));
                m_pictures.pop_front();
                ++m_dropped;
                m_changed.notify_all();
                continue;
            }
        }
        Picture picture = std::move(m_pictures.front());
        m_pictures.pop_front();
        m_showNext = false;
        const int seekId = m_seekId;
        if (first && !m_seekRequested)
            setWallClock(picture.pts);
        lock.unlock();
        present(picture.image, picture.pts);
        lock.lock();
        m_spare.push_back(std::move(picture.image));
        if (first)
            m_seekDoneId = std::max(m_seekDoneId, seekId);
        m_changed.notify_all();
    }
}

void PlayerSession::present(QImage &picture, int64_t pts)
{
    if (m_callbacks.hook)
        m_callbacks.hook(picture, pts);
    QImage shown;
    {
        std::lock_guard lock(m_pictureMutex);
        std::swap(m_current, picture);
        m_currentPts = pts;
        shown = m_current;
    }
    if (m_callbacks.presented)
        m_callbacks.presented(shown, pts);
}

void PlayerSession::audioLoop()
{
    FramePtr frame(av_frame_alloc());
    std::vector<int16_t> samples;
    int serial = -1;
    AVCodecContext *dec = m_audioDec.get();
    const int channels = m_output->channels();
    while (!m_abort) {
        PacketQueue::Item item;
        if (!m_audioQueue.get(item))
            break;
        if (item.serial != serial) {
            avcodec_flush_buffers(dec);
            serial = item.serial;
        }
        if (avcodec_send_packet(dec, item.packet.get()) < 0 && item.packet)
            continue;
        while (!m_abort && avcodec_receive_frame(dec, frame.get()) >= 0) {
            const int64_t ts = frame->best_effort_timestamp;
            const int64_t pts = ts == AV_NOPTS_VALUE ? 0 : av_rescale_q(ts, m_audio->time_base, kUs) - m_start;
            const int64_t duration = int64_t(frame->nb_samples) * 1000000 / std::max(1, frame->sample_rate);
            if (serial == m_audioQueue.serial() && pts + duration > m_seekTarget) {
                const int room = swr_get_out_samples(m_swr, frame->nb_samples);
                samples.resize(size_t(std::max(room, 0)) * size_t(channels));
                uint8_t *out = reinterpret_cast<uint8_t *>(samples.data());
                const int made = swr_convert(m_swr, &out, room, const_cast<const uint8_t **>(frame->extended_data),
                                             frame->nb_samples);
                if (made > 0 && !m_output->write(samples.data(), made, pts, serial))
                    break;
            }
            av_frame_unref(frame.get());
        }
        if (!item.packet)
            m_audioDone = true;
    }
}

void PlayerSession::checkEnd()
{
    if (m_ended || !m_eof)
        return;
    bool videoFinished = true;
    if (m_video) {
        std::lock_guard lock(m_mutex);
        videoFinished = m_videoDone && m_pictures.empty() && !m_showNext && m_videoQueue.count() == 0;
    }
    bool audioFinished = true;
    if (m_audio && m_output)
        audioFinished = m_audioDone && m_output->drained();
    else if (m_audio && !m_video)
        audioFinished = position() >= m_audioEnd; // silent play runs on the wall clock
    if (videoFinished && audioFinished && !m_ended.exchange(true) && m_callbacks.ended)
        m_callbacks.ended();
}

int64_t PlayerSession::wallClock() const
{
    std::lock_guard lock(m_clockMutex);
    return m_paused ? m_wallPts : m_wallPts + (NowUs() - m_wallStamp);
}

void PlayerSession::setWallClock(int64_t pts)
{
    std::lock_guard lock(m_clockMutex);
    m_wallPts = pts;
    m_wallStamp = NowUs();
}

int64_t PlayerSession::masterClock() const
{
    if (m_output)
        if (const auto heard = m_output->clock(m_audioQueue.serial()))
            return *heard;
    return wallClock();
}

int64_t PlayerSession::position() const
{
    int64_t p = masterClock();
    if (p < 0)
        p = 0;
    if (m_duration > 0 && p > m_duration)
        p = m_duration;
    return p;
}

void PlayerSession::setPaused(bool paused)
{
    {
        std::lock_guard lock(m_clockMutex);
        if (paused != m_paused) {
            const int64_t now = NowUs();
            if (paused)
                m_wallPts += now - m_wallStamp; // stop where it is
            m_wallStamp = now;
            m_paused = paused;
        }
    }
    if (m_output)
        m_output->setPaused(paused);
    m_changed.notify_all();
}

void PlayerSession::seek(int64_t position, int flags)
{
    std::lock_guard lock(m_mutex);
    m_seekRequested = true;
    m_seekPosition = position;
    (void)flags; // every seek shows the picture at the position
    ++m_seekId;
    m_changed.notify_all();
}

bool PlayerSession::waitForSeek(int timeoutMs)
{
    std::unique_lock lock(m_mutex);
    const int id = m_seekId;
    return m_changed.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] {
        return m_abort || m_seekDoneId >= id || (!m_seekRequested && m_eof && m_videoDone && m_pictures.empty());
    });
}

void PlayerSession::setGain(float gain)
{
    if (m_output)
        m_output->setGain(gain);
}

QImage PlayerSession::currentPicture() const
{
    std::lock_guard lock(m_pictureMutex);
    return m_current;
}
