#include "app/player/EngineControl.h"

#include "app/player/FlashKeys.h"

#include "toolkit/Accessible.h"
#include "engine/audio/Pcm.h"

#include "toolkit/Application.h"
#include "toolkit/Exceptions.h"

#include <QActionGroup>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDateTime>
#include <QDesktopServices>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QKeySequence>
#include <QMouseEvent>
#include <QPainter>
#include <QPaintEvent>
#include <QTimeZone>
#include <QUrl>

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
        setAccessibleRole(*this, QAccessible::Animation);
        setAccessibleName(QStringLiteral("Flash 影片"));
        // Buttons in the movie react to the pointer moving over them, not only to drags.
        setMouseTracking(true);
    }

    // The frame shown needs drawing again (a new frame, input, a new zoom or quality);
    // a paint without this, such as an uncovered window, shows the frame kept.
    void invalidate()
    {
        stale_ = true;
        update();
    }

protected:
    // The frame is drawn into an image of the window's pixels through the same path as
    // the headless tool (the renderer fills spans straight into memory there, which it
    // cannot do on the window's backing store), then copied to the window in one blit.
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        if (!control_.player().loaded()) {
            painter.fillRect(rect(), Qt::white);
            frame_ = QImage();
            return;
        }
        const qreal ratio = devicePixelRatioF();
        const QSize pixels = (QSizeF(size()) * ratio).toSize();
        const QRectF area = control_.displayArea();
        const QRectF areaPixels(area.topLeft() * ratio, area.size() * ratio);
        if (stale_ || frame_.size() != pixels || areaPixels != framedArea_) {
            if (frame_.size() != pixels)
                frame_ = QImage(pixels, QImage::Format_ARGB32_Premultiplied);
            if (frame_.isNull())
                return;  // out of memory: leave the window as it is
            frame_.setDevicePixelRatio(1.0);
            {
                // Zoomed, the picture is larger than the window: the image cuts it.
                QPainter onFrame(&frame_);
                control_.player().paint(onFrame, areaPixels, control_.scaleMode(),
                                        qualityOf(control_.settings().quality));
            }
            framedArea_ = areaPixels;
            stale_ = false;
        }
        frame_.setDevicePixelRatio(ratio);
        painter.setCompositionMode(QPainter::CompositionMode_Source);
        painter.drawImage(QPointF(0, 0), frame_);
    }

    void contextMenuEvent(QContextMenuEvent* event) override
    {
        if (std::unique_ptr<QMenu> menu = control_.contextMenu(event->pos()))
            menu->exec(event->globalPos());
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
    // A pointing hand over anything in the movie that takes clicks; none at all while
    // the movie has hidden the pointer (Mouse.hide).
    void updateCursor()
    {
        if (control_.player().cursorHidden())
            setCursor(Qt::BlankCursor);
        else if (control_.player().overButton())
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
        return player.mouseMove(
            player.stagePoint(control_.displayArea(), control_.scaleMode(), widgetPoint));
    }
    void afterInput()
    {
        control_.updateInputMethod();
        updateCursor();
        invalidate();
    }

    EngineControl& control_;
    QImage frame_;          // the frame last drawn, in the window's device pixels
    QRectF framedArea_;     // where in it the movie was laid out
    bool stale_ = true;
};

// Releases reach the focused host window rather than the accelerator path: this
// passes those of keys the movie took on to it, and the input method's text for the
// movie's input fields too.
class KeyReleaseFilter : public QObject {
public:
    explicit KeyReleaseFilter(EngineControl& control) : control_(control) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::KeyRelease && control_.keyReleased(*static_cast<QKeyEvent*>(event)))
            return true;
        if (event->type() == QEvent::InputMethod && control_.inputMethod(*static_cast<QInputMethodEvent*>(event)))
            return true;
        if (event->type() == QEvent::InputMethodQuery
            && control_.inputMethodQuery(*static_cast<QInputMethodQueryEvent*>(event)))
            return true;
        return QObject::eventFilter(watched, event);
    }

