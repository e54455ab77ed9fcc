// Movies with embedded video, played and painted through the engine's facade: each
// frame shows the picture an independent decoder makes of the same stream, whether the
// frame was played to or reached by a seek.

#include "engine/Player.h"
#include "tests/engine/video/VideoFixture.h"

#include <QImage>
#include <QPainter>

#include <cmath>

#include <gtest/gtest.h>

using namespace lanfan::test;

namespace {

constexpr int kWidth = 96;
constexpr int kHeight = 64;
constexpr int kFrames = 30;

const EncodedStream& h263Stream()
{
    static const EncodedStream stream = encodeTestStream("flv", 2, kWidth, kHeight, kFrames, 10);
    return stream;
}

// A movie the stream's size whose frame n (from 0) places picture n at the origin.
// `pictureAt(n)` picks the VideoFrame data of frame n.
std::vector<uint8_t> videoMovie(const EncodedStream& stream,
                                const std::function<std::vector<uint8_t>(int)>& pictureAt = {})
{
    swf::test::SwfWriter movie(videoMovieOptions(kWidth, kHeight));
    movie.tag(60, defineVideoStreamBody(stream, 1, 0));
    for (int n = 0; n < kFrames; ++n) {
        movie.tag(61, videoFrameBody(1, static_cast<uint16_t>(n), pictureAt ? pictureAt(n) : stream.packets[size_t(n)]),
                  true);
        swf::test::Place place;
        place.depth = 1;
        place.ratio = static_cast<uint16_t>(n);
        if (n == 0)
            place.characterId = 1;
        else
            place.move = true;
        movie.placeObject2(place);
        movie.showFrame();
    }
    return movie.build();
}

QImage paint(swf::Player& player)
{
    QImage image(kWidth, kHeight, QImage::Format_ARGB32_Premultiplied);
    QPainter painter(&image);
    player.paint(painter, QRectF(0, 0, kWidth, kHeight), swf::ScaleMode::ShowAll, swf::RenderQuality::High);
    return image;
}

class VideoMovieTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!haveFfmpeg())
            GTEST_SKIP() << "ffmpeg is not installed; these tests need it to make their streams";
        ASSERT_EQ(h263Stream().packets.size(), size_t(kFrames));
        ASSERT_EQ(h263Stream().reference.size(), size_t(kFrames));
    }
};

TEST_F(VideoMovieTest, PlayedFramesShowTheirPictures)
{
    swf::Player player;
    player.loadBytes(videoMovie(h263Stream()));
    for (int n = 0; n < kFrames; ++n) {
        player.advance();
        ASSERT_EQ(player.currentFrame(), n + 1);
        EXPECT_GE(psnr(paint(player), h263Stream().reference[size_t(n)]), 30.0) << "frame " << n + 1;
    }
}

TEST_F(VideoMovieTest, SeekingShowsWhatPlayingShows)
{
    swf::Player played;
    played.loadBytes(videoMovie(h263Stream()));
    std::vector<QImage> expected;
    for (int n = 0; n < kFrames; ++n) {
        played.advance();
        expected.push_back(paint(played));
    }
    swf::Player sought;
    sought.loadBytes(videoMovie(h263Stream()));
    sought.advance();
    // Forward past key frames, back, and scrubbing one frame at a time both ways.
    for (int frame : {23, 12, 13, 14, 15, 2, 30, 29, 28, 11, 1}) {
        sought.seek(frame);
        ASSERT_EQ(sought.currentFrame(), frame);
        EXPECT_EQ(paint(sought), expected[size_t(frame - 1)]) << "frame " << frame;
        EXPECT_GE(psnr(paint(sought), h263Stream().reference[size_t(frame - 1)]), 30.0) << "frame " << frame;
    }
}

TEST_F(VideoMovieTest, ADamagedPictureLeavesTheLastGoodOneAndANotice)
{
    const std::vector<uint8_t> garbage(64, 0xa5);
    swf::Player player;
    std::vector<std::string> notices;
    player.setNoticeSink([&notices](const std::string& line) { notices.push_back(line); });
    player.loadBytes(videoMovie(h263Stream(), [&](int n) { return n == 4 ? garbage : h263Stream().packets[size_t(n)]; }));
    QImage fourth;
    for (int n = 0; n < 5; ++n) {
        player.advance();
        if (n == 3)
            fourth = paint(player);
    }
    EXPECT_EQ(paint(player), fourth);
    ASSERT_EQ(notices.size(), 1u);
    EXPECT_NE(notices[0].find("frame 4"), std::string::npos) << notices[0];
    // Playing on to the next key frame shows its picture again.
    for (int n = 5; n <= 10; ++n)
        player.advance();
    EXPECT_GE(psnr(paint(player), h263Stream().reference[10]), 30.0);
}

