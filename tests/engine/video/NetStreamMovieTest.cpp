// A movie whose script plays a local FLV file into a video on its stage, through the
// whole player: the stage shows the picture the clock has reached (compared with
// FFmpeg's own decode of the file), after a seek too; status events reach the script;
// a path outside the movie's folder gives StreamNotFound and one notice.

#include "engine/Player.h"
#include "engine/SoundExport.h"
#include "tests/engine/video/FlvFixture.h"

#include <QImage>
#include <QPainter>

#include <gtest/gtest.h>

#include <cmath>

using namespace lanfan::test;
using swf::test::ActionBuilder;

namespace {

constexpr int kWidth = 96;
constexpr int kHeight = 64;
constexpr uint8_t kNewObject = 0x40, kSetVariable = 0x1D, kCallMethod = 0x52, kSetMember = 0x4F,
                  kGetMember = 0x4E, kPop = 0x17;

const EncodedFlv& h263File()
{
    static const EncodedFlv file = encodeFlv("-c:v flv1 -g 10", "-c:a libmp3lame -ar 22050", kWidth, kHeight, 1.0);
    return file;
}

// nc = new NetConnection(); nc.connect(null); ns = new NetStream(nc);
// ns.onStatus = function (e) { trace(e.code); }; vid.attachVideo(ns); ns.play(url);
ActionBuilder playScript(const std::string& url)
{
    ActionBuilder a;
    a.pushString("nc").pushInt(0).pushString("NetConnection").op(kNewObject).op(kSetVariable);
    a.pushNull().pushInt(1).getVariable("nc").pushString("connect").op(kCallMethod).op(kPop);
    a.pushString("ns").getVariable("nc").pushInt(1).pushString("NetStream").op(kNewObject).op(kSetVariable);
    ActionBuilder onStatus;
    onStatus.getVariable("e").pushString("code").op(kGetMember).trace();
    a.getVariable("ns").pushString("onStatus").defineFunction("", {"e"}, onStatus).op(kSetMember);
    a.getVariable("ns").pushInt(1).getVariable("vid").pushString("attachVideo").op(kCallMethod).op(kPop);
    a.pushString(url).pushInt(1).getVariable("ns").pushString("play").op(kCallMethod).op(kPop);
    return a;
}

// A stage the video's size at 30 frames a second; a placeholder video named "vid" (a
// stream with no pictures, as authoring tools place one) and the script on frame 1.
std::vector<uint8_t> movieFor(const std::string& url, const ActionBuilder& later = {})
{
    swf::test::SwfWriter movie(videoMovieOptions(kWidth, kHeight));
    EncodedStream placeholder;
    placeholder.codec = 2;
    placeholder.width = kWidth;
    placeholder.height = kHeight;
    movie.tag(60, defineVideoStreamBody(placeholder, 1, 0));
    swf::test::Place place;
    place.depth = 1;
    place.characterId = 1;
    place.name = "vid";
    movie.placeObject2(place);
    movie.doAction(playScript(url));
    movie.showFrame();
    movie.doAction(later);
    for (int i = 0; i < 40; ++i)
        movie.showFrame();
    return movie.build();
}

QImage paint(swf::Player& player)
{
    QImage image(kWidth, kHeight, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::white);
    QPainter painter(&image);
    player.paint(painter, QRectF(0, 0, kWidth, kHeight), swf::ScaleMode::ShowAll, swf::RenderQuality::High);
    return image;
}

class NetStreamMovieTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!haveFfmpeg())
            GTEST_SKIP() << "ffmpeg is not installed; these tests need it to make their files";
        ASSERT_FALSE(h263File().bytes.empty());
        ASSERT_EQ(h263File().reference.size(), 30u);
        dir_ = std::filesystem::temp_directory_path() / ("lanfan-netstream-" + std::to_string(::getpid()) + "-" +
                                                         ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(dir_ / "media");
        write(dir_ / "media" / "clip.flv", h263File().bytes);
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }

    static void write(const std::filesystem::path& path, const std::vector<uint8_t>& bytes)
    {
        std::ofstream out(path, std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    }

    void load(const std::vector<uint8_t>& swf)
    {
        write(dir_ / "movie.swf", swf);
        player_.setTraceSink([this](const std::string& line) { traces_.push_back(line); });
        player_.setNoticeSink([this](const std::string& line) { notices_.push_back(line); });
        player_.loadFile(dir_ / "movie.swf");
    }

    std::filesystem::path dir_;
    swf::Player player_;
    std::vector<std::string> traces_;
    std::vector<std::string> notices_;
};

TEST_F(NetStreamMovieTest, TheStageShowsThePictureTheClockReached)
{
    load(movieFor("media/clip.flv"));
    player_.advance();  // frame 1: the script plays the file
    player_.advance();  // the buffer fills: picture 0
    EXPECT_EQ(traces_, (std::vector<std::string>{"NetStream.Play.Start", "NetStream.Buffer.Full"}));
    EXPECT_GE(psnr(paint(player_), h263File().reference[0]), 30.0);
    // Each frame of the movie is 1/30 s, as is each picture of the file.
    for (int n = 1; n <= 14; ++n)
        player_.advance();
    EXPECT_GE(psnr(paint(player_), h263File().reference[14]), 30.0);
    EXPECT_LT(psnr(paint(player_), h263File().reference[0]), 30.0) << "the picture moved on";
    for (int n = 0; n < 20; ++n)
        player_.advance();
    EXPECT_EQ(traces_.back(), "NetStream.Buffer.Empty");
    EXPECT_TRUE(notices_.empty()) << notices_.front();
}

