#pragma once

#include "engine/EngineTypes.h"
#include "engine/TAVProbe.h"
#include "engine/VideoSurface.h"

#include <QImage>
#include <QObject>
#include <QTimer>
#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

class PlayerSession;

enum TPlayState { psPlay, psPause, psResume, psStep, psStop, psEnd };

// Plays one file into a display surface, with sound through Qt Multimedia when there is
// an audio device (otherwise silently, on the wall clock).
//
// Threads: the object lives on the user-interface thread and every operation is called
// there. The open file (a PlayerSession) plays on threads of its own (read, video,
// presenter, audio; see PlayerSession.h). Every event arrives on the user-interface
// thread, queued, except OnHook, which runs on the presenter thread with the picture
// before it is shown. OnFileOpen is raised inside Open.
//
// Locks: m_hookMutex guards the hook handler (read on the presenter thread); the other
// fields belong to the user-interface thread.
class TFFPlayer : public QObject
{
    Q_OBJECT
public:
    explicit TFFPlayer(QObject *parent = nullptr);
    ~TFFPlayer() override; // closes with waiting

    bool AVLibLoaded() const { return true; }
    bool LoadAVLib(const QString &folder);
    QString LastErrorText() const { return QString(); }

    // Closes any open file, then opens and plays this one. OnFileOpen comes before this
    // returns. False when the file cannot be played.
    bool Open(const QString &fileName, TVideoSurface *surface, int flags = 0);
    void Pause();  // only while playing: psPause
    void Resume(); // only while paused: psResume
    bool IsPausedOrIdle() const;
    // Ends playback and closes the file. With wait, returns after the threads have ended
    // (handling events meanwhile). psStop follows either way.
    void Close(bool wait);
    // To the position in µs (clamped to the duration). Flags 0 and 4 (any frame) both
    // show the picture at the position, decoded forward from the key frame before it.
    // With wait, returns when the picture at the position is current.
    void Seek(int flags, bool wait, int64_t position);

    // A 24-bit BGR picture of the video's size: black until the first picture, zero size
    // when nothing with video is open.
    QImage CurrentPicture() const;
    TAVProbe &Probe() { return m_probe; }
    int64_t Duration() const;
    int64_t Position() const;
    int64_t DroppedPictures() const;

    int AudioVolume() const { return m_volume; }
    void SetAudioVolume(int volume); // 0..128
    bool Mute() const { return m_mute; }
    void SetMute(bool mute);
    bool Hook() const { return m_hook; }
    void SetHook(bool hook);

    using FileOpenHandler = std::function<void(TFFPlayer *, int64_t duration, int frameWidth, int frameHeight,
                                               int &screenWidth, int &screenHeight)>;
    using PositionHandler = std::function<void(TFFPlayer *, int64_t pts)>;
    using StateHandler = std::function<void(TFFPlayer *, TPlayState state)>;
    using HookHandler = std::function<void(TFFPlayer *, QImage &bitmap, int64_t pts)>;
    void SetOnFileOpen(FileOpenHandler handler) { m_onFileOpen = std::move(handler); }
    void SetOnPosition(PositionHandler handler) { m_onPosition = std::move(handler); }
    void SetOnState(StateHandler handler) { m_onState = std::move(handler); }
    void SetOnHook(HookHandler handler);

    // Open files and files still closing, of all players (for leak checks).
    static int LiveSessions();

private:
    void RaiseState(TPlayState state);
    void ApplyGain();
    void CheckPosition();
    void ReapClosing();

    std::unique_ptr<PlayerSession> m_session;
    // Sessions closed without waiting, ending on threads of their own.
    struct Closing;
    std::vector<std::shared_ptr<Closing>> m_closing;
    TVideoSurface *m_surface = nullptr;
    TAVProbe m_probe;
    QTimer m_positionTimer;
    int64_t m_lastPosition = -1;
    int m_volume = 128;
    bool m_mute = false;
    std::atomic<bool> m_hook = false;
    bool m_paused = false;
    bool m_ended = false;
    uint64_t m_generation = 0; // events of an earlier file are dropped

    FileOpenHandler m_onFileOpen;
    PositionHandler m_onPosition;
    StateHandler m_onState;
    std::mutex m_hookMutex;
    HookHandler m_onHook;
};
