// The embedded video records: the stream definition, the frames, and telling key
// frames from the pictures that build on others, per codec.

#include "engine/format/Error.h"
#include "engine/format/Video.h"
#include "tests/support/SwfWriter.h"

#include <gtest/gtest.h>

namespace swf {
namespace {

using test::BitWriter;

TEST(VideoTags, DefineVideoStreamReadsSizeFlagsAndCodec)
{
    BitWriter w;
    w.u16(7);
    w.u16(120);
    w.u16(320);
    w.u16(240);
    w.u8(0b0000'0101);  // deblocking 2, smoothing on
    w.u8(4);
    const VideoStreamDef def = parseDefineVideoStream(w.take());
    EXPECT_EQ(def.id, 7);
    EXPECT_EQ(def.declaredFrames, 120);
    EXPECT_EQ(def.width, 320);
    EXPECT_EQ(def.height, 240);
    EXPECT_EQ(def.deblocking, 2);
    EXPECT_TRUE(def.smoothing);
    EXPECT_EQ(def.codec(), VideoCodec::Vp6);
}

TEST(VideoTags, VideoFrameKeepsItsDataAsAView)
{
    const std::vector<uint8_t> body{3, 0, 0x10, 0x01, 0xaa, 0xbb};
    const VideoFrameTag frame = parseVideoFrame(body);
    EXPECT_EQ(frame.streamId, 3);
    EXPECT_EQ(frame.frameNumber, 0x110);
    ASSERT_EQ(frame.data.size(), 2u);
    EXPECT_EQ(frame.data.data(), body.data() + 4);
}

TEST(VideoTags, ShortBodiesAreFormatErrors)
{
    const std::vector<uint8_t> nine(9, 0);
    EXPECT_THROW(parseDefineVideoStream(nine), FormatError);
    const std::vector<uint8_t> three(3, 0);
    EXPECT_THROW(parseVideoFrame(three), FormatError);
}

TEST(VideoTags, KnownCodecsAreTwoToSix)
{
    for (int id = 0; id < 256; ++id)
        EXPECT_EQ(isKnownVideoCodec(static_cast<uint8_t>(id)), id >= 2 && id <= 6) << id;
}

// A Sorenson H.263 picture header: start code, version, temporal reference, picture
// size (with explicit sizes for codes 0 and 1), picture type.
std::vector<uint8_t> h263Header(unsigned sizeCode, unsigned pictureType, uint32_t startCode = 1)
{
    BitWriter w;
    w.ub(startCode, 17);
    w.ub(0, 5);
    w.ub(42, 8);
    w.ub(sizeCode, 3);
    if (sizeCode == 0)
        w.ub(0xffff, 16);
    else if (sizeCode == 1)
        w.ub(0xffffffff, 32);
    w.ub(pictureType, 2);
    w.ub(0, 14);
    return w.take();
}

// A screen video picture of 32 x 16 pixels in 16 x 16 blocks: two blocks of the given
// sizes (version 2 adds a header flags byte and a flags byte to each sent block).
std::vector<uint8_t> screenPicture(std::initializer_list<uint16_t> blockSizes, bool version2, uint8_t blockFlags = 0)
{
    BitWriter w;
    w.ub(0, 4);
    w.ub(32, 12);
    w.ub(0, 4);
    w.ub(16, 12);
    if (version2)
        w.u8(0);
    for (uint16_t size : blockSizes) {
        w.u8(static_cast<uint8_t>(size >> 8));
        w.u8(static_cast<uint8_t>(size));
        for (uint16_t i = 0; i < size; ++i)
            w.u8(i == 0 && version2 ? blockFlags : 0x55);
    }
    return w.take();
}

TEST(VideoTags, KeyFramesAreToldApartPerCodec)
{
    struct Case {
        const char* what;
        VideoCodec codec;
        std::vector<uint8_t> data;
        bool key;
    };
    const Case cases[] = {
        {"h263 intra, size code 0", VideoCodec::SorensonH263, h263Header(0, 0), true},
        {"h263 intra, size code 1", VideoCodec::SorensonH263, h263Header(1, 0), true},
        {"h263 intra, fixed size", VideoCodec::SorensonH263, h263Header(3, 0), true},
        {"h263 inter", VideoCodec::SorensonH263, h263Header(3, 1), false},
        {"h263 disposable inter", VideoCodec::SorensonH263, h263Header(0, 2), false},
        {"h263 without start code", VideoCodec::SorensonH263, h263Header(3, 0, 3), false},
        {"h263 cut short", VideoCodec::SorensonH263, {0x00, 0x00}, false},
        {"vp6 intra", VideoCodec::Vp6, {0x00, 0x12}, true},
        {"vp6 inter", VideoCodec::Vp6, {0x80, 0x12}, false},
        {"vp6 empty", VideoCodec::Vp6, {}, false},
        {"vp6 alpha intra", VideoCodec::Vp6Alpha, {0x00, 0x00, 0x02, 0x40, 0x12}, true},
        {"vp6 alpha inter", VideoCodec::Vp6Alpha, {0x00, 0x00, 0x02, 0xc0, 0x12}, false},
        {"vp6 alpha cut short", VideoCodec::Vp6Alpha, {0x00, 0x00, 0x02}, false},
        {"screen video, all blocks", VideoCodec::ScreenVideo, screenPicture({3, 2}, false), true},
        {"screen video, a block unchanged", VideoCodec::ScreenVideo, screenPicture({3, 0}, false), false},
        {"screen video, a block missing", VideoCodec::ScreenVideo, screenPicture({3}, false), false},
        {"screen video 2, all blocks", VideoCodec::ScreenVideo2, screenPicture({3, 2}, true), true},
        {"screen video 2, diff blocks", VideoCodec::ScreenVideo2, screenPicture({3, 2}, true, 0x04), false},
        {"screen video 2, primed", VideoCodec::ScreenVideo2, screenPicture({3, 2}, true, 0x01), false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(isVideoKeyFrame(c.codec, c.data), c.key) << c.what;
}

TEST(VideoTags, FramesAreOrderedByNumberAndTheFirstOfANumberStays)
{
    const std::vector<uint8_t> a{1}, b{2}, c{3}, d{4};
    EmbeddedVideo video;
    video.frames = {{0, 4, a}, {0, 1, b}, {0, 4, c}, {0, 2, d}};
    video.finish();
    ASSERT_EQ(video.frames.size(), 3u);
    EXPECT_EQ(video.frames[0].frameNumber, 1);
    EXPECT_EQ(video.frames[1].frameNumber, 2);
    EXPECT_EQ(video.frames[2].data[0], 1);  // frame 4 as first written
    EXPECT_EQ(video.indexAtOrBefore(0), -1);
    EXPECT_EQ(video.indexAtOrBefore(1), 0);
    EXPECT_EQ(video.indexAtOrBefore(3), 1);
    EXPECT_EQ(video.indexAtOrBefore(65535), 2);
}

} // namespace
} // namespace swf
