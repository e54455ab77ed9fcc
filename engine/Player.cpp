#include "engine/Player.h"

#include "engine/audio/Decoder.h"
#include "engine/audio/Mixer.h"
#include "engine/ScriptBitmapFilters.h"
#include "engine/ScriptSounds.h"
#include "engine/avm1/LoadHost.h"
#include "engine/avm1/Machine.h"
#include "engine/avm1/MouseObject.h"
#include "engine/avm1/SelectionObject.h"
#include "engine/avm1/SoundHost.h"
#include "engine/avm1/StageObject.h"
#include "engine/avm1/StringUtil.h"
#include "engine/NetStreams.h"
#include "engine/data/LocalFiles.h"
#include "engine/format/Container.h"
#include "engine/movie/ClipDrag.h"
#include "engine/movie/MovieDef.h"
#include "engine/movie/KeyInput.h"
#include "engine/movie/Mouse.h"
#include "engine/movie/MovieMenu.h"
#include "engine/movie/RenderTreeBuilder.h"
#include "engine/movie/StageTransform.h"
#include "engine/movie/TabFocus.h"
#include "engine/movie/Timeline.h"
#include "engine/render/BitmapImages.h"
#include "engine/render/Renderer.h"
#include "engine/video/VideoLibrary.h"

#include <QColor>
#include <QPen>
#include <QPainter>
#include <QPointF>
#include <QRectF>
#include <QSizeF>

#include <algorithm>
#include <cmath>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace swf {

namespace {

// The yellow rectangle round the object the keyboard gave the focus to, two stage
// pixels wide, drawn over the movie.
void paintFocusRectangle(QPainter& painter, const Rect& stageBox, const Matrix& toDevice)
{
    const Point a = toDevice.apply({double(stageBox.xMin), double(stageBox.yMin)});
    const Point b = toDevice.apply({double(stageBox.xMax), double(stageBox.yMax)});
    const double width = std::max(1.0, 2 * 20 * std::hypot(toDevice.a, toDevice.b));
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    QPen pen(QColor(255, 255, 0));
    pen.setWidthF(width);
    pen.setJoinStyle(Qt::MiterJoin);
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(QRectF(QPointF(std::min(a.x, b.x), std::min(a.y, b.y)), QPointF(std::max(a.x, b.x), std::max(a.y, b.y))));
    painter.restore();
}

// However long the clock stalled, one tick catches up at most this many frames.
constexpr int kMaxCatchUpFrames = 3;

LoadError loadErrorFor(const ContainerError& error)
{
    switch (error.reason()) {
    case ContainerError::Reason::NotAMovie: return LoadError(LoadError::Kind::NotAMovie, "not an SWF movie: " + std::string(error.what()));
    case ContainerError::Reason::TooLarge: return LoadError(LoadError::Kind::TooLarge, "the movie is too large: " + std::string(error.what()));
    case ContainerError::Reason::Corrupt: break;
    }
    return LoadError(LoadError::Kind::Corrupt, "the movie is damaged: " + std::string(error.what()));
}

std::vector<uint8_t> readWholeFile(const std::filesystem::path& path)
{
    std::error_code ec;
    if (std::filesystem::is_directory(path, ec))
        throw LoadError(LoadError::Kind::CannotRead, "cannot read " + path.string() + ": it is a folder");
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw LoadError(LoadError::Kind::CannotRead, "cannot read " + path.string() + ": " + std::strerror(errno));
    in.seekg(0, std::ios::end);
    std::streamoff size = in.tellg();
    in.seekg(0, std::ios::beg);
    if (size < 0)
        throw LoadError(LoadError::Kind::CannotRead, "cannot read " + path.string());
    if (static_cast<uint64_t>(size) > kMaxMovieBytes)
        throw LoadError(LoadError::Kind::TooLarge, "the file is larger than the " + std::to_string(kMaxMovieBytes >> 20) + " MiB limit");
    std::vector<uint8_t> bytes(static_cast<size_t>(size));
    if (!in.read(reinterpret_cast<char*>(bytes.data()), size))
        throw LoadError(LoadError::Kind::CannotRead, "cannot read " + path.string() + ": read failed");
    return bytes;
}

render::Quality toRenderQuality(RenderQuality quality)
{
    switch (quality) {
    case RenderQuality::Low: return render::Quality::Low;
    case RenderQuality::Medium: return render::Quality::Medium;
    case RenderQuality::High: return render::Quality::High;
    case RenderQuality::Best: return render::Quality::Best;
    }
    return render::Quality::High;
}

movie::StageScale toStageScale(ScaleMode mode)
{
    switch (mode) {
    case ScaleMode::ShowAll: return movie::StageScale::ShowAll;
    case ScaleMode::NoBorder: return movie::StageScale::NoBorder;
    case ScaleMode::ExactFit: return movie::StageScale::ExactFit;
    case ScaleMode::NoScale: return movie::StageScale::NoScale;
    }
    return movie::StageScale::ShowAll;
}

// The timelines with a stream that are on the display list now.
void collectStreamClips(const movie::ClipState& clip, std::vector<const void*>& out, int nesting)
{
    if (clip.timeline && clip.timeline->stream)
        out.push_back(&clip);
    if (nesting > 256)
        return;
    for (const movie::DisplayObject& child : clip.children) {
        if (child.clip)
            collectStreamClips(*child.clip, out, nesting + 1);
    }
}

} // namespace

