#include "engine/TFFPlayer.h"

#include "engine/EngineLog.h"
#include "engine/PlayerSession.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>
#include <cstring>
#include <thread>

struct TFFPlayer::Closing
{
    std::unique_ptr<PlayerSession> session;
    std::thread thread;
    std::atomic<bool> done = false;
};

namespace {

// Runs work on a thread of its own and keeps this thread's events flowing until it is
// done, so that a handler on a player thread waiting for this thread cannot deadlock.
void WhilePumping(const std::function<void()> &work)
{
    std::atomic<bool> done = false;
    std::thread worker([&] {
        work();
        done = true;
    });
    while (!done) {
        if (QCoreApplication::instance() && QThread::currentThread() == QCoreApplication::instance()->thread())
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::usleep(500);
    }
    worker.join();
}

} // namespace

TFFPlayer::TFFPlayer(QObject *parent)
    : QObject(parent)
{
    connect(&m_positionTimer, &QTimer::timeout, this, &TFFPlayer::CheckPosition);
}

TFFPlayer::~TFFPlayer()
{
    m_onFileOpen = nullptr;
    m_onPosition = nullptr;
    m_onState = nullptr;
    {
        std::lock_guard lock(m_hookMutex);
        m_onHook = nullptr;
    }
    m_positionTimer.stop();
    if (m_session)
        m_session->stop();
    m_session.reset();
    for (auto &c : m_closing)
        if (c->thread.joinable())
            c->thread.join();
}

bool TFFPlayer::LoadAVLib(const QString &)
{
    InstallFFmpegLog();
    return true;
}

int TFFPlayer::LiveSessions()
{
    return PlayerSession::Live();
}

void TFFPlayer::SetOnHook(HookHandler handler)
{
    std::lock_guard lock(m_hookMutex);
    m_onHook = std::move(handler);
}

void TFFPlayer::SetHook(bool hook)
{
    m_hook = hook;
}

bool TFFPlayer::Open(const QString &fileName, TVideoSurface *surface, int)
{
    Close(true);
    std::unique_ptr<PlayerSession> session = PlayerSession::Open(fileName);
    if (!session)
        return false;
    m_probe.Open(fileName);
    const uint64_t generation = ++m_generation;
    m_paused = false;
    m_ended = false;
    m_surface = surface;
    m_lastPosition = -1;

    int screenWidth = session->width(), screenHeight = session->height();
    if (m_onFileOpen)
        m_onFileOpen(this, session->duration(), session->width(), session->height(), screenWidth, screenHeight);
    if (m_surface) {
        m_surface->setDisplaySize(QSize(screenWidth, screenHeight));
        m_surface->showPicture(session->currentPicture());
    }

    PlayerSession::Callbacks callbacks;
    callbacks.presented = [this, generation](const QImage &picture, int64_t) {
        QMetaObject::invokeMethod(
            this,
            [this, generation, picture] {
                if (generation == m_generation && m_surface)
                    m_surface->showPicture(picture);
            },
            Qt::QueuedConnection);
    };
    callbacks.ended = [this, generation] {
        QMetaObject::invokeMethod(
            this,
            [this, generation] {
                if (generation != m_generation)
                    return;
                m_ended = true;
                CheckPosition();
                if (m_onState)
                    m_onState(this, psEnd);
            },
            Qt::QueuedConnection);
    };
    // The hook sees the picture before it is shown; when it throws, the picture is shown
    // as it was decoded. The copy for that lives as long as the file plays.
    auto backup = std::make_shared<std::vector<uint8_t>>();
    callbacks.hook = [this, backup](QImage &picture, int64_t pts) {
        if (!m_hook)
            return;
        HookHandler handler;
        {
            std::lock_guard lock(m_hookMutex);
            handler = m_onHook;
        }
        if (!handler)
            return;
        const size_t bytes = size_t(picture.sizeInBytes());
        backup->resize(bytes);
        std::memcpy(backup->data(), picture.constBits(), bytes);
        auto restore = [&] {
            if (size_t(picture.sizeInBytes()) == bytes)
                std::memcpy(picture.bits(), backup->data(), bytes);
        };
        try {
            handler(this, picture, pts);
        } catch (const std::exception &e) {
            EngineLog(QStringLiteral("Error occurs OnHook: ") + QString::fromUtf8(e.what()));
            restore();
        } catch (...) {
            EngineLog(QStringLiteral("Error occurs OnHook: unknown error"));
            restore();
        }
    };
    session->start(std::move(callbacks));
    m_session = std::move(session);
    ApplyGain();
    m_positionTimer.start(20);
    RaiseState(psPlay);
    return true;
}

