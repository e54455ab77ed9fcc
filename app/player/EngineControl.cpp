#include "app/player/EngineControl.h"

#include "engine/audio/Pcm.h"

#include "toolkit/Application.h"
#include "toolkit/Exceptions.h"

#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QPaintEvent>

#include <algorithm>
#include <cmath>

namespace lanfan {

namespace {
swf::ScaleMode scaleModeOf(const QString& name)
{
    if (name.compare(QLatin1String("NoBorder"), Qt::CaseInsensitive) == 0)
        return swf::ScaleMode::NoBorder;
    if (name.compare(QLatin1String("ExactFit"), Qt::CaseInsensitive) == 0)
        return swf::ScaleMode::ExactFit;
    if (name.compare(QLatin1String("NoScale"), Qt::CaseInsensitive) == 0)
        return swf::ScaleMode::NoScale;
    return swf::ScaleMode::ShowAll;
}

swf::RenderQuality qualityOf(const QString& name)
{
    if (name.compare(QLatin1String("Low"), Qt::CaseInsensitive) == 0)
        return swf::RenderQuality::Low;
    if (name.compare(QLatin1String("Medium"), Qt::CaseInsensitive) == 0)
        return swf::RenderQuality::Medium;
    if (name.compare(QLatin1String("Best"), Qt::CaseInsensitive) == 0)
        return swf::RenderQuality::Best;
    return swf::RenderQuality::High;
}
} // namespace

// The control's own window inside the host: it paints the current frame.
class MovieView : public QWidget {
public:
    MovieView(EngineControl& control, QWidget& site) : QWidget(&site), control_(control)
    {
        setAttribute(Qt::WA_OpaquePaintEvent);
        setFocusPolicy(Qt::NoFocus);
        setAccessibleName(QStringLiteral("Flash"));
        // Buttons in the movie react to the pointer moving over them, not only to drags.
        setMouseTracking(true);
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        if (!control_.player().loaded()) {
            painter.fillRect(rect(), Qt::white);
            return;
        }
        control_.player().paint(painter, QRectF(rect()), scaleModeOf(control_.settings().scale),
                                qualityOf(control_.settings().quality));
    }

    // The pointer goes to the movie in stage pixels, through the layout paint uses.
    void mouseMoveEvent(QMouseEvent* event) override
    {
        if (moveTo(event->position()))
            afterInput();
    }
    void mousePressEvent(QMouseEvent* event) override
    {
        if (event->button() != Qt::LeftButton)
            return QWidget::mousePressEvent(event);
        bool changed = moveTo(event->position());
        if (control_.player().mousePress() || changed)
            afterInput();
    }
    void mouseReleaseEvent(QMouseEvent* event) override
    {
        if (event->button() != Qt::LeftButton)
            return QWidget::mouseReleaseEvent(event);
        bool changed = moveTo(event->position());
        if (control_.player().mouseRelease() || changed)
            afterInput();
    }
    void leaveEvent(QEvent* event) override
    {
        // Off the window the pointer is over nothing: a hovered button rolls out. A
        // button held down keeps following the grab instead.
        if (!(QGuiApplication::mouseButtons() & Qt::LeftButton) && control_.player().mouseMove(QPointF(-1e9, -1e9)))
            afterInput();
        QWidget::leaveEvent(event);
    }

public:
    // A pointing hand over anything in the movie that takes clicks.
    void updateCursor()
    {
        if (control_.player().overButton())
            setCursor(Qt::PointingHandCursor);
        else
            unsetCursor();
    }

private:
    bool moveTo(QPointF widgetPoint)
    {
        swf::Player& player = control_.player();
        if (!player.loaded())
            return false;
        return player.mouseMove(player.stagePoint(QRectF(rect()), scaleModeOf(control_.settings().scale), widgetPoint));
    }
    void afterInput()
    {
        updateCursor();
        update();
    }