// What scripts' loads reach: files in the movie's own folder tree, shared objects in
// the user's data folder, and the desktop's opener for web and mail addresses, each
// of these only in answer to the user's press or key.
class ScriptFiles : public avm1::LoadHost {
public:
    // `movieFile` empty: the movie came as bytes and may read no file and keep no
    // shared object.
    ScriptFiles(const std::filesystem::path& movieFile, std::function<void(const std::string&)> notice,
                std::function<void(const std::string&, const std::string&)> open,
                std::function<void(const std::string&, const std::string&)> fsCommand,
                std::function<void(const data::OutgoingRequest&)> requests)
        : notice_(std::move(notice)), open_(std::move(open)), fsCommand_(std::move(fsCommand)),
          requests_(std::move(requests))
    {
        if (!movieFile.empty()) {
            sandbox_.emplace(movieFile);
            store_.emplace(data::userDataHome(), movieFile);
        }
    }

    std::optional<std::vector<uint8_t>> readFile(const std::string& url) override
    {
        if (!sandbox_) {
            noticeOnce("a movie opened from memory reads no files; " + url + " was not loaded");
            return std::nullopt;
        }
        const data::LocalAccess access = sandbox_->resolve(url);
        if (!access.allowed) {
            noticeOnce("the movie may read only files in its own folder and below it: " + access.refusal);
            return std::nullopt;
        }
        return data::readLocalFile(access.path, kMaxFileBytes);
    }

    const data::SharedObjectStore* sharedObjects() override { return store_ ? &*store_ : nullptr; }

    void notice(const std::string& line) override
    {
        if (notice_)
            notice_(line);
    }

    void openUrl(const std::string& url, const std::string& target) override
    {
        const data::UrlKind kind = data::classifyUrl(url);
        if (kind != data::UrlKind::Web && kind != data::UrlKind::Mail)
            return;  // scripts' own schemes, local files and other protocols: ignored
        if (gestures_ <= 0) {
            if (!refusedOpen_) {
                refusedOpen_ = true;
                notice("the movie asked to open " + url + " without a click or key press; it was not opened");
            }
            return;
        }
        --gestures_;
        if (open_)
            open_(url, target);
    }

    void fsCommand(const std::string& command, const std::string& args) override
    {
        if (fsCommand_)
            fsCommand_(command, args);
    }

    void requestMade(const data::OutgoingRequest& request) override
    {
        if (requests_)
            requests_(request);
    }

    // A press or key of the user's: the scripts it runs may open one address.
    void grantGesture() { gestures_ = 1; }
    void endGesture() { gestures_ = 0; }

private:
    static constexpr size_t kMaxFileBytes = size_t{64} << 20;

