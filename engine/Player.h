#pragma once

// The engine's facade: loads a movie, runs its clock, answers the control operations
// and paints frames. Everything else in engine/ is reached through here.

#include "engine/format/Header.h"
#include "engine/format/Primitives.h"
#include "engine/movie/Limits.h"

#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

class QPainter;
class QPointF;
class QRectF;

namespace swf::audio {
class Mixer;
}
namespace swf::data {
struct OutgoingRequest;
}

namespace swf {

// Raised when a movie cannot be loaded; `what()` is a one-line English reason, and
// `kind()` says which of the fixed reasons applies, so callers can word it themselves.
class LoadError : public std::runtime_error {
public:
    enum class Kind { CannotRead, NotAMovie, Corrupt, TooLarge };
    LoadError(Kind kind, const std::string& what) : std::runtime_error(what), kind_(kind) {}
    Kind kind() const { return kind_; }

private:
    Kind kind_;
};

struct MovieInfo {
    int version = 0;
    Compression compression = Compression::None;
    uint32_t declaredLength = 0;  // uncompressed length from the header
    Rect stage;                   // twips
    double frameRate = 0;         // frames per second (8.8 fixed in the file)
    int frameCount = 0;           // as declared in the header
    Rgba background{255, 255, 255, 255};
    bool hasAs3 = false;          // FileAttributes says ActionScript 3
};

enum class ScaleMode { ShowAll, NoBorder, ExactFit, NoScale };

// One of the movie's own items for the player's right-click menu.
struct MovieMenuItem {
    std::string caption;
    bool separatorBefore = false;
    bool enabled = true;
    size_t index = 0;  // what chooseMenuItem takes
};
enum class RenderQuality { Low, Medium, High, Best };

class Player {
public:
    Player();
    ~Player();
    Player(const Player&) = delete;
    Player& operator=(const Player&) = delete;

    // Loading replaces any movie already loaded. Throws LoadError.
    void loadFile(const std::filesystem::path& path);
    void loadBytes(std::span<const uint8_t> bytes, const std::string& url = {});
    void unload();
    bool loaded() const;
    const MovieInfo& info() const;

    // Control operations. Frames are numbered 1..frameCount(), the count the header
    // declares (0 for a movie declaring none); with no movie loaded frameCount() and
    // currentFrame() are 0 and playing() is false.
    int frameCount() const;
    int currentFrame() const;
    bool playing() const;
    void play();
    void stop();
    // The main timeline's goto, clamped into the frames it holds: the display list is
    // rebuilt to `frame`, objects that stay keep their state, script variables live
    // on, the frames jumped over run no script and the landing frame's run once. The
    // play state stays as it was.
    void seek(int frame);
    bool loop() const;
    void setLoop(bool loop);

    // Headless stepping: enter the next frame (the first call enters frame 1), running
    // its scripts, whether or not the movie is playing.
    void advance();
    // Real-time clock: advance as many frames as `elapsed` covers at the frame rate (a
    // few at most, however long the pause was). The clock runs whenever a movie is
    // loaded: the main timeline moves only while playing, nested clips animate anyway.
    // Returns true when a frame was stepped and the picture needs a repaint.
    bool tick(std::chrono::nanoseconds elapsed);

    // Lines from trace(); the tool prints them, tests read them.
    void setTraceSink(std::function<void(const std::string&)> sink);
    // Web and mail addresses scripts ask to open (getURL, links in text), with their
    // target window: only in answer to a mouse press (or key), at most one for each;
    // other schemes and requests made on the movie's own are refused (one notice).
    void setUrlHook(std::function<void(const std::string& url, const std::string& target)> hook);
    // Every request the movie's scripts make of the network or the desktop (addresses
    // to open, data to send, sockets), as they made it, whether or not the player then
    // lets it out: for tools that show what a movie tries to reach.
    void setRequestObserver(std::function<void(const data::OutgoingRequest&)> observer);
    // The calendar the movie's dates read: `wallClockMs` answers the time now in
    // milliseconds since 1970 (UTC), asked when a movie's scripts start, after which
    // dates move on with the movie's own clock; `zoneOffsetMs` answers how far the
    // local zone is ahead of UTC at a UTC time. Unset, as in headless runs, dates start
    // at 1970 and read in UTC, so runs repeat exactly.
    void setCalendar(std::function<double()> wallClockMs, std::function<double(double utcMs)> zoneOffsetMs);
    // fscommand(command, args) of the movie's scripts.
    void setFsCommandHook(std::function<void(const std::string& command, const std::string& args)> hook);
    // Each limit a playing movie runs into (nesting depth, objects shown, script work
    // per frame, clock catch-up per tick), once a movie for each kind, with a line
    // naming the limit and its value.
    using Limit = movie::Limit;
    void setLimitSink(std::function<void(Limit, const std::string&)> sink);
    // Problems a movie plays on through, one line each: what loading left out (a sound
    // that would not decode) and what playing met (a video picture that does not
    // decode; the last good one stays shown).
    void setNoticeSink(std::function<void(const std::string&)> sink);

