// Decoding embedded video by frame number: the pictures match an independent decode of
// the same stream, a frame reached by a jump shows what playing to it shows, and
// damaged pictures leave the last good one on screen.

#include "engine/video/VideoFrames.h"
#include "tests/engine/video/VideoFixture.h"

#include <gtest/gtest.h>

#include <map>

using namespace lanfan::test;
using swf::video::VideoFrames;

namespace {

struct CodecCase {
    const char* encoder;
    uint8_t codec;
};

// Encoding is slow next to decoding: each stream is made once for the whole program.
const EncodedStream& streamFor(const CodecCase& c)
{
    static std::map<std::string, EncodedStream> streams;
    auto it = streams.find(c.encoder);
    if (it == streams.end())
        it = streams.emplace(c.encoder, encodeTestStream(c.encoder, c.codec, 96, 64, 30, 10)).first;
    return it->second;
}

class VideoCodecTest : public ::testing::TestWithParam<CodecCase> {
protected:
    void SetUp() override
    {
        if (!haveFfmpeg())
            GTEST_SKIP() << "ffmpeg is not installed; these tests need it to make their streams";
        stream_ = &streamFor(GetParam());
        ASSERT_EQ(stream_->packets.size(), 30u);
        ASSERT_EQ(stream_->reference.size(), 30u);
    }

    // Every picture, in playing order.
    std::vector<QImage> playAll(VideoFrames& frames)
    {
        std::vector<QImage> pictures;
        for (int n = 0; n < 30; ++n)
            pictures.push_back(frames.picture(n));
        return pictures;
    }

    const EncodedStream* stream_ = nullptr;
};

TEST_P(VideoCodecTest, PlayedPicturesMatchAnIndependentDecode)
{
    VideoFrames frames(embedded(*stream_));
    const std::vector<QImage> pictures = playAll(frames);
    for (int n = 0; n < 30; ++n) {
        ASSERT_FALSE(pictures[n].isNull()) << "frame " << n;
        ASSERT_EQ(pictures[n].size(), QSize(96, 64));
        EXPECT_GE(psnr(pictures[n], stream_->reference[n]), 30.0) << "frame " << n;
    }
    EXPECT_EQ(frames.decodedCount(), 30u);
}

TEST_P(VideoCodecTest, FramesReachedByJumpsShowWhatPlayingShows)
{
    VideoFrames played(embedded(*stream_));
    const std::vector<QImage> expected = playAll(played);
    VideoFrames jumped(embedded(*stream_));
    for (int n : {17, 3, 29, 11, 12, 13, 0, 25, 9, 10, 24}) {
        const QImage picture = jumped.picture(n);
        EXPECT_EQ(picture.convertToFormat(QImage::Format_ARGB32), expected[n].convertToFormat(QImage::Format_ARGB32))
            << "frame " << n;
        EXPECT_GE(psnr(picture, stream_->reference[n]), 30.0) << "frame " << n;
    }
}

TEST_P(VideoCodecTest, SeekingDecodesFromTheNearestKeyFrameAndKeepsRecentPictures)
{
    auto video = embedded(*stream_);
    // The encoder was asked for a key frame every 10; screen video sends a picture
    // whole (a key frame) wherever every block changed, which may be more often.
    std::vector<bool> key;
    for (const auto& frame : video->frames)
        key.push_back(swf::isVideoKeyFrame(video->def.codec(), frame.data));
    for (int n : {0, 10, 20})
        EXPECT_TRUE(key[size_t(n)]) << "frame " << n;
    if (GetParam().codec == 2) {
        for (int n = 0; n < 30; ++n)
            EXPECT_EQ(key[size_t(n)], n % 10 == 0) << "frame " << n;
    }
    auto keyAtOrBefore = [&key](int n) {
        while (n > 0 && !key[size_t(n)])
            --n;
        return n;
    };

    VideoFrames frames(video);
    size_t expected = size_t(15 - keyAtOrBefore(15) + 1);
    frames.picture(15);
    EXPECT_EQ(frames.decodedCount(), expected);
    // Onward from where the decoder stands, unless a key frame comes first.
    expected += keyAtOrBefore(17) <= 15 ? 2 : size_t(17 - keyAtOrBefore(17) + 1);
    frames.picture(17);
    EXPECT_EQ(frames.decodedCount(), expected);
    frames.picture(15);  // kept
    EXPECT_EQ(frames.decodedCount(), expected);
    // Behind the decoder and not kept: from the key frame again.
    expected += size_t(12 - keyAtOrBefore(12) + 1);
    frames.picture(12);
    EXPECT_EQ(frames.decodedCount(), expected);
    // Past the next key frame: from it.
    expected += size_t(21 - keyAtOrBefore(21) + 1);
    frames.picture(21);
    EXPECT_EQ(frames.decodedCount(), expected);
}

TEST_P(VideoCodecTest, ADamagedPictureShowsTheLastGoodOne)
{
    VideoFrames played(embedded(*stream_));
    const std::vector<QImage> expected = playAll(played);

    for (std::vector<uint8_t> damage : {std::vector<uint8_t>{}, std::vector<uint8_t>{0x00, 0x00},
                                        std::vector<uint8_t>(200, 0xff)}) {
        auto video = embedded(*stream_);
        video->frames[5].data = damage;
        std::vector<std::string> notices;
        VideoFrames frames(video, [&notices](const std::string& line) { notices.push_back(line); });
        for (int n = 0; n <= 5; ++n)
            frames.picture(n);
        EXPECT_EQ(frames.picture(5).convertToFormat(QImage::Format_ARGB32),
                  expected[4].convertToFormat(QImage::Format_ARGB32));
        // Further pictures still come, and the next key frame is whole again.
        for (int n = 6; n < 30; ++n)
            EXPECT_FALSE(frames.picture(n).isNull()) << "frame " << n;
        EXPECT_EQ(frames.picture(20).convertToFormat(QImage::Format_ARGB32),
                  expected[20].convertToFormat(QImage::Format_ARGB32));
        ASSERT_EQ(notices.size(), 1u) << "one notice per stream";
        EXPECT_NE(notices[0].find("frame 5"), std::string::npos) << notices[0];
    }
}

TEST_P(VideoCodecTest, FrameNumbersWithoutAPictureShowTheOneBefore)
{
    auto video = embedded(*stream_);
    // Number the pictures 0, 2, 4, ...: an odd frame shows the even one before it.
    for (size_t i = 0; i < video->frames.size(); ++i)
        video->frames[i].frameNumber = static_cast<uint16_t>(i * 2);
    VideoFrames frames(video);
    EXPECT_TRUE(frames.picture(-1).isNull());
    EXPECT_EQ(frames.picture(7), frames.picture(6));
    EXPECT_GE(psnr(frames.picture(7), stream_->reference[3]), 30.0);
    EXPECT_GE(psnr(frames.picture(1000), stream_->reference[29]), 30.0);
}

INSTANTIATE_TEST_SUITE_P(Codecs, VideoCodecTest,
                         ::testing::Values(CodecCase{"flv", 2}, CodecCase{"flashsv", 3}, CodecCase{"flashsv2", 6}),
                         [](const auto& test) { return std::string(test.param.encoder); });

TEST(VideoFramesTest, AStreamOfAnUnknownCodecShowsNothingAndSaysWhy)
{
    auto video = std::make_shared<swf::EmbeddedVideo>();
    video->def.codecId = 9;
    video->def.width = 16;
    video->def.height = 16;
    video->frames.push_back({0, 0, {}});
    std::vector<std::string> notices;
    VideoFrames frames(video, [&notices](const std::string& line) { notices.push_back(line); });
    EXPECT_TRUE(frames.picture(0).isNull());
    ASSERT_EQ(notices.size(), 1u);
    EXPECT_NE(notices[0].find("codec 9"), std::string::npos) << notices[0];
}

TEST(VideoFramesTest, PicturesOfNoiseShowNothingRatherThanFail)
{
    for (uint8_t codec : {2, 3, 4, 5, 6}) {
        auto video = std::make_shared<swf::EmbeddedVideo>();
        video->def.codecId = codec;
        video->def.width = 64;
        video->def.height = 48;
        uint32_t seed = codec;
        std::vector<std::vector<uint8_t>> noise(8);
        for (size_t i = 0; i < noise.size(); ++i) {
            noise[i].resize(40 + i * 50);
            for (uint8_t& b : noise[i]) {
                seed = seed * 1664525u + 1013904223u;
                b = static_cast<uint8_t>(seed >> 24);
            }
            video->frames.push_back({0, static_cast<uint16_t>(i), noise[i]});
        }
        VideoFrames frames(video);
        for (int n : {0, 7, 3, 4, 5, 1})
            (void)frames.picture(n);  // whatever comes out, it must come out
        SUCCEED();
    }
}

} // namespace