    void noticeOnce(const std::string& line)
    {
        if (refusedRead_)
            return;
        refusedRead_ = true;
        notice(line);
    }

    std::optional<data::LocalSandbox> sandbox_;
    std::optional<data::SharedObjectStore> store_;
    std::function<void(const std::string&)> notice_;
    std::function<void(const std::string&, const std::string&)> open_;
    std::function<void(const std::string&, const std::string&)> fsCommand_;
    std::function<void(const data::OutgoingRequest&)> requests_;
    int gestures_ = 0;
    bool refusedRead_ = false;
    bool refusedOpen_ = false;
};

struct Player::Impl {
    std::shared_ptr<const movie::MovieDef> movie;
    MovieInfo info;
    std::unique_ptr<movie::TimelinePlayer> timeline;
    movie::ClipState root;
    bool loop = true;
    bool qualityToggled = false;
    // fscommand("quit") ends the movie as the standalone player closes: no frame runs after it.
    bool quit = false;
    std::chrono::nanoseconds clockDebt{0};
    std::function<void(const std::string&)> traceSink;
    std::function<void(const std::string&, const std::string&)> urlHook;
    std::function<void(const std::string&, const std::string&)> fsCommandHook;
    std::function<void(const data::OutgoingRequest&)> requestObserver;
    std::function<double()> wallClockMs;
    std::function<double(double)> zoneOffsetMs;
    std::function<void(Limit, const std::string&)> limitSink;
    std::set<Limit> limitsReported;  // for the movie loaded
    std::unique_ptr<render::Renderer> renderer;
    // The render tree last painted, for pictureChanged().
    std::optional<render::RenderNode> lastPicture;
    std::optional<Rect> lastFocusRect;  // where the focus rectangle was drawn last
    std::unique_ptr<render::BitmapImages> bitmaps;
    std::unique_ptr<video::VideoLibrary> videos;
    std::function<void(const std::string&)> noticeSink;
    std::vector<std::string> paintNotices;  // raised while a frame was drawn
    movie::MovieHooks hooks_;
    movie::MouseInput mouse;
    movie::KeyInput keys;
    std::optional<Point> pointer;  // stage twips, once the pointer has moved
    std::shared_ptr<audio::Mixer> mixer = std::make_shared<audio::Mixer>();
    bool audioClock = false;
    std::filesystem::path movieFile;  // where the movie came from, for files scripts load
    std::unique_ptr<ScriptSounds> scriptSounds;
    ScriptBitmapFilters bitmapFilters;
    std::unique_ptr<NetStreams> netStreams;
    std::unique_ptr<ScriptFiles> scriptFiles;
    QSizeF viewport;  // the player area in pixels, empty until the window says

    void startSound(const StartSoundDef& start)
    {
        // StartSound2 names an ActionScript 3 class, which this engine does not run.
        if (!start.className.empty())
            return;
        auto sound = movie->sounds.find(start.soundId);
        mixer->startSound(start.soundId, sound == movie->sounds.end() ? nullptr : sound->second, start.info);
    }

    // The frame the main timeline's stream has reached, or 0 without a stream that
    // is still sounding.
    int streamFrame() const
    {
        const auto& stream = movie->root.stream;
        int64_t position = stream ? mixer->streamPosition(&root) : -1;
        if (position < 0 || position >= static_cast<int64_t>(stream->pcm.frames()))
            return 0;
        int reached = 0;
        for (size_t i = 0; i < stream->frameStart.size(); ++i) {
            if (stream->frameStart[i] >= 0 && stream->frameStart[i] <= position)
                reached = static_cast<int>(i) + 1;
        }
        return reached;
    }

    // The movie's decoded bitmap characters, made when first drawn.
    render::BitmapImages* movieBitmaps()
    {
        if (!bitmaps && movie)
            bitmaps = std::make_unique<render::BitmapImages>(movie->bitmaps);
        return bitmaps.get();
    }