private:
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
    // The web and mail addresses a movie may open (the engine lets through only those a
    // click asked for) go to the desktop's opener.
    player_.setUrlHook([](const std::string& url, const std::string&) {
        QDesktopServices::openUrl(QUrl(QString::fromStdString(url)));
    });
    // A movie's dates are the desktop's: the time now, read in the system's time zone.
    player_.setCalendar([] { return static_cast<double>(QDateTime::currentMSecsSinceEpoch()); },
                        [](double utcMs) {
                            const auto at = QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(utcMs), QTimeZone::utc());
                            return 1000.0 * QTimeZone::systemTimeZone().offsetFromUtc(at);
                        });
    sound_ = std::make_unique<SoundOutput>(player_.mixer());
    player_.setNoticeSink([this](const std::string& line) { onNotice(QString::fromStdString(line)); });
    // The engine is in the middle of a frame when a script says fscommand: the window
    // acts once the frame is done.
    player_.setFsCommandHook([this](const std::string& command, const std::string& args) {
        QTimer::singleShot(0, &clock_, [this, c = QString::fromStdString(command), a = QString::fromStdString(args)] {
            fsCommand(c, a);
        });
    });
    sound_->setNoticeSink([this](const QString& text) { onNotice(text); });
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
        keyFilter_ = std::make_unique<KeyReleaseFilter>(*this);
        site.installEventFilter(keyFilter_.get());
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
    // A movie that is not scaled sees the area's size as its stage's.
    player_.setViewportSize(pixels.width(), pixels.height());
}

bool EngineControl::TranslateAccelerator(const QKeyEvent& event)
{
    if (!player_.loaded())
        return false;
    // A focused input field takes Select All and Paste, and Copy and Cut while it has
    // text selected; with nothing selected, Ctrl+C stays the window's picture shortcut.
    if (clipboardKey(event))
        return true;
    // Combinations with Ctrl or Alt stay the window's (its menu accelerators) unless
    // the movie asked for every key with fscommand("trapallkeys", "true").
    const int key = event.key();
    const bool modifierKey = key == Qt::Key_Control || key == Qt::Key_Alt || key == Qt::Key_Shift;
    if (!trapAllKeys_ && !modifierKey && (event.modifiers() & (Qt::ControlModifier | Qt::AltModifier)))
        return false;
    const int code = flashKeyCode(key);
    const char32_t character = flashKeyCharacter(key, event.text());
    if (code == 0 && character == 0)
        return false;
    // A key the movie does not listen for goes on to the window's shortcuts.
    if (!trapAllKeys_ && !player_.wantsKey(code, character))
        return false;
    player_.keyPress(code, character);
    keysHeld_.insert(key);
    updateInputMethod();
    repaint();
    return true;
}

bool EngineControl::clipboardKey(const QKeyEvent& event)
{
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (!clipboard || !player_.typingFocused())
        return false;
    if (event.matches(QKeySequence::SelectAll)) {
        player_.selectAllText();
        repaint();
        return true;
    }
    if (event.matches(QKeySequence::Paste)) {
        player_.pasteText(clipboard->text().toStdString());
        updateInputMethod();
        repaint();
        return true;
    }
    const bool cut = event.matches(QKeySequence::Cut);
    if (!cut && !event.matches(QKeySequence::Copy))
        return false;
    const std::string selected = player_.copySelection(cut);
    if (selected.empty())
        return false;
    clipboard->setText(QString::fromStdString(selected));
    repaint();
    return true;
}

bool EngineControl::keyReleased(const QKeyEvent& event)
{
    if (event.isAutoRepeat() || !keysHeld_.erase(event.key()) || !player_.loaded())
        return false;
    player_.keyRelease(flashKeyCode(event.key()), flashKeyCharacter(event.key(), event.text()));
    repaint();
    return true;
}

bool EngineControl::inputMethod(QInputMethodEvent& event)
{
    if (!player_.typingFocused())
        return false;
    // Only committed text reaches the field; what is still being composed shows in
    // the input method's own window.
    if (!event.commitString().isEmpty() && player_.commitText(event.commitString().toStdString()))
        repaint();
    event.accept();
    return true;
}

bool EngineControl::inputMethodQuery(QInputMethodQueryEvent& event)
{
    if (!player_.typingFocused())
        return false;
    const Qt::InputMethodQueries queries = event.queries();
    if (queries & Qt::ImEnabled)
        event.setValue(Qt::ImEnabled, true);
    if (queries & Qt::ImHints)
        event.setValue(Qt::ImHints, int(Qt::ImhNone));
    if (queries & Qt::ImCursorRectangle)
        event.setValue(Qt::ImCursorRectangle, view_ ? QRect(0, 0, 1, view_->height()) : QRect());
    if (queries & Qt::ImSurroundingText)
        event.setValue(Qt::ImSurroundingText, QString());
    if (queries & Qt::ImCursorPosition)
        event.setValue(Qt::ImCursorPosition, 0);
    if (queries & Qt::ImAnchorPosition)
        event.setValue(Qt::ImAnchorPosition, 0);
    event.accept();
    return true;
}

