#pragma once

// Sound output for the player window: the engine's mixer played on the system's
// default audio device through a QAudioSink that lives on a thread of its own, pulling
// samples with a small buffer (about 50 ms). Opening the device happens on that
// thread, so a slow or missing device never holds up the window. When there is no
// device, or it is busy, or it goes away, the movie plays on silently and one notice
// says so.

#include <QObject>
#include <QString>
#include <QThread>

#include <atomic>
#include <functional>
#include <memory>

namespace swf::audio {
class Mixer;
}

namespace lanfan {

class SoundSinkWorker;

class SoundOutput {
public:
    explicit SoundOutput(std::shared_ptr<swf::audio::Mixer> mixer);
    ~SoundOutput();
    SoundOutput(const SoundOutput&) = delete;
    SoundOutput& operator=(const SoundOutput&) = delete;

    // Opens the device (in the background) unless it is open or known to be missing.
    void start();
    // The device is taking samples now: the mixer's clock is real time.
    bool active() const { return active_.load(); }
    // Where the one notice goes (on the output thread's behalf, queued to the window's
    // thread); by default it is written to the log.
    void setNoticeSink(std::function<void(const QString&)> sink) { noticeSink_ = std::move(sink); }

    // The notice given when sound cannot be played, with the reason.
    static QString noticeText(const QString& reason);

private:
    friend class SoundSinkWorker;
    void notify(const QString& reason);

    std::shared_ptr<swf::audio::Mixer> mixer_;
    QThread thread_;
    SoundSinkWorker* worker_ = nullptr;  // lives on thread_, deleted when it finishes
    std::atomic<bool> active_{false};
    bool noticeGiven_ = false;
    bool failed_ = false;
    std::function<void(const QString&)> noticeSink_;
    QObject context_;  // receives queued calls on the window's thread
};

} // namespace lanfan