TEST_F(VideoMovieTest, AMovieFfmpegWroteShowsWhatFfmpegDecodes)
{
    static const EncodedMovie encoded = encodeTestMovie(kWidth, kHeight, 24, 12);
    ASSERT_FALSE(encoded.swf.empty());
    ASSERT_EQ(encoded.reference.size(), 24u);
    swf::Player played;
    played.loadBytes(encoded.swf);
    std::vector<QImage> shown;
    for (int n = 0; n < 24; ++n) {
        played.advance();
        shown.push_back(paint(played));
        EXPECT_GE(psnr(shown.back(), encoded.reference[size_t(n)]), 30.0) << "frame " << n + 1;
    }
    swf::Player sought;
    sought.loadBytes(encoded.swf);
    sought.advance();
    for (int frame : {12, 24, 6, 7, 20}) {  // 11 after the key frame, the last, and back
        sought.seek(frame);
        EXPECT_EQ(paint(sought), shown[size_t(frame - 1)]) << "frame " << frame;
    }
}

TEST_F(VideoMovieTest, AVideoInsideASpriteTakesItsPicturesFromTheSpriteTimeline)
{
    // The sprite places the video and carries its pictures; the main timeline holds the
    // sprite at (10, 5) pixels.
    const EncodedStream& stream = h263Stream();
    swf::test::TagStream sprite;
    for (int n = 0; n < 5; ++n) {
        sprite.tag(61, videoFrameBody(1, static_cast<uint16_t>(n), stream.packets[size_t(n)]), true);
        swf::test::Place place;
        place.ratio = static_cast<uint16_t>(n);
        if (n == 0)
            place.characterId = 1;
        else
            place.move = true;
        sprite.placeObject2(place);
        sprite.showFrame();
    }
    swf::test::SwfWriter movie(videoMovieOptions(kWidth + 20, kHeight + 10));
    movie.tag(60, defineVideoStreamBody(stream, 1, 0));
    movie.defineSprite(2, 5, sprite);
    swf::test::Place place;
    place.characterId = 2;
    place.matrix = swf::Matrix{1, 0, 0, 1, 200, 100};
    movie.placeObject2(place);
    movie.showFrame();
    movie.showFrame();
    movie.showFrame();

    swf::Player player;
    player.loadBytes(movie.build());
    for (int n = 0; n < 3; ++n)
        player.advance();
    QImage image(kWidth + 20, kHeight + 10, QImage::Format_ARGB32_Premultiplied);
    QPainter painter(&image);
    player.paint(painter, QRectF(0, 0, kWidth + 20, kHeight + 10), swf::ScaleMode::ShowAll, swf::RenderQuality::High);
    painter.end();
    EXPECT_GE(psnr(image, stream.reference[2], QPoint(10, 5)), 30.0);
    EXPECT_EQ(image.pixel(5, 2), qRgb(255, 255, 255));
}

TEST_F(VideoMovieTest, AClipHoldingAVideoIsTheVideoBoxInSize)
{
    // A sprite holding the video, named "clip" and scaled by 1.5 on the main timeline:
    // scripts see the stream's box in its size.
    swf::test::TagStream sprite;
    swf::test::Place inner;
    inner.characterId = 1;
    sprite.placeObject2(inner);
    sprite.showFrame();
    swf::test::SwfWriter movie(videoMovieOptions(kWidth * 2, kHeight * 2));
    movie.tag(60, defineVideoStreamBody(h263Stream(), 1, 0));
    movie.defineSprite(2, 1, sprite);
    swf::test::Place place;
    place.characterId = 2;
    place.name = "clip";
    place.matrix = swf::Matrix{1.5, 0, 0, 1.5, 0, 0};
    movie.placeObject2(place);
    swf::test::ActionBuilder script;
    for (double property : {8.0, 9.0})  // _width, _height
        script.pushString("clip").pushNumber(property).op(0x22).trace();
    movie.doAction(script);
    movie.showFrame();

    swf::Player player;
    std::vector<std::string> lines;
    player.setTraceSink([&lines](const std::string& line) { lines.push_back(line); });
    player.loadBytes(movie.build());
    player.advance();
    EXPECT_EQ(lines, (std::vector<std::string>{"144", "96"}));
}

TEST_F(VideoMovieTest, VideoFramesOfUndefinedStreamsAreIgnored)
{
    // Pictures for stream 9, which is never defined, and a place of it: nothing shows,
    // nothing fails.
    swf::test::SwfWriter movie(videoMovieOptions(kWidth, kHeight));
    movie.tag(61, videoFrameBody(9, 0, h263Stream().packets[0]), true);
    swf::test::Place place;
    place.characterId = 9;
    place.ratio = 0;
    movie.placeObject2(place);
    movie.showFrame();
    swf::Player player;
    player.loadBytes(movie.build());
    player.advance();
    const QImage image = paint(player);
    EXPECT_EQ(image.pixel(40, 30), qRgb(255, 255, 255));
}