    // A fresh timeline player, script machine and main timeline before frame 1.
    void resetTimeline()
    {
        root = {};
        timeline = std::make_unique<movie::TimelinePlayer>(*movie, hooks_);
        timeline->setScriptsEnabled(!movie->isAs3());
        timeline->setLoop(loop);
        root = timeline->makeRoot();
        mouse.reset();
    }

    void start(std::shared_ptr<const movie::MovieDef> def)
    {
        // The renderer's caches and bitmaps belong to the movie being replaced.
        renderer.reset();
        bitmapFilters.forgetMovie();
        lastPicture.reset();
        bitmaps.reset();
        videos.reset();
        movie = std::move(def);
        info = {};
        info.version = movie->header.version;
        info.compression = movie->header.compression;
        info.declaredLength = movie->header.declaredLength;
        info.stage = movie->header.stage;
        info.frameRate = movie->header.frameRate;
        info.frameCount = movie->header.frameCount;
        info.background = movie->background;
        info.hasAs3 = movie->isAs3();

        movie::MovieHooks hooks;
        hooks.trace = [this](const std::string& line) {
            if (traceSink)
                traceSink(line);
        };
        scriptFiles = std::make_unique<ScriptFiles>(
            movieFile,
            [this](const std::string& line) {
                if (noticeSink)
                    noticeSink(line);
            },
            [this](const std::string& url, const std::string& target) {
                if (urlHook)
                    urlHook(url, target);
            },
            [this](const std::string& command, const std::string& args) {
                if (avm1::toLowerText(command) == "quit")
                    quit = true;
                if (fsCommandHook)
                    fsCommandHook(command, args);
            },
            [this](const data::OutgoingRequest& request) {
                if (requestObserver)
                    requestObserver(request);
            });
        hooks.loadHost = scriptFiles.get();
        hooks.bitmapFilterHost = &bitmapFilters;
        bitmapFilters.setBitmapSource([this]() -> const render::BitmapSource* { return movieBitmaps(); });
        hooks.getUrl = [this](const std::string& url, const std::string& target) { scriptFiles->openUrl(url, target); };
        hooks.toggleQuality = [this] { qualityToggled = !qualityToggled; };
        hooks.limitReached = [this](Limit limit, const std::string& message) { reportLimit(limit, message); };
        hooks.stopSounds = [this] { mixer->stopAll(); };
        scriptSounds = std::make_unique<ScriptSounds>(*movie, *mixer, movieFile, [this](const std::string& line) {
            if (noticeSink)
                noticeSink(line);
        });
        hooks.soundHost = scriptSounds.get();
        netStreams = std::make_unique<NetStreams>(mixer, movieFile, [this](const std::string& line) {
            if (noticeSink)
                noticeSink(line);
        });
        hooks.netStreamHost = netStreams.get();
        hooks.startSound = [this](const StartSoundDef& start) { startSound(start); };
        hooks.levelZeroReplaced = [this](const movie::MovieDef& replacement) {
            info.stage = replacement.header.stage;
            info.frameRate = replacement.header.frameRate;
            info.frameCount = replacement.header.frameCount;
            info.background = replacement.background;
            if (avm1::Machine* machine = timeline ? timeline->existingMachine() : nullptr) {
                if (avm1::StageObject* stage = avm1::stageObject(*machine))
                    stage->setMovieSize(info.stage.width() / kTwipsPerPixel, info.stage.height() / kTwipsPerPixel);
            }
        };
        hooks.machineStarted = [this](avm1::Machine& machine) {
            if (wallClockMs || zoneOffsetMs)
                machine.setCalendar({wallClockMs ? wallClockMs() - machine.now() : 0.0, zoneOffsetMs});
            if (avm1::StageObject* stage = avm1::stageObject(machine); stage && !viewport.isEmpty())
                stage->setViewport(machine, viewport.width(), viewport.height());
        };
        // A movie read from a file names itself by that file's full address.
        if (const std::string name = movieFile.string(); !name.empty()) {
            const bool address = name.starts_with("file:") || data::classifyUrl(name) != data::UrlKind::LocalPath;
            hooks.movieUrl = address ? name : data::fileUrl(movieFile);
        }
        hooks.streamFrame = [this](const movie::ClipState& clip, int frame) {
            mixer->streamFrame(&clip, clip.timeline->stream, frame);
        };
        mixer->stopAll();
        mixer->setPaused(false);
        if (noticeSink) {
            for (const std::string& notice : movie->notices)
                noticeSink(notice);
        }
        limitsReported.clear();
        hooks_ = std::move(hooks);
        resetTimeline();
        qualityToggled = false;
        quit = false;
        clockDebt = {};
    }