namespace {

// An H.263 intra picture header claiming `width` x `height`, then zero bits.
std::vector<uint8_t> h263ClaimingSize(uint16_t width, uint16_t height)
{
    swf::test::BitWriter w;
    w.ub(1, 17);
    w.ub(0, 5);
    w.ub(0, 8);
    w.ub(1, 3);  // 16-bit width and height follow
    w.ub(width, 16);
    w.ub(height, 16);
    w.ub(0, 2);  // intra
    for (int i = 0; i < 2000; ++i)
        w.u8(0);
    return w.take();
}

TEST(VideoFramesTest, PicturesClaimingAHugeSizeAreRefusedAndTheStreamGoesOn)
{
    if (!haveFfmpeg())
        GTEST_SKIP() << "ffmpeg is not installed; this test needs it to make its stream";
    // A damaged header may claim up to 65535 x 65535; decoding that would take seconds
    // and gigabytes. The next key frame shows as usual.
    const EncodedStream& stream = streamFor({"flv", 2});
    ASSERT_FALSE(stream.packets.empty());
    const std::vector<uint8_t> huge = h263ClaimingSize(10537, 10537);
    auto video = std::make_shared<swf::EmbeddedVideo>();
    video->def.codecId = 2;
    video->def.width = 96;
    video->def.height = 64;
    video->frames.push_back({0, 0, huge});
    video->frames.push_back({0, 1, stream.packets[0]});
    std::vector<std::string> notices;
    VideoFrames frames(video, [&notices](const std::string& line) { notices.push_back(line); });
    EXPECT_TRUE(frames.picture(0).isNull());
    EXPECT_EQ(notices.size(), 1u);
    const QImage second = frames.picture(1);
    ASSERT_FALSE(second.isNull());
    EXPECT_GE(psnr(second, stream.reference[0]), 30.0);
}

} // namespace