// A movie twice the stream's size showing picture 0 of the stream at depth 1, named
// "vid", with `script` in frame 1 after the placement.
std::vector<uint8_t> namedVideoMovie(const swf::test::ActionBuilder& script)
{
    swf::test::SwfWriter movie(videoMovieOptions(kWidth * 2, kHeight * 2));
    movie.tag(60, defineVideoStreamBody(h263Stream(), 1, 0));
    movie.tag(61, videoFrameBody(1, 0, h263Stream().packets[0]), true);
    swf::test::Place place;
    place.characterId = 1;
    place.ratio = 0;
    place.name = "vid";
    movie.placeObject2(place);
    movie.doAction(script);
    movie.showFrame();
    return movie.build();
}

struct ScriptedRun {
    std::vector<std::string> lines;
    QImage picture;
};

ScriptedRun runNamedVideo(const swf::test::ActionBuilder& script)
{
    ScriptedRun run;
    swf::Player player;
    player.setTraceSink([&run](const std::string& line) { run.lines.push_back(line); });
    player.loadBytes(namedVideoMovie(script));
    player.advance();
    run.picture = QImage(kWidth * 2, kHeight * 2, QImage::Format_ARGB32_Premultiplied);
    QPainter painter(&run.picture);
    player.paint(painter, QRectF(0, 0, kWidth * 2, kHeight * 2), swf::ScaleMode::ShowAll, swf::RenderQuality::High);
    return run;
}

constexpr uint8_t kGetMember = 0x4E, kSetMember = 0x4F, kTypeOf = 0x44;

swf::test::ActionBuilder& traceMember(swf::test::ActionBuilder& a, std::string_view member)
{
    a.getVariable("vid").pushString(member).op(kGetMember).trace();
    return a;
}

TEST_F(VideoMovieTest, ScriptsReadAStageVideosDisplayProperties)
{
    swf::test::ActionBuilder script;
    for (std::string_view member : {"_x", "_y", "_xscale", "_yscale", "_width", "_height", "_alpha", "_visible",
                                    "_rotation", "_name", "_target"})
        traceMember(script, member);
    script.getVariable("vid").pushString("_parent").op(kGetMember).op(kTypeOf).trace();
    ScriptedRun run = runNamedVideo(script);
    EXPECT_EQ(run.lines, (std::vector<std::string>{"0", "0", "100", "100", "96", "64", "100", "true", "0", "vid",
                                                   "/vid", "movieclip"}));
}

TEST_F(VideoMovieTest, ScriptsMoveScaleAndHideAStageVideo)
{
    struct Case {
        const char* member;
        double value;
        std::vector<std::string> expected;  // _x, _y, _width, _height, _alpha, _visible after the write
    };
    const Case cases[] = {
        {"_x", 40, {"40", "0", "96", "64", "100", "true"}},
        {"_y", 12.5, {"0", "12.5", "96", "64", "100", "true"}},
        {"_xscale", 200, {"0", "0", "192", "64", "100", "true"}},
        {"_yscale", 50, {"0", "0", "96", "32", "100", "true"}},
        {"_width", 48, {"0", "0", "48", "64", "100", "true"}},
        {"_height", 128, {"0", "0", "96", "128", "100", "true"}},
        {"_alpha", 50, {"0", "0", "96", "64", "50", "true"}},
        {"_visible", 0, {"0", "0", "96", "64", "100", "false"}},
        // Not a number: the property stays as it was.
        {"_x", std::nan(""), {"0", "0", "96", "64", "100", "true"}},
    };
    for (const Case& c : cases) {
        swf::test::ActionBuilder script;
        script.getVariable("vid").pushString(c.member).pushNumber(c.value).op(kSetMember);
        for (std::string_view member : {"_x", "_y", "_width", "_height", "_alpha", "_visible"})
            traceMember(script, member);
        EXPECT_EQ(runNamedVideo(script).lines, c.expected) << c.member << " = " << c.value;
    }
}

TEST_F(VideoMovieTest, DisplayPropertiesSetByScriptsChangeThePicture)
{
    const ScriptedRun still = runNamedVideo({});
    swf::test::ActionBuilder moveIt;
    moveIt.getVariable("vid").pushString("_x").pushNumber(kWidth).op(kSetMember);
    const ScriptedRun moved = runNamedVideo(moveIt);
    // The picture now sits one video width to the right, the same pixels.
    const QImage before = still.picture.copy(0, 0, kWidth, kHeight);
    EXPECT_GT(psnr(moved.picture, before, QPoint(kWidth, 0)), 40.0);
    EXPECT_EQ(moved.picture.pixel(kWidth / 2, kHeight / 2), qRgb(255, 255, 255));

    swf::test::ActionBuilder hideIt;
    hideIt.getVariable("vid").pushString("_visible").pushBool(false).op(kSetMember);
    const ScriptedRun hidden = runNamedVideo(hideIt);
    QImage white(kWidth * 2, kHeight * 2, QImage::Format_ARGB32_Premultiplied);
    white.fill(Qt::white);
    EXPECT_EQ(hidden.picture, white);
    EXPECT_NE(still.picture, white);
}

} // namespace
