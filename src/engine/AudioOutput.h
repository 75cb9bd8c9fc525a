#pragma once

#include <QAudioFormat>
#include <QThread>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

class QAudioSink;
class QIODevice;

// The player's sound: a QAudioSink pulling 16-bit interleaved samples from a small
// buffer, on a thread of its own (QAudioSink wants an event loop). The decoder thread
// writes into the buffer; the sink's thread reads it and keeps the audio clock: the time
// of the sample being heard, from the samples handed to the sink less what the sink
// still holds.
//
// Locks: m_mutex guards the buffer, the clock, the gain and the flags; the sink itself is
// only touched on its own thread.
class AudioOutput
{
public:
    AudioOutput();
    ~AudioOutput(); // stops the sink and its thread

    // Starts the sink on the default device at the nearest format it takes to the wish.
    // False when there is no device or it refuses (the player then plays silently).
    bool start(int sampleRate, int channels);
    int sampleRate() const { return m_format.sampleRate(); }
    int channels() const { return m_format.channelCount(); }

    // Queues samples whose first one is at ptsUs. Blocks while the buffer holds more than
    // a quarter of a second; false when aborted.
    bool write(const int16_t *samples, int frames, int64_t ptsUs, int serial);
    // Drops what is buffered; samples of older serials are refused from now on.
    void flush(int serial);
    void setPaused(bool paused);
    void setGain(float gain);
    void abort();

    // The time being heard, or nothing before the first sample of this serial is heard.
    std::optional<int64_t> clock(int serial) const;
    // Nothing is left to play.
    bool drained() const;

private:
    friend class AudioPullDevice;
    qint64 read(char *data, qint64 maxBytes); // on the sink's thread

    struct Chunk
    {
        std::vector<int16_t> samples; // interleaved
        size_t offset = 0;            // samples already handed out
        int64_t pts = 0;              // of samples[0]
        int serial = 0;
    };

    QThread m_thread;
    QObject *m_context = nullptr; // lives on m_thread
    QAudioSink *m_sink = nullptr;
    QIODevice *m_device = nullptr;
    QAudioFormat m_format;

    mutable std::mutex m_mutex;
    std::condition_variable m_space;
    std::deque<Chunk> m_chunks;
    size_t m_buffered = 0; // samples
    int m_serial = 0;
    bool m_paused = false;
    bool m_aborted = false;
    float m_gain = 1.0f;
    // The clock: the time heard at m_clockStamp (steady clock, µs).
    std::optional<int64_t> m_clockPts;
    int64_t m_clockStamp = 0;
    int m_clockSerial = -1;
};