    void reportLimit(Limit limit, const std::string& message)
    {
        if (limitsReported.insert(limit).second && limitSink)
            limitSink(limit, message);
    }

    // The movie is ending: what it kept in shared objects goes to their files.
    void flushScriptData()
    {
        if (avm1::Machine* machine = timeline ? timeline->existingMachine() : nullptr)
            avm1::flushSharedObjects(*machine);
    }

    void clear()
    {
        flushScriptData();
        mixer->stopAll();
        renderer.reset();
        bitmapFilters.forgetMovie();
        lastPicture.reset();
        bitmaps.reset();
        videos.reset();
        // The display list first: its clips detach from the script machine the
        // timeline player owns.
        root = {};
        mouse.reset();
        timeline.reset();
        scriptSounds.reset();
        netStreams.reset();
        scriptFiles.reset();
        movie.reset();
        info = {};
        clockDebt = {};
    }
};

Player::Player() : impl_(std::make_unique<Impl>()) {}
Player::~Player()
{
    // The movie ends with the player: its shared objects are written as on unload.
    impl_->flushScriptData();
}

void Player::loadFile(const std::filesystem::path& path)
{
    unload();
    std::vector<uint8_t> bytes = readWholeFile(path);
    loadBytes(bytes, path.string());
}

void Player::loadBytes(std::span<const uint8_t> bytes, const std::string& url)
{
    unload();
    // Files that scripts load are looked for in the movie's folder tree.
    impl_->movieFile = url;
    try {
        impl_->start(movie::buildMovie(decodeMovie(bytes)));
    } catch (const ContainerError& error) {
        throw loadErrorFor(error);
    } catch (const FormatError& error) {
        throw LoadError(LoadError::Kind::Corrupt, "the movie is damaged: " + std::string(error.what()));
    } catch (const std::bad_alloc&) {
        throw LoadError(LoadError::Kind::TooLarge, "the movie needs more memory than is available");
    }
}

void Player::unload()
{
    impl_->clear();
}

bool Player::loaded() const
{
    return impl_->movie != nullptr;
}

const MovieInfo& Player::info() const
{
    return impl_->info;
}

int Player::frameCount() const
{
    // The count the header declares, as the movie states it; the timeline may hold
    // more or fewer frames than that, and plays what it holds.
    return loaded() ? impl_->info.frameCount : 0;
}

int Player::currentFrame() const
{
    return loaded() ? impl_->root.frame : 0;
}

bool Player::playing() const
{
    return loaded() && impl_->root.playing;
}

void Player::play()
{
    if (loaded()) {
        impl_->root.playing = true;
        impl_->mixer->setPaused(false);
    }
}

void Player::stop()
{
    if (loaded()) {
        impl_->root.playing = false;
        impl_->mixer->setPaused(true);
    }
}

void Player::seek(int frame)
{
    if (!loaded())
        return;
    // The main timeline's own goto, as a script's gotoAndPlay or gotoAndStop would do
    // it: script state lives on, only the landing frame's scripts run. Whether the
    // movie plays on is the caller's to say.
    bool wasPlaying = impl_->root.playing;
    impl_->timeline->gotoFrame(impl_->root, {}, frame, true);
    impl_->timeline->syncBoundFields(impl_->root);
    impl_->root.playing = wasPlaying;
    impl_->mouse.refresh(impl_->root, *impl_->timeline);
}