void TFFPlayer::Pause()
{
    if (!m_session || m_paused)
        return;
    m_session->setPaused(true);
    m_paused = true;
    RaiseState(psPause);
}

void TFFPlayer::Resume()
{
    if (!m_session || !m_paused)
        return;
    m_session->setPaused(false);
    m_paused = false;
    RaiseState(psResume);
}

bool TFFPlayer::IsPausedOrIdle() const
{
    return !m_session || m_paused;
}

void TFFPlayer::Close(bool wait)
{
    ReapClosing();
    if (!m_session)
        return;
    ++m_generation;
    m_positionTimer.stop();
    m_probe.Close();
    m_paused = false;
    m_ended = false;
    m_surface = nullptr;
    if (wait) {
        std::unique_ptr<PlayerSession> session = std::move(m_session);
        WhilePumping([&] { session->stop(); });
        session.reset();
        if (m_onState)
            m_onState(this, psStop);
        return;
    }
    auto closing = std::make_shared<Closing>();
    closing->session = std::move(m_session);
    closing->thread = std::thread([this, c = closing.get()] {
        c->session->stop();
        c->session.reset();
        c->done = true;
        QMetaObject::invokeMethod(
            this,
            [this] {
                ReapClosing();
                if (m_onState)
                    m_onState(this, psStop);
            },
            Qt::QueuedConnection);
    });
    m_closing.push_back(std::move(closing));
}

void TFFPlayer::ReapClosing()
{
    for (auto it = m_closing.begin(); it != m_closing.end();) {
        if ((*it)->done) {
            (*it)->thread.join();
            it = m_closing.erase(it);
        } else {
            ++it;
        }
    }
}

void TFFPlayer::Seek(int flags, bool wait, int64_t position)
{
    if (!m_session)
        return;
    const int64_t duration = m_session->duration();
    position = std::max<int64_t>(0, duration > 0 ? std::min(position, duration) : position);
    m_ended = false;
    m_session->seek(position, flags);
    if (wait) {
        // Waits in short steps on this thread, with its events flowing.
        QElapsedTimer waited;
        waited.start();
        while (!m_session->waitForSeek(5) && waited.elapsed() < 5000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        m_lastPosition = -1;
        CheckPosition();
    }
}

QImage TFFPlayer::CurrentPicture() const
{
    return m_session ? m_session->currentPicture() : QImage();
}

int64_t TFFPlayer::Duration() const
{
    return m_session ? m_session->duration() : -1;
}

int64_t TFFPlayer::Position() const
{
    return m_session ? m_session->position() : 0;
}

int64_t TFFPlayer::DroppedPictures() const
{
    return m_session ? m_session->droppedPictures() : 0;
}

void TFFPlayer::SetAudioVolume(int volume)
{
    m_volume = std::clamp(volume, 0, 128);
    ApplyGain();
}

void TFFPlayer::SetMute(bool mute)
{
    m_mute = mute;
    ApplyGain();
}

void TFFPlayer::ApplyGain()
{
    if (m_session)
        m_session->setGain(m_mute ? 0.0f : float(m_volume) / 128.0f);
}

void TFFPlayer::CheckPosition()
{
    if (!m_session)
        return;
    const int64_t position = m_session->position();
    if (m_lastPosition >= 0 && std::abs(position - m_lastPosition) <= 10000)
        return;
    m_lastPosition = position;
    if (m_onPosition)
        m_onPosition(this, position);
}

void TFFPlayer::RaiseState(TPlayState state)
{
    QMetaObject::invokeMethod(
        this,
        [this, state, generation = m_generation] {
            if (generation == m_generation && m_onState)
                m_onState(this, state);
        },
        Qt::QueuedConnection);
}
