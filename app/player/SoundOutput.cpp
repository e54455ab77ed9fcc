#include "app/player/SoundOutput.h"

#include "engine/audio/Mixer.h"
#include "engine/audio/Pcm.h"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSink>
#include <QIODevice>
#include <QMediaDevices>
#include <QMetaObject>
#include <QtGlobal>

#include <span>

namespace lanfan {

namespace {

// About 50 ms of 16-bit stereo at 44.1 kHz: low latency, and still a few periods for
// a busy machine to keep up.
constexpr int kBufferBytes = swf::audio::kOutputRate / 20 * 4;

// What the sink pulls: the mix, as long as it is asked for.
class MixerDevice : public QIODevice {
public:
    explicit MixerDevice(std::shared_ptr<swf::audio::Mixer> mixer) : mixer_(std::move(mixer)) {}
    bool isSequential() const override { return true; }
    qint64 bytesAvailable() const override { return kBufferBytes + QIODevice::bytesAvailable(); }

protected:
    qint64 readData(char* data, qint64 maxSize) override
    {
        qint64 frames = maxSize / 4;
        mixer_->mix(std::span(reinterpret_cast<int16_t*>(data), static_cast<size_t>(frames) * 2));
        return frames * 4;
    }
    qint64 writeData(const char*, qint64) override { return -1; }

private:
    std::shared_ptr<swf::audio::Mixer> mixer_;
};

} // namespace

// Owns the sink and its device on the output thread.
class SoundSinkWorker : public QObject {
public:
    explicit SoundSinkWorker(SoundOutput& owner) : owner_(owner) {}

    void open()
    {
        if (sink_)
            return;
        QAudioDevice device = QMediaDevices::defaultAudioOutput();
        if (device.isNull()) {
            fail(QStringLiteral("no audio output device"));
            return;
        }
        QAudioFormat format;
        format.setSampleRate(swf::audio::kOutputRate);
        format.setChannelCount(2);
        format.setSampleFormat(QAudioFormat::Int16);
        if (!device.isFormatSupported(format)) {
            fail(QStringLiteral("the audio device does not take 44.1 kHz 16-bit stereo"));
            return;
        }
        source_ = std::make_unique<MixerDevice>(owner_.mixer_);
        source_->open(QIODevice::ReadOnly);
        sink_ = std::make_unique<QAudioSink>(device, format);
        sink_->setBufferSize(kBufferBytes);
        QObject::connect(sink_.get(), &QAudioSink::stateChanged, this, [this](QAudio::State state) {
            if (state == QAudio::StoppedState && sink_ && sink_->error() != QAudio::NoError)
                fail(QStringLiteral("the audio device stopped (%1)").arg(static_cast<int>(sink_->error())));
            else
                owner_.active_ = state == QAudio::ActiveState || state == QAudio::IdleState;
        });
        sink_->start(source_.get());
        if (sink_->error() != QAudio::NoError) {
            fail(QStringLiteral("the audio device cannot be opened (it may be busy)"));
            return;
        }
        owner_.active_ = true;
    }

    void close()
    {
        owner_.active_ = false;
        if (sink_) {
            sink_->disconnect(this);
            sink_->stop();
        }
        sink_.reset();
        source_.reset();
    }

    ~SoundSinkWorker() override { close(); }

private:
    void fail(const QString& reason)
    {
        close();
        QMetaObject::invokeMethod(&owner_.context_, [owner = &owner_, reason] { owner->notify(reason); },
                                  Qt::QueuedConnection);
    }

    SoundOutput& owner_;
    std::unique_ptr<MixerDevice> source_;
    std::unique_ptr<QAudioSink> sink_;
};

SoundOutput::SoundOutput(std::shared_ptr<swf::audio::Mixer> mixer) : mixer_(std::move(mixer))
{
    thread_.setObjectName(QStringLiteral("sound output"));
    worker_ = new SoundSinkWorker(*this);
    worker_->moveToThread(&thread_);
    QObject::connect(&thread_, &QThread::finished, worker_, &QObject::deleteLater);
    thread_.start();
}

SoundOutput::~SoundOutput()
{
    QMetaObject::invokeMethod(worker_, [worker = worker_] { worker->close(); }, Qt::BlockingQueuedConnection);
    thread_.quit();
    thread_.wait();
}

void SoundOutput::start()
{
    if (failed_)
        return;
    QMetaObject::invokeMethod(worker_, [worker = worker_] { worker->open(); }, Qt::QueuedConnection);
}

QString SoundOutput::noticeText(const QString& reason)
{
    return QStringLiteral("无法播放声音：%1。影片将继续无声播放。").arg(reason);
}

void SoundOutput::notify(const QString& reason)
{
    failed_ = true;
    if (noticeGiven_)
        return;
    noticeGiven_ = true;
    QString text = noticeText(reason);
    if (noticeSink_)
        noticeSink_(text);
    else
        qWarning("%s", qPrintable(text));
}

} // namespace lanfan