bool Player::loop() const
{
    return impl_->loop;
}

void Player::setLoop(bool loop)
{
    impl_->loop = loop;
    if (impl_->timeline)
        impl_->timeline->setLoop(loop);
}

void Player::advance()
{
    if (!loaded() || impl_->quit)
        return;
    impl_->timeline->step(impl_->root);
    // A frame that took the focused object away (or hid it) takes the focus with it.
    if (avm1::Machine* machine = impl_->timeline->existingMachine())
        avm1::settleFocus(*machine);
    // Streams of timelines that did not move on this frame (stopped, removed) stop.
    if (impl_->mixer->hasStreams()) {
        std::vector<const void*> live;
        collectStreamClips(impl_->root, live, 0);
        impl_->mixer->endStep(live);
    }
    // A dragged clip keeps to the pointer whatever the frame did to it or its parent.
    if (impl_->pointer)
        movie::followDrag(impl_->root, *impl_->timeline);
    // The frame may have moved a button under (or from under) a pointer standing still.
    impl_->mouse.refresh(impl_->root, *impl_->timeline);
}

bool Player::tick(std::chrono::nanoseconds elapsed)
{
    if (!loaded() || impl_->quit || elapsed.count() <= 0)
        return false;
    double rate = std::clamp(impl_->info.frameRate, 1.0, 1000.0);
    auto frameTime = std::chrono::nanoseconds(static_cast<int64_t>(1e9 / rate));
    if (impl_->audioClock && impl_->root.playing) {
        if (int reached = impl_->streamFrame(); reached > 0) {
            // The sound leads: step to the frame it has reached, however many that is
            // (the frames between are not drawn), or wait for it.
            impl_->clockDebt = {};
            int frames = std::min(reached - impl_->root.frame, impl_->root.timeline->frameCount());
            for (int i = 0; i < frames; ++i)
                advance();
            return frames > 0;
        }
    }
    impl_->clockDebt += elapsed;
    int frames = static_cast<int>(impl_->clockDebt / frameTime);
    if (frames > kMaxCatchUpFrames) {
        // A long stall is not made up for: the movie simply resumes.
        impl_->reportLimit(Limit::ClockCatchUp, "the clock fell " + std::to_string(frames) + " frames behind; at most " +
                           std::to_string(kMaxCatchUpFrames) + " are caught up in one tick");
        frames = kMaxCatchUpFrames;
        impl_->clockDebt = {};
    } else {
        impl_->clockDebt -= frameTime * frames;
    }
    for (int i = 0; i < frames; ++i)
        advance();
    return frames > 0;
}

std::shared_ptr<audio::Mixer> Player::mixer() const
{
    return impl_->mixer;
}

void Player::renderSound(std::span<int16_t> out)
{
    impl_->mixer->mix(out);
}

void Player::setAudioClock(bool enabled)
{
    impl_->audioClock = enabled;
}

void Player::setTraceSink(std::function<void(const std::string&)> sink)
{
    impl_->traceSink = std::move(sink);
}

void Player::setLimitSink(std::function<void(Limit, const std::string&)> sink)
{
    impl_->limitSink = std::move(sink);
}

void Player::setNoticeSink(std::function<void(const std::string&)> sink)
{
    impl_->noticeSink = std::move(sink);
}

void Player::setUrlHook(std::function<void(const std::string&, const std::string&)> hook)
{
    impl_->urlHook = std::move(hook);
}

void Player::setRequestObserver(std::function<void(const data::OutgoingRequest&)> observer)
{
    impl_->requestObserver = std::move(observer);
}

void Player::setCalendar(std::function<double()> wallClockMs, std::function<double(double)> zoneOffsetMs)
{
    impl_->wallClockMs = std::move(wallClockMs);
    impl_->zoneOffsetMs = std::move(zoneOffsetMs);
}

void Player::setFsCommandHook(std::function<void(const std::string&, const std::string&)> hook)
{
    impl_->fsCommandHook = std::move(hook);
}