TEST_F(NetStreamMovieTest, ASeekShowsTheKeyFrameAtOrBefore)
{
    // On frame 2: ns.seek(0.8), which lands on the key frame at 20/30 s.
    ActionBuilder seek;
    seek.pushNumber(0.8).pushInt(1).getVariable("ns").pushString("seek").op(kCallMethod).op(kPop);
    load(movieFor("media/clip.flv", seek));
    player_.advance();
    player_.advance();
    player_.advance();
    EXPECT_EQ(traces_.back(), "NetStream.Seek.Notify");
    EXPECT_GE(psnr(paint(player_), h263File().reference[20]), 30.0);
    player_.advance();
    player_.advance();
    EXPECT_GE(psnr(paint(player_), h263File().reference[22]), 30.0);
}

TEST_F(NetStreamMovieTest, PathsOutsideTheMovieFolderAreRefusedWithOneNotice)
{
    write(dir_.parent_path() / "outside.flv", h263File().bytes);
    ActionBuilder again;
    again.pushString("../outside.flv").pushInt(1).getVariable("ns").pushString("play").op(kCallMethod).op(kPop);
    load(movieFor("../outside.flv", again));
    for (int n = 0; n < 4; ++n)
        player_.advance();
    std::filesystem::remove(dir_.parent_path() / "outside.flv");
    EXPECT_EQ(traces_, (std::vector<std::string>{"NetStream.Play.StreamNotFound", "NetStream.Play.StreamNotFound"}));
    EXPECT_EQ(notices_.size(), 1u);
    // Nothing attached plays: the stage stays white.
    const QImage stage = paint(player_);
    EXPECT_EQ(stage.pixel(kWidth / 2, kHeight / 2), qRgb(255, 255, 255));
}

TEST_F(NetStreamMovieTest, ADamagedFilePlaysWhatItCanWithANotice)
{
    const std::vector<uint8_t>& whole = h263File().bytes;
    write(dir_ / "media" / "clip.flv", std::vector<uint8_t>(whole.begin(), whole.begin() + long(whole.size() * 2 / 3)));
    load(movieFor("media/clip.flv"));
    for (int n = 0; n < 40; ++n)
        player_.advance();
    EXPECT_EQ(traces_.front(), "NetStream.Play.Start");
    EXPECT_EQ(traces_.back(), "NetStream.Buffer.Empty");
    EXPECT_FALSE(notices_.empty());
    EXPECT_FALSE(paint(player_).isNull());
}

// The level of the mix from `from` (a time in seconds) to its end.
double rmsFrom(const std::vector<int16_t>& mix, double from)
{
    const size_t begin = static_cast<size_t>(from * 44100) * 2;
    double sum = 0;
    size_t count = 0;
    for (size_t i = begin; i < mix.size(); ++i, ++count)
        sum += double(mix[i]) * mix[i];
    return count ? std::sqrt(sum / double(count)) : 0;
}

TEST_F(NetStreamMovieTest, AttachAudioPutsTheStreamSoundUnderTheClipsSoundSettings)
{
    // Frame 2, once the stream plays: a clip, the stream's sound attached to it (or not)
    // and the clip's volume set through a Sound object of the clip.
    struct Case {
        const char* name;
        bool attach;
        double volume;
        double lowest, highest;  // of the level against the stream's own
    };
    const Case cases[] = {
        {"attached and silenced", true, 0, 0, 0.01},
        {"attached at half", true, 50, 0.4, 0.6},
        {"not attached: the clip's volume is not the stream's", false, 0, 0.9, 1.1},
    };
    double full = 0;
    {
        load(movieFor("media/clip.flv"));
        full = rmsFrom(swf::mixFrames(player_, 25), 10 / 30.0);
        ASSERT_GT(full, 1000) << "the file's sine plays";
    }
    for (const Case& c : cases) {
        ActionBuilder later;
        constexpr uint8_t kCallFunction = 0x3D;
        later.pushInt(5).pushString("mc").pushInt(2).pushString("createEmptyMovieClip").op(kCallFunction).op(kPop);
        if (c.attach)
            later.getVariable("ns").pushInt(1).getVariable("mc").pushString("attachAudio").op(kCallMethod).op(kPop);
        later.pushString("s").getVariable("mc").pushInt(1).pushString("Sound").op(kNewObject).op(kSetVariable);
        later.pushNumber(c.volume).pushInt(1).getVariable("s").pushString("setVolume").op(kCallMethod).op(kPop);
        swf::Player player;
        write(dir_ / "movie.swf", movieFor("media/clip.flv", later));
        player.loadFile(dir_ / "movie.swf");
        const double level = rmsFrom(swf::mixFrames(player, 25), 10 / 30.0) / full;
        EXPECT_GE(level, c.lowest) << c.name;
        EXPECT_LE(level, c.highest) << c.name;
    }
}

} // namespace