void EngineControl::updateInputMethod()
{
    QWidget* site = view_ ? view_->parentWidget() : nullptr;
    if (!site)
        return;
    const bool typing = player_.typingFocused();
    if (site->testAttribute(Qt::WA_InputMethodEnabled) == typing)
        return;
    site->setAttribute(Qt::WA_InputMethodEnabled, typing);
    if (site->hasFocus())
        QGuiApplication::inputMethod()->update(Qt::ImEnabled);
}

swf::ScaleMode EngineControl::scaleMode() const
{
    return allowScale_ ? scaleModeOf(settings_.scale) : swf::ScaleMode::NoScale;
}

void EngineControl::fsCommand(const QString& command, const QString& args)
{
    const auto is = [&command](const char* name) { return command.compare(QLatin1String(name), Qt::CaseInsensitive) == 0; };
    const bool on = args.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0;
    const bool off = args.compare(QLatin1String("false"), Qt::CaseInsensitive) == 0;
    QWidget* window = view_ ? view_->window() : nullptr;
    if (is("quit")) {
        if (window)
            window->close();
    } else if (is("fullscreen") && (on || off)) {
        if (window)
            on ? window->showFullScreen() : window->showNormal();
    } else if (is("allowscale") && (on || off)) {
        allowScale_ = on;
        repaint();
    } else if (is("showmenu") && (on || off)) {
        showMenu_ = on;
    } else if (is("trapallkeys") && (on || off)) {
        trapAllKeys_ = on;
    }
}


void EngineControl::UIActivate(bool) {}

