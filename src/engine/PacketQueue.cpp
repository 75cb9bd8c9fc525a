#include "engine/PacketQueue.h"

void PacketQueue::put(AVPacket *packet)
{
    {
        std::lock_guard lock(m_mutex);
        if (packet)
            m_bytes += size_t(packet->size);
        m_items.push_back(Item{PacketPtr(packet), m_serial});
    }
    m_cv.notify_one();
}

void PacketQueue::flush()
{
    std::lock_guard lock(m_mutex);
    m_items.clear();
    m_bytes = 0;
    ++m_serial;
}

bool PacketQueue::get(Item &item)
{
    std::unique_lock lock(m_mutex);
    m_cv.wait(lock, [this] { return m_aborted || !m_items.empty(); });
    if (m_aborted)
        return false;
    item = std::move(m_items.front());
    m_items.pop_front();
    if (item.packet)
        m_bytes -= size_t(item.packet->size);
    return true;
}

void PacketQueue::abort()
{
    {
        std::lock_guard lock(m_mutex);
        m_aborted = true;
    }
    m_cv.notify_all();
}

void PacketQueue::start()
{
    std::lock_guard lock(m_mutex);
    m_aborted = false;
}

int PacketQueue::serial() const
{
    std::lock_guard lock(m_mutex);
    return m_serial;
}

size_t PacketQueue::bytes() const
{
    std::lock_guard lock(m_mutex);
    return m_bytes;
}

size_t PacketQueue::count() const
{
    std::lock_guard lock(m_mutex);
    return m_items.size();
}