void Player::paint(QPainter& painter, const QRectF& area, ScaleMode mode, RenderQuality quality)
{
    Rgba bg = loaded() ? impl_->info.background : Rgba{255, 255, 255, 255};
    painter.save();
    painter.fillRect(area, QColor(bg.r, bg.g, bg.b));
    if (loaded()) {
        // A clip round the whole device changes no pixel, but a clipped painter keeps the
        // renderer from filling spans into the image itself: only a smaller area clips.
        const QRectF device(0, 0, painter.device()->width(), painter.device()->height());
        if (painter.hasClipping() || !painter.transform().isIdentity() || !area.contains(device))
            painter.setClipRect(area, Qt::IntersectClip);
        Matrix toDevice = movie::stageToDevice(impl_->info.stage, {area.x(), area.y(), area.width(), area.height()},
                                               toStageScale(mode));
        if (impl_->qualityToggled)
            quality = quality >= RenderQuality::High ? RenderQuality::Low : RenderQuality::High;
        if (!impl_->renderer) {
            impl_->renderer = std::make_unique<render::Renderer>();
            impl_->renderer->setBitmapSource(impl_->movieBitmaps());
            // Frames are drawn on a thread of Qt's pool (see Renderer::render): what a
            // decoder has to say waits for the drawing to end and then goes out here.
            impl_->videos = std::make_unique<video::VideoLibrary>([impl = impl_.get()](const std::string& line) {
                impl->paintNotices.push_back(line);
            });
            impl_->renderer->setVideoSource(impl_->videos.get());
        }
        render::RenderNode picture = movie::buildRenderTree(impl_->root);
        impl_->renderer->render(painter, picture, toDevice, toRenderQuality(quality));
        std::vector<std::string> notices = std::move(impl_->paintNotices);
        impl_->paintNotices.clear();
        if (impl_->noticeSink) {
            for (const std::string& line : notices)
                impl_->noticeSink(line);
        }
        impl_->lastPicture = std::move(picture);
        impl_->lastFocusRect = movie::focusRectangle(impl_->root, *impl_->timeline);
        if (impl_->lastFocusRect)
            paintFocusRectangle(painter, *impl_->lastFocusRect, toDevice);
    }
    painter.restore();
}

bool Player::pictureChanged()
{
    if (!loaded())
        return false;
    return !impl_->lastPicture || !render::drawsSame(*impl_->lastPicture, movie::buildRenderTree(impl_->root))
        || impl_->lastFocusRect != movie::focusRectangle(impl_->root, *impl_->timeline);
}

bool Player::mouseMove(const QPointF& stagePixels)
{
    if (!loaded())
        return false;
    const Rect& stage = impl_->info.stage;
    Point twips{stagePixels.x() * kTwipsPerPixel + stage.xMin, stagePixels.y() * kTwipsPerPixel + stage.yMin};
    impl_->pointer = twips;
    impl_->timeline->setPointer(twips);
    // A window says the pointer left it with a point far off the stage: a dragged clip
    // stays where it was last seen rather than fly off after it.
    constexpr double kOffStage = 1e7;
    const bool nowhere = std::abs(stagePixels.x()) > kOffStage || std::abs(stagePixels.y()) > kOffStage;
    const bool dragged = !nowhere && movie::followDrag(impl_->root, *impl_->timeline);
    return impl_->mouse.move(impl_->root, *impl_->timeline, twips) || dragged;
}

bool Player::mousePress()
{
    if (!loaded())
        return false;
    // The press, and the release that ends it, may open one address between them.
    impl_->scriptFiles->grantGesture();
    movie::pointerPressed(*impl_->timeline);
    // Away from buttons, a press on an input field gives it the keyboard focus.
    const bool overButton = impl_->mouse.overActive();
    bool changed = impl_->mouse.press(impl_->root, *impl_->timeline);
    if (!overButton && impl_->pointer)
        changed |= movie::focusFieldAt(impl_->root, *impl_->timeline, *impl_->pointer);
    return changed;
}