void EngineControl::SetMovie(const QString& path)
{
    try {
        moviePath_ = path;
        noticesShown_.clear();
        allowScale_ = true;
        showMenu_ = true;
        trapAllKeys_ = false;
        player_.loadFile(path.toStdU16String());
    } catch (const swf::LoadError& error) {
        repaint();
        updateClock();
        throw EOleException(movieLoadErrorText(path, error));
    }
    player_.setLoop(settings_.loop);
    // A new movie is shown whole.
    zoom_ = 1.0;
    zoomedArea_ = QRectF(0, 0, 1, 1);
    sound_->start();
    // Show the first frame at once; play on from it when the stored state says so.
    player_.advance();
    if (settings_.play)
        player_.play();
    else
        player_.stop();
    updateClock();
    updateInputMethod();
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
    updateInputMethod();
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
        updateInputMethod();
        // Frames that draw what is already shown are not painted again.
        if (player_.pictureChanged())
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

void EngineControl::onNotice(const QString& text)
{
    if (noticesShown_.contains(text))
        return;
    noticesShown_.insert(text);
    if (noticeSink_)
        noticeSink_(text);
}

QRectF EngineControl::displayArea() const
{
    QSizeF size = view_ ? QSizeF(view_->size()) : QSizeF();
    return {zoomedArea_.x() * size.width(), zoomedArea_.y() * size.height(), zoomedArea_.width() * size.width(),
            zoomedArea_.height() * size.height()};
}

void EngineControl::setDisplayArea(QRectF area)
{
    QSizeF size = view_ ? QSizeF(view_->size()) : QSizeF();
    if (size.isEmpty())
        return;
    // Keep to the window: the zoomed picture always covers it, so zooming shows no
    // more than the area and never uncovers an empty edge.
    area.moveLeft(std::clamp(area.left(), size.width() - area.width(), 0.0));
    area.moveTop(std::clamp(area.top(), size.height() - area.height(), 0.0));
    zoomedArea_ = QRectF(area.x() / size.width(), area.y() / size.height(), area.width() / size.width(),
                         area.height() / size.height());
    repaint();
}

void EngineControl::zoomIn(QPointF at)
{
    double factor = std::min(2.0, kMaxZoom / zoom_);
    if (factor <= 1.0)
        return;
    QRectF area = displayArea();
    // What lies under `at` stays there.
    setDisplayArea(QRectF(at - (at - area.topLeft()) * factor, area.size() * factor));
    zoom_ *= factor;
}

void EngineControl::zoomOut(QPointF at)
{
    if (zoom_ <= 1.0)
        return;
    if (zoom_ <= 2.0) {
        showAll();
        return;
    }
    QRectF area = displayArea();
    setDisplayArea(QRectF(at - (at - area.topLeft()) * 0.5, area.size() * 0.5));
    zoom_ /= 2.0;
}

void EngineControl::showAll()
{
    zoom_ = 1.0;
    zoomedArea_ = QRectF(0, 0, 1, 1);
    repaint();
}

void EngineControl::setQuality(const QString& quality)
{
    settings_.quality = quality;
    repaint();
}

void EngineControl::stepForward()
{
    if (!player_.loaded())
        return;
    player_.stop();
    player_.seek(player_.currentFrame() + 1);
    repaint();
}

void EngineControl::stepBack()
{
    if (!player_.loaded())
        return;
    player_.stop();
    player_.seek(player_.currentFrame() - 1);
    repaint();
}

void EngineControl::rewind()
{
    if (!player_.loaded())
        return;
    player_.stop();
    player_.seek(1);
    repaint();
}

std::unique_ptr<QMenu> EngineControl::contextMenu(QPointF at)
{
    if (!settings_.menu || !showMenu_)
        return nullptr;
    auto menu = std::make_unique<QMenu>();
    const bool movie = player_.loaded();
    auto add = [&](QMenu* into, const QString& text, auto&& run, bool enabled = true) {
        QAction* action = into->addAction(text);
        action->setEnabled(enabled);
        QObject::connect(action, &QAction::triggered, action, [run] {
            if (Application)
                Application->guard(run);
            else
                run();
        });
        return action;
    };
    // The movie's own items come first, as the reference control lists them.
    if (movie) {
        const std::vector<swf::MovieMenuItem> items = player_.openMenu();
        for (const swf::MovieMenuItem& item : items) {
            if (item.separatorBefore)
                menu->addSeparator();
            add(menu.get(), QString::fromStdString(item.caption), [this, index = item.index] {
                player_.chooseMenuItem(index);
                repaint();
            }, item.enabled);
        }
        if (!items.empty())
            menu->addSeparator();
    }
    add(menu.get(), QStringLiteral("放大"), [this, at] { zoomIn(at); }, movie && zoom_ < kMaxZoom);
    add(menu.get(), QStringLiteral("缩小"), [this, at] { zoomOut(at); }, movie && zoom_ > 1.0);
    add(menu.get(), QStringLiteral("全部显示"), [this] { showAll(); }, movie && zoom_ > 1.0);
    menu->addSeparator();
    QMenu* quality = menu->addMenu(QStringLiteral("品质"));
    auto* qualities = new QActionGroup(quality);
    const std::pair<QString, QString> levels[] = {
        {QStringLiteral("低"), QStringLiteral("Low")},
        {QStringLiteral("中"), QStringLiteral("Medium")},
        {QStringLiteral("高"), QStringLiteral("High")},
    };
    for (const auto& [text, level] : levels) {
        QAction* action = add(quality, text, [this, level] { setQuality(level); });
        action->setCheckable(true);
        action->setChecked(settings_.quality.compare(level, Qt::CaseInsensitive) == 0);
        qualities->addAction(action);
    }
    menu->addSeparator();
    QAction* play = add(menu.get(), QStringLiteral("播放"), [this] {
        if (player_.playing())
            StopPlayback();
        else
            StartPlayback();
    }, movie);
    play->setCheckable(true);
    play->setChecked(player_.playing());
    QAction* loop = add(menu.get(), QStringLiteral("循环"), [this] {
        settings_.loop = !settings_.loop;
        player_.setLoop(settings_.loop);
    });
    loop->setCheckable(true);
    loop->setChecked(settings_.loop);
    menu->addSeparator();
    add(menu.get(), QStringLiteral("倒带"), [this] { rewind(); }, movie && player_.currentFrame() > 1);
    add(menu.get(), QStringLiteral("前进"), [this] { stepForward(); }, movie && player_.currentFrame() < player_.frameCount());
    add(menu.get(), QStringLiteral("后退"), [this] { stepBack(); }, movie && player_.currentFrame() > 1);
    return menu;
}

void EngineControl::repaint()
{
    if (view_)
        view_->invalidate();
}

} // namespace lanfan
