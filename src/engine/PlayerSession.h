#pragma once

#include "engine/AudioOutput.h"
#include "engine/FFmpegPtr.h"
#include "engine/FrameBgr.h"
#include "engine/PacketQueue.h"

#include <QImage>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

struct SwrContext;

// One open file of the player, played by four threads of its own, after ffplay:
//
//   read      demuxes into the video and audio packet queues (bounded), carries out
//             seeks, and notices the end of the file;
//   video     decodes pictures, drops those before a seek target, converts them to
//             24-bit BGR and puts them in the picture queue (three pictures);
//   presenter shows each picture when the master clock reaches it (dropping pictures
//             that are too late), after the frame hook;
//   audio     decodes and resamples sound into the AudioOutput (only with a device).
//
// The master clock is the audio clock while sound is heard, otherwise a wall clock
// started at the first picture (or at the start) and stopped while paused.
//
// Locks: m_mutex guards the picture queue, the spare images and the seek state;
// m_clockMutex the wall clock; m_pictureMutex the current picture; the packet queues and
// the audio output have their own. Flags read across threads are atomics. m_clockMutex
// and m_pictureMutex are taken last, never around another lock.
class PlayerSession
{
public:
    struct Callbacks
    {
        // A picture became current (presenter thread).
        std::function<void(const QImage &picture, int64_t pts)> presented;
        // The end of the file was reached (read thread).
        std::function<void()> ended;
        // The frame hook, on the presenter thread, before the picture is shown.
        std::function<void(QImage &picture, int64_t pts)> hook;
    };

    ~PlayerSession(); // stops and joins

    // Opens the file and its decoders; nothing plays yet. Null when it cannot be played.
    static std::unique_ptr<PlayerSession> Open(const QString &file);

    // Starts the threads; plays at once. With sound when a device takes it.
    void start(Callbacks callbacks);
    // Ends the threads and waits for them.
    void stop();

    void setPaused(bool paused);
    bool paused() const { return m_paused; }
    // Seeks to the position (µs from the start, already clamped) and shows the picture at
    // it. Flags are FFmpeg's; AVSEEK_FLAG_ANY is taken as a plain seek (see readLoop).
    void seek(int64_t position, int flags);
    // Waits until the picture (or, without video, the sound) of the last seek is current.
    bool waitForSeek(int timeoutMs);
    void setGain(float gain);

    int64_t duration() const { return m_duration; }
    int width() const { return m_width; }
    int height() const { return m_height; }
    bool hasVideo() const { return m_video != nullptr; }
    bool hasAudio() const { return m_audio != nullptr; }
    bool soundHeard() const { return m_output != nullptr; }
    int64_t position() const; // µs from the start of the file
    QImage currentPicture() const;
    int64_t droppedPictures() const { return m_dropped; }

    static int Live(); // sessions in existence (for leak checks)

private:
    PlayerSession();
    void readLoop();
    void videoLoop();
    void presentLoop();
    void audioLoop();
    void present(QImage &picture, int64_t pts);
    int64_t masterClock() const;
    int64_t wallClock() const;
    void setWallClock(int64_t pts);
    bool queuesFull() const;
    void checkEnd();

    InputContextPtr m_in;
    AVStream *m_video = nullptr;
    AVStream *m_audio = nullptr;
    CodecContextPtr m_videoDec, m_audioDec;
    int64_t m_start = 0; // the file's start time, µs
    int64_t m_duration = -1;
    int m_width = 0, m_height = 0;
    Callbacks m_callbacks;

    PacketQueue m_videoQueue, m_audioQueue;
    std::unique_ptr<AudioOutput> m_output;
    SwrContext *m_swr = nullptr;

    std::thread m_readThread, m_videoThread, m_presentThread, m_audioThread;
    std::atomic<bool> m_abort = false;
    std::atomic<bool> m_paused = false;
    std::atomic<bool> m_eof = false;
    std::atomic<bool> m_videoDone = false; // the decoder gave its last picture
    std::atomic<bool> m_audioDone = false;
    std::atomic<bool> m_ended = false;
    std::atomic<int64_t> m_dropped = 0;
    std::atomic<int64_t> m_audioEnd = 0; // end of the last sound packet (µs), for silent play

    struct Picture
    {
        QImage image;
        int64_t pts = 0;
        int64_t duration = 0;
        int serial = 0;
    };
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<Picture> m_pictures;
    // Images to decode into, so that playing allocates nothing. The oldest is used first:
    // by then the window has let go of it and writing into it copies nothing.
    std::deque<QImage> m_spare;
    bool m_seekRequested = false;
    int64_t m_seekPosition = 0;
    int m_seekId = 0;                              // seeks asked
    int m_seekDoneId = 0;                          // seeks whose picture is current
    std::atomic<int64_t> m_seekTarget = INT64_MIN; // frames ending before it are dropped
    bool m_showNext = true;                        // present the next picture at once
    mutable std::mutex m_clockMutex;
    int64_t m_wallPts = 0;
    int64_t m_wallStamp = 0;

    mutable std::mutex m_pictureMutex;
    QImage m_current;
    std::atomic<int64_t> m_currentPts = 0;
};
