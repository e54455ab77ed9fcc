#pragma once

// The player control backed by our own movie engine: it loads the movie when Movie is
// put, runs the movie's clock at its frame rate and paints frames into its window.

#include "app/player/PlayerControl.h"
#include "app/player/SoundOutput.h"

#include "engine/Player.h"

#include <QElapsedTimer>
#include <QInputMethodEvent>
#include <QMenu>
#include <QPointer>
#include <QSet>
#include <QTimer>
#include <QWidget>

#include <memory>
#include <set>
#include <vector>

namespace lanfan {

class MovieView;


class EngineControl : public PlayerControl {
public:
    EngineControl();
    ~EngineControl() override;

    void SetMovie(const QString& path) override;
    int32_t FrameCount() override;
    bool Playing() override;
    void StartPlayback() override;
    void StopPlayback() override;
    void SeekToFrame(int32_t frame) override;
    int32_t QueryCurrentFrame() override;

    void LoadControlData(const QByteArray& data) override;
    QWidget* ActivateInPlace(QWidget& site) override;
    void SetExtent(QSize pixels) override;
    // A key the movie listens for goes to it (Key, onClipEvent(keyDown), a button's
    // key condition) and is taken; others, and those held with Ctrl or Alt, go on to
    // the window's shortcuts.
    bool TranslateAccelerator(const QKeyEvent& event) override;
    // The release of a key the movie took; true when it went to the movie.
    bool keyReleased(const QKeyEvent& event);
    void UIActivate(bool active) override;
    void SetNoticeSink(std::function<void(const QString&)> sink) override { noticeSink_ = std::move(sink); }

    const ControlSettings& settings() const { return settings_; }
    swf::Player& player() { return player_; }
    SoundOutput& soundOutput() { return *sound_; }

    // The right-click menu of the player area (when the stored state's Menu is on), as
    // the reference control has it: zoom in, zoom out, show all, quality, play, loop,
    // rewind, forward, back. `at` is the point clicked, in the control's window; zooming
    // in keeps what lies under it in place. Null when the menu is off.
    std::unique_ptr<QMenu> contextMenu(QPointF at);
    // Zoom: 1 shows the whole movie as the scale mode lays it out; each step in doubles
    // it, up to kMaxZoom, and the picture never leaves part of the area empty.
    static constexpr double kMaxZoom = 16.0;
    double zoom() const { return zoom_; }
    void zoomIn(QPointF at);
    void zoomOut(QPointF at);
    void showAll();
    void setQuality(const QString& quality);
    // Steps one frame forward or back and stops there; rewind goes to frame 1 and stops.
    void stepForward();
    void stepBack();
    void rewind();
    // Where the movie is painted in the control's window: the window's area, or the
    // zoomed area around it (larger, covering it).
    QRectF displayArea() const;
    // How the movie is fitted to the area: the stored scale, or none once the movie
    // said fscommand("allowscale", "false").
    swf::ScaleMode scaleMode() const;
    // The input method's composed text, for the movie's focused input field.
    bool inputMethod(QInputMethodEvent& event);
    bool inputMethodQuery(QInputMethodQueryEvent& event);
    // Turns the site's input method on while an input field holds the movie's focus.
    void updateInputMethod();
    // Select All, Copy, Cut and Paste while an input field holds the movie's focus,
    // through the desktop's clipboard; true when the key was used so.
    bool clipboardKey(const QKeyEvent& event);
    // fscommand of a local movie that the player itself honours: quit, fullscreen,
    // allowscale, showmenu, trapallkeys; others are the movie's own and ignored.
    void fsCommand(const QString& command, const QString& args);

private:
    void onClock();
    void updateClock();
    void repaint();
    void onLimit(swf::Player::Limit limit, const std::string& message);
    void onNotice(const QString& text);
    // Without a device the mix is pulled and dropped at the clock's pace, so sounds
    // end when they would have and the movie keeps its timing.
    void drainSound(std::chrono::nanoseconds elapsed);

    swf::Player player_;
    QString moviePath_;
    ControlSettings settings_;
    QPointer<MovieView> view_;
    QTimer clock_;
    QElapsedTimer sinceLastTick_;
    // The zoomed area as a fraction of the window's size, so that it follows resizes.
    double zoom_ = 1.0;
    QRectF zoomedArea_{0, 0, 1, 1};
    void setDisplayArea(QRectF area);
    std::unique_ptr<SoundOutput> sound_;
    // Keys the movie took, whose releases go to it too.
    std::set<int> keysHeld_;
    std::unique_ptr<QObject> keyFilter_;
    std::vector<int16_t> drained_;
    double drainDebt_ = 0;
    std::function<void(const QString&)> noticeSink_;
    QSet<QString> noticesShown_;  // for the movie loaded
    // What the movie loaded asked of the player by fscommand.
    bool allowScale_ = true;
    bool showMenu_ = true;
    bool trapAllKeys_ = false;
};

// The message shown when a movie cannot be opened: names the file and the reason.
QString movieLoadErrorText(const QString& path, const swf::LoadError& error);
// The message shown when a playing movie runs into one of the engine's limits.
QString movieLimitText(const QString& path, const std::string& message);

} // namespace lanfan