bool Player::mouseRelease()
{
    if (!loaded())
        return false;
    const bool changed = impl_->mouse.release(impl_->root, *impl_->timeline);
    impl_->scriptFiles->endGesture();
    return changed;
}

void Player::setViewportSize(double width, double height)
{
    impl_->viewport = QSizeF(width, height);
    if (!loaded())
        return;
    avm1::Machine* machine = impl_->timeline->existingMachine();
    avm1::StageObject* stage = machine ? avm1::stageObject(*machine) : nullptr;
    if (!stage)
        return;
    impl_->timeline->runQueuedScripts(impl_->root);
    try {
        stage->setViewport(*machine, width, height);
    } catch (const avm1::ScriptThrow& thrown) {
        machine->reportUncaught(thrown.value);
    } catch (const avm1::ScriptAbort&) {
    }
    impl_->timeline->runQueuedScripts(impl_->root);
    impl_->timeline->syncBoundFields(impl_->root);
}

bool Player::keyPress(int keyCode, char32_t character)
{
    if (!loaded())
        return false;
    // A key is the user's doing as a click is: the press, and the release that ends
    // it, may open one address between them.
    impl_->scriptFiles->grantGesture();
    return impl_->keys.press(impl_->root, *impl_->timeline, keyCode, character);
}

bool Player::keyRelease(int keyCode, char32_t character)
{
    if (!loaded())
        return false;
    const bool taken = impl_->keys.release(impl_->root, *impl_->timeline, keyCode, character);
    impl_->scriptFiles->endGesture();
    return taken;
}

bool Player::commitText(const std::string& text)
{
    return loaded() && impl_->keys.commit(impl_->root, *impl_->timeline, text);
}

std::string Player::copySelection(bool cut)
{
    return loaded() ? impl_->keys.selectedText(impl_->root, *impl_->timeline, cut) : std::string();
}

bool Player::selectAllText()
{
    return loaded() && impl_->keys.selectAll(*impl_->timeline);
}

bool Player::pasteText(const std::string& text)
{
    return loaded() && impl_->keys.paste(impl_->root, *impl_->timeline, text);
}

std::vector<MovieMenuItem> Player::openMenu()
{
    std::vector<MovieMenuItem> out;
    if (!loaded())
        return out;
    for (const movie::MenuItem& item : movie::openMovieMenu(impl_->root, *impl_->timeline))
        out.push_back({item.caption, item.separatorBefore, item.enabled, item.index});
    return out;
}

bool Player::chooseMenuItem(size_t index)
{
    if (!loaded())
        return false;
    impl_->scriptFiles->grantGesture();
    const bool chosen = movie::chooseMovieMenuItem(impl_->root, *impl_->timeline, index);
    impl_->scriptFiles->endGesture();
    return chosen;
}

bool Player::typingFocused()
{
    return loaded() && impl_->keys.typingFocused(*impl_->timeline);
}

bool Player::wantsKey(int keyCode, char32_t character)
{
    return loaded() && impl_->keys.wants(impl_->root, *impl_->timeline, keyCode, character);
}

bool Player::cursorHidden()
{
    avm1::Machine* machine = loaded() ? impl_->timeline->existingMachine() : nullptr;
    avm1::MouseObject* mouse = machine ? avm1::mouseObject(*machine) : nullptr;
    return mouse && mouse->hidden;
}

bool Player::overButton() const
{
    return loaded() && impl_->mouse.showsHand(impl_->root, *impl_->timeline);
}

QPointF Player::stagePoint(const QRectF& area, ScaleMode mode, const QPointF& device) const
{
    if (!loaded())
        return device;
    const Rect& stage = impl_->info.stage;
    Matrix toDevice = movie::stageToDevice(stage, {area.x(), area.y(), area.width(), area.height()}, toStageScale(mode));
    if (!toDevice.invertible())
        return {};
    Point twips = toDevice.inverted().apply({device.x(), device.y()});
    return {(twips.x - stage.xMin) / kTwipsPerPixel, (twips.y - stage.yMin) / kTwipsPerPixel};
}

} // namespace swf
