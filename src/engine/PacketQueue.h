#pragma once

#include "engine/FFmpegPtr.h"

#include <condition_variable>
#include <deque>
#include <mutex>

// A queue of demuxed packets between the player's read thread and a decoder thread, as
// ffplay keeps them: a serial number that changes at every seek (so that the decoder
// can tell stale packets and flush itself), a byte count for the read thread's limits,
// and an abort flag that wakes every waiter.
class PacketQueue
{
public:
    struct Item
    {
        PacketPtr packet; // null: end of stream
        int serial = 0;
    };

    // Takes the packet's reference (or null for the end of the stream).
    void put(AVPacket *packet);
    // Drops everything and starts a new serial (after a seek).
    void flush();
    // Blocks until there is an item or the queue is aborted (then false).
    bool get(Item &item);
    void abort();
    void start(); // clears the abort flag

    int serial() const;
    size_t bytes() const;
    size_t count() const;

private:
    mutable std::mutex m_mutex;
    std::condition_variable m_cv;
    std::deque<Item> m_items;
    size_t m_bytes = 0;
    int m_serial = 0;
    bool m_aborted = false;
};