    EngineControl& control_;
};

QString movieLoadErrorText(const QString& path, const swf::LoadError& error)
{
    QString reason;
    switch (error.kind()) {
    case swf::LoadError::Kind::CannotRead: reason = QStringLiteral("无法读取该文件"); break;
    case swf::LoadError::Kind::NotAMovie: reason = QStringLiteral("这不是 Flash 影片（SWF）文件"); break;
    case swf::LoadError::Kind::Corrupt: reason = QStringLiteral("影片文件已损坏"); break;
    case swf::LoadError::Kind::TooLarge: reason = QStringLiteral("影片超出了播放器的大小限制"); break;
    }
    return QStringLiteral("无法打开影片“%1”：%2（%3）")
        .arg(path, reason, QString::fromUtf8(error.what()));
}

QString movieLimitText(const QString& path, const std::string& message)
{
    return QStringLiteral("影片“%1”超出了播放器的限制，超出的部分已略去，影片继续播放（%2）")
        .arg(path, QString::fromStdString(message));
}

EngineControl::EngineControl()
{
    clock_.setTimerType(Qt::PreciseTimer);
    QObject::connect(&clock_, &QTimer::timeout, [this] { onClock(); });
    player_.setLimitSink([this](swf::Player::Limit limit, const std::string& message) { onLimit(limit, message); });
    sound_ = std::make_unique<SoundOutput>(player_.mixer());
}

EngineControl::~EngineControl()
{
    clock_.stop();
    // The view paints through this control: hide it now, its parent frees it later.
    if (view_) {
        view_->hide();
        view_->deleteLater();
    }
}

void EngineControl::LoadControlData(const QByteArray& data)
{
    if (data.isEmpty()) {
        settings_ = ControlSettings{};
        return;
    }
    auto parsed = parseControlData(data);
    if (!parsed)
        throw EOleSysError(QStringLiteral("The control's stored state is not valid"), static_cast<int32_t>(0x80030003));
    settings_ = *parsed;
    player_.setLoop(settings_.loop);
}

QWidget* EngineControl::ActivateInPlace(QWidget& site)
{
    if (!view_) {
        view_ = new MovieView(*this, site);
        view_->setGeometry(site.rect());
        view_->show();
    }
    return view_;
}

void EngineControl::SetExtent(QSize pixels)
{
    if (view_)
        view_->resize(pixels);
}

bool EngineControl::TranslateAccelerator(const QKeyEvent&)
{
    // No movie content takes keys yet, so every key goes on to the menu shortcuts.
    return false;
}

void EngineControl::UIActivate(bool) {}

void EngineControl::SetMovie(const QString& path)
{
    try {
        moviePath_ = path;
        player_.loadFile(path.toStdU16String());
    } catch (const swf::LoadError& error) {
        repaint();
        updateClock();
        throw EOleException(movieLoadErrorText(path, error));
    }
    player_.setLoop(settings_.loop);
    sound_->start();
    // Show the first frame at once; play on from it when the stored state says so.
    player_.advance();
    if (settings_.play)
        player_.play();
    else
        player_.stop();
    updateClock();
    repaint();
}

int32_t EngineControl::FrameCount()
{
    return player_.frameCount();
}

bool EngineControl::Playing()
{
    return player_.playing();
}

void EngineControl::StartPlayback()
{
    player_.play();
    updateClock();
}

void EngineControl::StopPlayback()
{
    player_.stop();
    repaint();
}

void EngineControl::SeekToFrame(int32_t frame)
{
    if (!player_.loaded())
        return;
    player_.seek(frame);
    repaint();
}

int32_t EngineControl::QueryCurrentFrame()
{
    return player_.currentFrame();
}

void EngineControl::updateClock()
{
    // The clock runs while a movie is loaded: nested clips animate even when the main
    // timeline stands still. With no movie there is nothing to do and no timer at all.
    if (!player_.loaded()) {
        clock_.stop();
        return;
    }
    double rate = player_.info().frameRate;
    int interval = rate > 0 ? std::clamp(static_cast<int>(std::lround(1000.0 / rate)), 1, 1000) : 1000;
    if (!clock_.isActive() || clock_.interval() != interval) {
        clock_.start(interval);
        sinceLastTick_.start();
    }
}

void EngineControl::onClock()
{
    auto elapsed = std::chrono::nanoseconds(sinceLastTick_.nsecsElapsed());
    sinceLastTick_.start();
    const bool sounding = sound_->active();
    player_.setAudioClock(sounding);
    if (!sounding)
        drainSound(elapsed);
    if (player_.tick(elapsed)) {
        // A new frame may have brought a button under the pointer or taken it away.
        if (view_)
            view_->updateCursor();
        repaint();
    }
}

void EngineControl::drainSound(std::chrono::nanoseconds elapsed)
{
    // At most a second at a time: a long stall is not made up for.
    drainDebt_ = std::min(drainDebt_ + elapsed.count() * 1e-9 * swf::audio::kOutputRate, double(swf::audio::kOutputRate));
    auto frames = static_cast<size_t>(drainDebt_);
    if (frames == 0)
        return;
    drainDebt_ -= static_cast<double>(frames);
    drained_.resize(frames * 2);
    player_.renderSound(drained_);
}

void EngineControl::onLimit(swf::Player::Limit limit, const std::string& message)
{
    // Falling behind after a stall is the machine's doing, not the movie's: the clock
    // just resumes, and there is nothing for the user to act on.
    if (limit == swf::Player::Limit::ClockCatchUp)
        return;
    // The engine is in the middle of a frame here. The box waits until the frame is
    // done, so that its message loop cannot step the movie from inside the step.
    QTimer::singleShot(0, &clock_, [text = movieLimitText(moviePath_, message)] {
        if (Application)
            Application->guard([&text] { throw Exception(text); });
    });
}

void EngineControl::repaint()
{
    if (view_)
        view_->update();
}

} // namespace lanfan