    // Sound. Everything the movie plays is summed by one mixer, 44.1 kHz 16-bit
    // stereo, which belongs to the player for its whole life (a new movie silences the
    // old one's voices) and may be pulled from another thread: the window's output
    // thread holds on to it.
    std::shared_ptr<audio::Mixer> mixer() const;
    // Mixes the next `out.size() / 2` stereo frames into `out`; headless callers step
    // frames and pull the mix in turn, so no real time passes.
    void renderSound(std::span<int16_t> out);
    // With an audio clock, a main timeline that plays a stream keeps pace with its
    // sound: tick() steps the frames the sound has reached (skipping drawing, never
    // stretching the sound) rather than those the wall clock says.
    void setAudioClock(bool enabled);

    // Paints the current frame into `area` of `painter`, scaled by `mode`, with the
    // background colour filling the whole area.
    void paint(QPainter& painter, const QRectF& area, ScaleMode mode, RenderQuality quality);

    // Whether the current frame draws differently from the one last painted (true
    // before the first paint of a movie). A window repaints a new frame only when it
    // does: a movie standing on one picture costs no drawing.
    bool pictureChanged();

    // Pointer input in stage pixels: (0, 0) is the stage's top-left corner and one unit
    // is one pixel of the movie as authored, whatever the window's scale. The topmost
    // button (or clip with pointer handlers) under the pointer takes its over and down
    // states, and the scripts of each transition (roll over and out, press, release,
    // release outside, drag out and over) run at once. Each returns true when the
    // picture may have changed and needs a repaint.
    // A press away from buttons on an input text field gives the field the keyboard
    // focus (keys then type into it); a press elsewhere takes the focus from a field.
    bool mouseMove(const QPointF& stagePixels);
    bool mousePress();
    bool mouseRelease();
    // The size of the player area in pixels, now and whenever it changes (kept across
    // movies). A movie that asked not to be scaled (Stage.scaleMode "noScale") sees it
    // as Stage.width and height, and its Stage listeners hear onResize.
    void setViewportSize(double width, double height);
    // Keyboard input. `keyCode` is the player's key code (65 for A, 48 for 0, 37 for
    // the left arrow, 13 for Enter, 112 for F1 ...), `character` the character the key
    // typed (0 for none). The movie hears of the key (Key's state and listeners,
    // onClipEvent(keyDown / keyUp), buttons' key conditions) and the call returns
    // true when it takes the key; false leaves the key to the window, for its
    // shortcuts. wantsKey asks the same without telling the movie.
    bool keyPress(int keyCode, char32_t character);
    bool keyRelease(int keyCode, char32_t character);
    bool wantsKey(int keyCode, char32_t character);
    // Text composed by the platform's input method (UTF-8, Chinese and the like) goes
    // into the focused input field as typed characters would, without key events.
    // Returns true when the field changed. typingFocused says whether an input field
    // holds the focus, so the window knows to turn its input method on.
    bool commitText(const std::string& text);
    bool typingFocused();
    // The clipboard, for the window's Copy, Cut and Paste while an input field holds
    // the focus: copySelection gives the field's selected text (UTF-8; empty when nothing
    // is selected or the field is a password's), and with `cut` removes it; pasteText
    // types text in, keeping line breaks in fields of more than one line. pasteText
    // returns true when the field changed.
    std::string copySelection(bool cut);
    bool pasteText(const std::string& text);
    // Selects the focused input field's whole text (Select All); false without one.
    bool selectAllText();
    // The right-click menu: the items of the ContextMenu the movie gave its root, after
    // its onSelect heard that the menu opens; choosing one runs the item's onSelect, as
    // a click does (it may open an address).
    std::vector<MovieMenuItem> openMenu();
    bool chooseMenuItem(size_t index);
    // Something that reacts to clicks is under the pointer (or held): windows show a
    // pointing hand, unless a clip's useHandCursor reads false.
    bool overButton() const;
    // Mouse.hide is in force: windows show no pointer over the movie.
    bool cursorHidden();
    // The stage pixel under `device`, a point of `area` as paint() lays the stage out
    // there with `mode`.
    QPointF stagePoint(const QRectF& area, ScaleMode mode, const QPointF& device) const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

} // namespace swf
