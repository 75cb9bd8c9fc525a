#include "engine/AudioOutput.h"

#include <QAudioDevice>
#include <QAudioSink>
#include <QIODevice>
#include <QMediaDevices>
#include <algorithm>
#include <chrono>
#include <cstring>

namespace {

int64_t NowUs()
{
    return std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

} // namespace

// The device the sink pulls from: hands out buffered samples, silence when there are none.
class AudioPullDevice : public QIODevice
{
public:
    explicit AudioPullDevice(AudioOutput *output)
        : m_output(output)
    {}
    qint64 readData(char *data, qint64 maxSize) override { return m_output->read(data, maxSize); }
    qint64 writeData(const char *, qint64) override { return -1; }
    qint64 bytesAvailable() const override { return 1 << 16; }
    bool isSequential() const override { return true; }

private:
    AudioOutput *m_output;
};

AudioOutput::AudioOutput() = default;

AudioOutput::~AudioOutput()
{
    abort();
    if (m_thread.isRunning()) {
        QMetaObject::invokeMethod(
            m_context,
            [this] {
                if (m_sink) {
                    m_sink->stop();
                    delete m_sink;
                    m_sink = nullptr;
                }
                delete m_device;
                m_device = nullptr;
            },
            Qt::BlockingQueuedConnection);
        m_thread.quit();
        m_thread.wait();
    }
    delete m_context;
}

bool AudioOutput::start(int sampleRate, int channels)
{
    const QAudioDevice device = QMediaDevices::defaultAudioOutput();
    if (device.isNull())
        return false;
    QAudioFormat format;
    format.setSampleRate(std::clamp(sampleRate, device.minimumSampleRate(), device.maximumSampleRate()));
    format.setChannelCount(
        std::clamp(std::min(channels, 2), device.minimumChannelCount(), device.maximumChannelCount()));
    format.setSampleFormat(QAudioFormat::Int16);
    if (!device.isFormatSupported(format)) {
        format = device.preferredFormat();
        format.setSampleFormat(QAudioFormat::Int16);
        if (!device.isFormatSupported(format))
            return false;
    }
    m_format = format;
    m_context = new QObject;
    m_context->moveToThread(&m_thread);
    m_thread.setObjectName(QStringLiteral("audio output"));
    m_thread.start();
    bool ok = false;
    QMetaObject::invokeMethod(
        m_context,
        [&] {
            m_device = new AudioPullDevice(this);
            m_device->open(QIODevice::ReadOnly);
            m_sink = new QAudioSink(device, m_format);
            // A fifth of a second in the device: enough against gaps, little delay.
            m_sink->setBufferSize(m_format.bytesForDuration(200000));
            m_sink->start(m_device);
            ok = m_sink->error() == QAudio::NoError && m_sink->state() != QAudio::StoppedState;
        },
        Qt::BlockingQueuedConnection);
    return ok;
}

qint64 AudioOutput::read(char *data, qint64 maxBytes)
{
    const int channels = m_format.channelCount();
    const int64_t rate = m_format.sampleRate();
    int16_t *out = reinterpret_cast<int16_t *>(data);
    const size_t wanted = size_t(maxBytes) / sizeof(int16_t) / size_t(channels) * size_t(channels);
    size_t given = 0;
    {
        std::lock_guard lock(m_mutex);
        std::optional<int64_t> endPts;
        int endSerial = -1;
        while (!m_paused && given < wanted && !m_chunks.empty()) {
            Chunk &c = m_chunks.front();
            const size_t n = std::min(wanted - given, c.samples.size() - c.offset);
            for (size_t i = 0; i < n; ++i)
                out[given + i] = int16_t(std::clamp(int(c.samples[c.offset + i] * m_gain), -32768, 32767));
            c.offset += n;
            given += n;
            endPts = c.pts + int64_t(c.offset / size_t(channels)) * 1000000 / rate;
            endSerial = c.serial;
            if (c.offset == c.samples.size()) {
                m_buffered -= c.samples.size();
                m_chunks.pop_front();
            }
        }
        if (endPts && m_sink) {
            // What the sink still holds has not been heard yet.
            const qint64 held = m_sink->bufferSize() - m_sink->bytesFree();
            m_clockPts = *endPts - m_format.durationForBytes(std::max<qint64>(0, held));
            m_clockStamp = NowUs();
            m_clockSerial = endSerial;
        }
    }
    m_space.notify_all();
    std::memset(out + given, 0, (wanted - given) * sizeof(int16_t)); // silence when nothing is due
    return qint64(wanted * sizeof(int16_t));
}

bool AudioOutput::write(const int16_t *samples, int frames, int64_t ptsUs, int serial)
{
    const size_t count = size_t(frames) * size_t(m_format.channelCount());
    const size_t limit = size_t(m_format.sampleRate()) * size_t(m_format.channelCount()) / 4;
    std::unique_lock lock(m_mutex);
    m_space.wait(lock, [&] { return m_aborted || serial != m_serial || m_buffered < limit; });
    if (m_aborted)
        return false;
    if (serial != m_serial)
        return true; // stale: a seek came in between
    Chunk c;
    c.samples.assign(samples, samples + count);
    c.pts = ptsUs;
    c.serial = serial;
    m_buffered += count;
    m_chunks.push_back(std::move(c));
    return true;
}

void AudioOutput::flush(int serial)
{
    {
        std::lock_guard lock(m_mutex);
        m_chunks.clear();
        m_buffered = 0;
        m_serial = serial;
    }
    m_space.notify_all();
}

void AudioOutput::setPaused(bool paused)
{
    std::lock_guard lock(m_mutex);
    if (m_clockPts && paused != m_paused) {
        // The clock stops where it is and goes on from there.
        const int64_t now = NowUs();
        if (paused)
            *m_clockPts += now - m_clockStamp;
        m_clockStamp = now;
    }
    m_paused = paused;
}

void AudioOutput::setGain(float gain)
{
    std::lock_guard lock(m_mutex);
    m_gain = gain;
}

void AudioOutput::abort()
{
    {
        std::lock_guard lock(m_mutex);
        m_aborted = true;
    }
    m_space.notify_all();
}

std::optional<int64_t> AudioOutput::clock(int serial) const
{
    std::lock_guard lock(m_mutex);
    if (!m_clockPts || m_clockSerial != serial)
        return std::nullopt;
    return m_paused ? *m_clockPts : *m_clockPts + (NowUs() - m_clockStamp);
}

bool AudioOutput::drained() const
{
    std::lock_guard lock(m_mutex);
    return m_chunks.empty();
}
