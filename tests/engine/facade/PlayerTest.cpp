// The Player facade: loading and its errors, stepping, scripts, seeking, the clock,
// painting.

#include "engine/Player.h"
#include "engine/movie/StageTransform.h"
#include "tests/engine/facade/TracedPlayer.h"
#include "tests/support/SwfWriter.h"

#include <QImage>
#include <QPainter>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace swf {
namespace {

using test::ActionBuilder;
using test::SwfWriter;
using test::TagStream;

using test::Traced;

// Frame n traces "frame n".
SwfWriter tracingFrames(int frames, test::MovieOptions options = {})
{
    SwfWriter w(options);
    for (int f = 1; f <= frames; ++f)
        w.doAction(ActionBuilder().trace("frame " + std::to_string(f))).showFrame();
    return w;
}

using Lines = std::vector<std::string>;

LoadError::Kind loadErrorKind(const std::function<void(Player&)>& load)
{
    Player player;
    try {
        load(player);
    } catch (const LoadError& e) {
        EXPECT_FALSE(player.loaded());
        EXPECT_FALSE(std::string(e.what()).empty());
        return e.kind();
    }
    ADD_FAILURE() << "loaded without error";
    return LoadError::Kind::Corrupt;
}

TEST(PlayerLoad, SaysWhyAMovieCannotBeLoaded)
{
    auto dir = std::filesystem::temp_directory_path();
    auto text = dir / "lanfan-player-test-not-a-movie.txt";
    std::ofstream(text) << "just some words";
    EXPECT_EQ(loadErrorKind([&](Player& p) { p.loadFile(dir / "lanfan-no-such-file.swf"); }), LoadError::Kind::CannotRead);
    EXPECT_EQ(loadErrorKind([&](Player& p) { p.loadFile(dir); }), LoadError::Kind::CannotRead);
    EXPECT_EQ(loadErrorKind([&](Player& p) { p.loadFile(text); }), LoadError::Kind::NotAMovie);
    std::filesystem::remove(text);

    auto bytes = tracingFrames(1).build();
    bytes.resize(9);
    EXPECT_EQ(loadErrorKind([&](Player& p) { p.loadBytes(bytes); }), LoadError::Kind::Corrupt);
}

TEST(PlayerLoad, AFailedLoadLeavesNoMovie)
{
    Player player;
    player.loadBytes(tracingFrames(2).build());
    EXPECT_THROW(player.loadBytes(std::vector<uint8_t>{'x'}), LoadError);
    EXPECT_FALSE(player.loaded());
    EXPECT_EQ(player.frameCount(), 0);
    EXPECT_EQ(player.currentFrame(), 0);
    EXPECT_FALSE(player.playing());
}

TEST(PlayerLoad, InfoComesFromTheHeaderAndTags)
{
    test::MovieOptions options;
    options.version = 8;
    options.stage = {0, 6400, 0, 4800};
    options.frameRate = 12;
    SwfWriter w(options);
    w.setBackgroundColor({0x12, 0x34, 0x56, 255}).showFrame().showFrame();
    Player player;
    player.loadBytes(w.build(Compression::Lzma));
    const MovieInfo& info = player.info();
    EXPECT_EQ(info.version, 8);
    EXPECT_EQ(info.compression, Compression::Lzma);
    EXPECT_EQ(info.stage.width(), 6400);
    EXPECT_EQ(info.frameRate, 12);
    EXPECT_EQ(info.frameCount, 2);
    EXPECT_EQ(info.background, (Rgba{0x12, 0x34, 0x56, 255}));
    EXPECT_FALSE(info.hasAs3);
    EXPECT_EQ(player.frameCount(), 2);
}

TEST(PlayerStepping, FirstAdvanceEntersFrameOneAndTheMovieLoops)
{
    Traced t(tracingFrames(3), Compression::Zlib);
    EXPECT_EQ(t.player.currentFrame(), 0);
    EXPECT_TRUE(t.player.playing());
    t.advance(5);
    EXPECT_EQ(t.lines, (Lines{"frame 1", "frame 2", "frame 3", "frame 1", "frame 2"}));
    EXPECT_EQ(t.player.currentFrame(), 2);
}

TEST(PlayerStepping, WithoutLoopTheMovieStopsOnItsLastFrame)
{
    Traced t(tracingFrames(2));
    t.player.setLoop(false);
    t.advance(4);
    EXPECT_EQ(t.lines, (Lines{"frame 1", "frame 2"}));
    EXPECT_EQ(t.player.currentFrame(), 2);
    EXPECT_FALSE(t.player.playing());
}

// Loading stops at a tag the timeline cannot be built from, and at the end of a file
// cut short; the frames before play, and the playhead then waits at the last of them
// (as for frames still to arrive) instead of looping over frames that never came.
TEST(PlayerStepping, AMovieThatStopsLoadingWaitsAtItsLastLoadedFrame)
{
    // A placement whose key-press handler has no key code.
    const std::vector<uint8_t> keyPressWithoutKey = {0x82, 1, 0, 1, 0,        // flags, depth, character
                                                     0, 0, 0, 0, 2, 0,        // reserved, all events
                                                     0, 0, 2, 0, 0, 0, 0, 0,  // key press, size 0
                                                     0, 0, 0, 0};
    // Scene data claiming far more scenes than its bytes hold.
    const std::vector<uint8_t> hugeSceneCount = {0xF0, 0xFF, 0xFF, 0xFF, 0x0F, 0x00, 0x41, 0x00};
    struct Case {
        const char* name;
        uint16_t code;
        std::vector<uint8_t> body;
    };
    for (const Case& c : {Case{"key press without key", 26, keyPressWithoutKey},
                          Case{"scene count", 86, hugeSceneCount}}) {
        SwfWriter w;
        w.defineEmptyShape(1);
        w.doAction(ActionBuilder().trace("frame 1")).showFrame();
        w.tag(c.code, c.body).doAction(ActionBuilder().trace("frame 2")).showFrame();
        w.doAction(ActionBuilder().trace("frame 3")).showFrame();
        Traced t(w);
        t.advance(5);
        EXPECT_EQ(t.lines, (Lines{"frame 1"})) << c.name;
        EXPECT_EQ(t.player.currentFrame(), 1) << c.name;
    }

    // A file cut off inside its third frame.
    std::vector<uint8_t> bytes = tracingFrames(4).build();
    SwfWriter threeFrames = tracingFrames(3);
    bytes.resize(threeFrames.build().size() - 6);
    Player player;
    player.loadBytes(bytes);
    Lines lines;
    player.setTraceSink([&](const std::string& line) { lines.push_back(line); });
    for (int i = 0; i < 6; ++i)
        player.advance();
    EXPECT_EQ(lines, (Lines{"frame 1", "frame 2"}));
    EXPECT_EQ(player.currentFrame(), 2);
    EXPECT_TRUE(player.playing());

    // A header whose length ends the movie after its second frame, before its End
    // tag: what follows is not part of the movie.
    test::MovieOptions options;
    options.frameCount = 4;
    options.declaredLength = static_cast<uint32_t>(tracingFrames(2).build().size() - 2);
    Traced cut(tracingFrames(4, options));
    cut.advance(6);
    EXPECT_EQ(cut.lines, (Lines{"frame 1", "frame 2"}));
    EXPECT_EQ(cut.player.currentFrame(), 2);
}

TEST(PlayerScripts, StopHoldsTheFrameUntilPlay)
{
    SwfWriter w;
    w.doAction(ActionBuilder().trace("one")).showFrame();
    w.doAction(ActionBuilder().trace("two").stop()).showFrame();
    w.doAction(ActionBuilder().trace("three")).showFrame();
    Traced t(w);
    t.advance(5);
    EXPECT_EQ(t.lines, (Lines{"one", "two"}));
    EXPECT_EQ(t.player.currentFrame(), 2);
    EXPECT_FALSE(t.player.playing());
    t.player.play();
    t.advance();
    EXPECT_EQ(t.lines.back(), "three");
}

TEST(PlayerScripts, GotoRunsTheTargetFramesScriptAfterTheCurrentOne)
{
    SwfWriter w;
    w.doAction(ActionBuilder().trace("one")).showFrame();
    w.doAction(ActionBuilder().gotoFrame(3).trace("after goto")).showFrame();
    w.showFrame();
    w.doAction(ActionBuilder().trace("four").stop()).showFrame();
    Traced t(w);
    t.advance(2);
    EXPECT_EQ(t.lines, (Lines{"one", "after goto", "four"}));
    EXPECT_EQ(t.player.currentFrame(), 4);
}

TEST(PlayerScripts, AGotoPastTheLastFrameStaysPut)
{
    // gotoAndStop(999) in a three-frame movie: no jump, the last frame's script does not
    // run, and the stop still holds.
    SwfWriter w;
    w.showFrame();
    w.doAction(ActionBuilder().gotoFrame(998).stop().trace("two")).showFrame();
    w.doAction(ActionBuilder().trace("three")).showFrame();
    Traced t(w);
    t.advance(3);
    EXPECT_EQ(t.lines, (Lines{"two"}));
    EXPECT_EQ(t.player.currentFrame(), 2);
}

TEST(PlayerScripts, LabelsAndPrevNext)
{
    SwfWriter w;
    w.doAction(ActionBuilder().gotoLabel("Target")).showFrame();
    w.doAction(ActionBuilder().trace("skipped")).showFrame();
    w.frameLabel("target").doAction(ActionBuilder().trace("labelled").prevFrame()).showFrame();
    Traced t(w);
    t.advance();
    EXPECT_EQ(t.lines, (Lines{"labelled", "skipped"}));
    EXPECT_EQ(t.player.currentFrame(), 2);
    EXPECT_FALSE(t.player.playing()) << "prevFrame stops";
}

TEST(PlayerScripts, NestedClipsFirstFrameScriptRunsBeforeItsParentsLaterOne)
{
    SwfWriter w;
    TagStream sprite;
    sprite.doAction(ActionBuilder().trace("child")).showFrame();
    w.defineSprite(7, 1, sprite);
    test::Place place;
    place.depth = 1;
    place.characterId = 7;
    w.placeObject2(place).doAction(ActionBuilder().trace("parent")).showFrame();
    Traced t(w);
    t.advance();
    EXPECT_EQ(t.lines, (Lines{"child", "parent"}));
}

TEST(PlayerScripts, OnLaterFramesChildrenStepBeforeTheirParent)
{
    // Placed on frame 1, the child runs its frame 1 there; on frame 2 its own frame 2
    // comes before its parent's.
    SwfWriter w;
    TagStream sprite;
    sprite.doAction(ActionBuilder().trace("child 1")).showFrame();
    sprite.doAction(ActionBuilder().trace("child 2").stop()).showFrame();
    w.defineSprite(7, 2, sprite);
    test::Place place;
    place.depth = 1;
    place.characterId = 7;
    w.doAction(ActionBuilder().trace("root 1")).placeObject2(place).showFrame();
    w.doAction(ActionBuilder().trace("root 2").stop()).showFrame();
    Traced t(w);
    t.advance(3);
    EXPECT_EQ(t.lines, (Lines{"root 1", "child 1", "child 2", "root 2"}));
}

TEST(PlayerScripts, TwoFramesJumpingToEachOtherDoNotHang)
{
    SwfWriter w;
    w.doAction(ActionBuilder().trace("a").gotoFrame(1)).showFrame();
    w.doAction(ActionBuilder().trace("b").gotoFrame(0)).showFrame();
    Traced t(w);
    t.advance();
    EXPECT_GT(t.lines.size(), 2u);
    EXPECT_LT(t.lines.size(), 10000u);
    t.advance();  // and the movie goes on
}

TEST(PlayerScripts, GetUrlReachesTheHookOnlyForAPress)
{
    // A frame script runs on its own, not in answer to the user: the address is not
    // opened, and the movie is told about once (LocalLoadingTest has the press).
    SwfWriter w;
    w.doAction(ActionBuilder().getUrl("http://example.com/", "_self").getUrl("http://example.com/2", "_self")).showFrame();
    Player player;
    player.loadBytes(w.build());
    std::string seen;
    std::vector<std::string> notices;
    player.setUrlHook([&](const std::string& url, const std::string& target) { seen = url + " " + target; });
    player.setNoticeSink([&](const std::string& line) { notices.push_back(line); });
    player.advance();
    EXPECT_EQ(seen, "");
    EXPECT_EQ(notices.size(), 1u);
}

TEST(PlayerScripts, ActionScript3MoviesPlayTheirTimelineWithoutScripts)
{
    SwfWriter w;
    w.fileAttributes(true);
    w.doAction(ActionBuilder().trace("must not run").stop()).showFrame().showFrame();
    Traced t(w);
    EXPECT_TRUE(t.player.info().hasAs3);
    t.advance(2);
    EXPECT_TRUE(t.lines.empty());
    EXPECT_EQ(t.player.currentFrame(), 2);
}

TEST(PlayerSeek, ClampsKeepsPlayingStateAndRunsTheFramesScript)
{
    Traced t(tracingFrames(5));
    t.player.seek(4);
    EXPECT_EQ(t.player.currentFrame(), 4);
    EXPECT_EQ(t.lines, (Lines{"frame 4"}));
    t.player.stop();
    t.player.seek(0);
    EXPECT_EQ(t.player.currentFrame(), 1);
    EXPECT_FALSE(t.player.playing());
    t.player.seek(99);
    EXPECT_EQ(t.player.currentFrame(), 5);
    t.player.play();
    t.advance();
    EXPECT_EQ(t.player.currentFrame(), 1);
}

TEST(PlayerClock, StepsAtTheFrameRateWithBoundedCatchUp)
{
    test::MovieOptions options;
    options.frameRate = 10;
    Traced t(tracingFrames(100, options));
    using std::chrono::milliseconds;
    EXPECT_FALSE(t.player.tick(milliseconds(60)));
    EXPECT_TRUE(t.player.tick(milliseconds(60)));  // 120 ms: one frame, 20 ms carried
    EXPECT_EQ(t.player.currentFrame(), 1);
    EXPECT_TRUE(t.player.tick(milliseconds(80)));
    EXPECT_EQ(t.player.currentFrame(), 2);
    t.player.tick(std::chrono::seconds(30));
    EXPECT_LE(t.player.currentFrame(), 5) << "a stall is not made up frame by frame";
    EXPECT_GT(t.player.currentFrame(), 2);
}

TEST(PlayerPaint, FillsTheWholeAreaWithTheBackground)
{
    SwfWriter w;
    w.setBackgroundColor({200, 10, 20, 255}).showFrame();
    Player player;
    player.loadBytes(w.build());
    player.advance();
    QImage image(300, 100, QImage::Format_ARGB32);
    image.fill(Qt::black);
    {
        QPainter painter(&image);
        player.paint(painter, QRectF(0, 0, 300, 100), ScaleMode::ShowAll, RenderQuality::High);
    }
    for (QPoint p : {QPoint(0, 0), QPoint(299, 99), QPoint(150, 50), QPoint(5, 95)})
        EXPECT_EQ(image.pixel(p), qRgb(200, 10, 20)) << p.x() << "," << p.y();
}

TEST(StageTransform, EachScaleModePlacesTheStage)
{
    Rect stage{0, 400 * 20, 0, 200 * 20};  // 400 x 200 pixels
    movie::DeviceArea area{10, 0, 400, 400};
    auto corners = [&](movie::StageScale scale) {
        Matrix m = movie::stageToDevice(stage, area, scale);
        Point tl = m.apply({0, 0});
        Point br = m.apply({400 * 20, 200 * 20});
        return std::vector<double>{tl.x, tl.y, br.x, br.y};
    };
    EXPECT_EQ(corners(movie::StageScale::ShowAll), (std::vector<double>{10, 100, 410, 300}));
    EXPECT_EQ(corners(movie::StageScale::NoBorder), (std::vector<double>{-190, 0, 610, 400}));
    EXPECT_EQ(corners(movie::StageScale::ExactFit), (std::vector<double>{10, 0, 410, 400}));
    EXPECT_EQ(corners(movie::StageScale::NoScale), (std::vector<double>{10, 100, 410, 300}));
    Matrix offsetStage = movie::stageToDevice({200, 200 + 8000, -400, -400 + 4000}, area, movie::StageScale::ShowAll);
    Point origin = offsetStage.apply({200, -400});
    EXPECT_EQ(origin.x, 10);
    EXPECT_EQ(origin.y, 100);
}

} // namespace
} // namespace swf
