// Local FLV files as NetStream reads them: pictures decode to what an independent
// decoder shows, played or reached by a seek; every sound codec FLV carries comes out as
// the sine that went in; script tags arrive with their times; damaged files give what
// they can.

#include "engine/video/FlvMedia.h"
#include "engine/video/VideoFrames.h"
#include "tests/engine/video/FlvFixture.h"

#include <gtest/gtest.h>

#include <map>

using namespace lanfan::test;
using swf::video::FlvMedia;
using swf::video::readFlv;

namespace {

struct VideoCase {
    const char* name;
    const char* options;
    uint8_t codec;
};

const EncodedFlv& videoFile(const VideoCase& c)
{
    static std::map<std::string, EncodedFlv> files;
    auto it = files.find(c.name);
    if (it == files.end())
        it = files.emplace(c.name, encodeFlv(c.options, "", 96, 64, 1.0)).first;
    return it->second;
}

class FlvVideoTest : public ::testing::TestWithParam<VideoCase> {
protected:
    void SetUp() override
    {
        if (!haveFfmpeg())
            GTEST_SKIP() << "ffmpeg is not installed; these tests need it to make their files";
        file_ = &videoFile(GetParam());
        if (file_->bytes.empty())
            GTEST_SKIP() << "this ffmpeg cannot encode " << GetParam().name;
        ASSERT_EQ(file_->reference.size(), 30u);
    }
    const EncodedFlv* file_ = nullptr;
};

TEST_P(FlvVideoTest, PicturesMatchAnIndependentDecodeWhenPlayedAndAfterASeek)
{
    const FlvMedia media = readFlv(file_->bytes);
    ASSERT_TRUE(media.video);
    EXPECT_EQ(media.video->def.codecId, GetParam().codec);
    EXPECT_EQ(media.video->def.width, 96);
    EXPECT_EQ(media.video->def.height, 64);
    ASSERT_EQ(media.video->frames.size(), 30u);
    ASSERT_EQ(media.frameTimes.size(), 30u);
    EXPECT_NEAR(media.frameTimes[15], 0.5, 0.002);
    EXPECT_NEAR(media.duration, 1.0, 0.05);
    EXPECT_TRUE(media.problems.empty()) << media.problems.front();

    swf::video::VideoFrames played(media.video);
    for (int n = 0; n < 30; ++n) {
        const QImage picture = played.picture(n);
        ASSERT_FALSE(picture.isNull()) << "frame " << n;
        EXPECT_GE(psnr(picture, file_->reference[size_t(n)]), 30.0) << "frame " << n;
    }
    // A stream that jumps straight to frame 23 (three after a key frame) shows the same.
    swf::video::VideoFrames sought(media.video);
    EXPECT_GE(psnr(sought.picture(23), file_->reference[23]), 30.0);
    EXPECT_LE(sought.decodedCount(), 4u);
}

TEST_P(FlvVideoTest, KeyFramesComeFromTheContainer)
{
    const FlvMedia media = readFlv(file_->bytes);
    ASSERT_TRUE(media.video);
    ASSERT_EQ(media.video->keyFrames.size(), 30u);
    EXPECT_TRUE(media.video->keyFrames[0]);
    int lastKey = 0;
    for (int n = 0; n <= 23; ++n) {
        if (media.video->keyFrames[size_t(n)])
            lastKey = n;
    }
    EXPECT_NEAR(media.keyFrameAtOrBefore(23.5 / 30), lastKey / 30.0, 0.002);
    // Encoders that keep to the requested key-frame interval (screen video decides for
    // itself) flag exactly those frames.
    if (GetParam().codec == 2 || GetParam().codec == 7) {
        EXPECT_TRUE(media.video->keyFrames[20]);
        EXPECT_FALSE(media.video->keyFrames[23]);
    }
    EXPECT_EQ(media.pictureAt(-1), -1);
    EXPECT_EQ(media.pictureAt(10.0), 29);
}

INSTANTIATE_TEST_SUITE_P(Codecs, FlvVideoTest,
                         ::testing::Values(VideoCase{"h263", "-c:v flv1 -g 10", 2},
                                           VideoCase{"screen", "-c:v flashsv -g 10", 3},
                                           VideoCase{"screen2", "-c:v flashsv2 -g 10", 6},
                                           VideoCase{"h264", "-c:v libx264 -profile:v baseline -pix_fmt yuv420p -g 10 -keyint_min 10 -sc_threshold 0", 7}),
                         [](const auto& param) { return std::string(param.param.name); });

struct AudioCase {
    const char* name;
    const char* options;
    uint8_t flvCodec;
};

class FlvAudioTest : public ::testing::TestWithParam<AudioCase> {};

// The sine's frequency from the zero crossings of the left channel.
double frequencyOf(const swf::audio::Pcm& pcm, size_t from, size_t to)
{
    int crossings = 0;
    for (size_t i = from + 1; i < to && i < pcm.frames(); ++i) {
        if ((pcm.samples[2 * (i - 1)] < 0) != (pcm.samples[2 * i] < 0))
            ++crossings;
    }
    return crossings / 2.0 / (double(to - from) / swf::audio::kOutputRate);
}

TEST_P(FlvAudioTest, SoundDecodesToTheSineThatWentIn)
{
    if (!haveFfmpeg())
        GTEST_SKIP() << "ffmpeg is not installed";
    const EncodedFlv file = encodeFlv("", GetParam().options, 0, 0, 1.0);
    if (file.bytes.empty())
        GTEST_SKIP() << "this ffmpeg cannot encode " << GetParam().name;
    const FlvMedia media = readFlv(file.bytes);
    EXPECT_FALSE(media.video);
    EXPECT_EQ(media.audioCodecId, GetParam().flvCodec);
    ASSERT_TRUE(media.audio) << (media.problems.empty() ? "" : media.problems.front());
    EXPECT_NEAR(double(media.audio->frames()) / swf::audio::kOutputRate, 1.0, 0.15);
    EXPECT_NEAR(frequencyOf(*media.audio, 8820, 35280), 440.0, 12.0);
    EXPECT_NEAR(media.duration, 1.0, 0.15);
}

INSTANTIATE_TEST_SUITE_P(Codecs, FlvAudioTest,
                         ::testing::Values(AudioCase{"mp3", "-c:a libmp3lame -ar 22050", 2},
                                           AudioCase{"adpcm", "-c:a adpcm_swf -ar 22050", 1},
                                           AudioCase{"nellymoser", "-c:a nellymoser -ar 22050", 6},
                                           AudioCase{"aac", "-c:a aac -ar 44100", 10},
                                           AudioCase{"speex", "-c:a libspeex -ar 16000", 11},
                                           AudioCase{"pcm", "-c:a pcm_s16le -ar 11025", 3}),
                         [](const auto& param) { return std::string(param.param.name); });

// A file of its own: metadata, a cue point, then FFmpeg's H.263 pictures.
std::vector<uint8_t> fileWithCuePoints(const EncodedFlv& source)
{
    using swf::data::AmfValue;
    FlvWriter writer;
    AmfValue meta;
    meta.type = AmfValue::Type::EcmaArray;
    meta.members = {{"duration", AmfValue::makeNumber(1.0)}, {"width", AmfValue::makeNumber(96)}};
    writer.script(0, "onMetaData", meta);
    AmfValue cue = AmfValue::makeObject();
    cue.members = {{"name", AmfValue::makeString("middle")}, {"time", AmfValue::makeNumber(0.5)},
                   {"type", AmfValue::makeString("event")}};
    bool cueWritten = false;
    for (const FlvTag& tag : flvTags(source.bytes)) {
        if (tag.type == 18)
            continue;
        if (!cueWritten && tag.ms >= 500) {
            writer.script(500, "onCuePoint", cue);
            cueWritten = true;
        }
        writer.tag(tag.type, tag.ms, tag.body);
    }
    return writer.bytes();
}

TEST(FlvScriptTags, MetadataAndCuePointsArriveWithTheirTimes)
{
    if (!haveFfmpeg())
        GTEST_SKIP() << "ffmpeg is not installed";
    const EncodedFlv source = encodeFlv("-c:v flv1 -g 10", "", 96, 64, 1.0);
    ASSERT_FALSE(source.bytes.empty());
    const FlvMedia media = readFlv(fileWithCuePoints(source));
    ASSERT_EQ(media.scripts.size(), 2u);
    EXPECT_EQ(media.scripts[0].name, "onMetaData");
    EXPECT_EQ(media.scripts[0].time, 0.0);
    EXPECT_EQ(media.scripts[1].name, "onCuePoint");
    EXPECT_EQ(media.scripts[1].time, 0.5);
    ASSERT_EQ(media.scripts[1].argument.members.size(), 3u);
    EXPECT_EQ(media.scripts[1].argument.members[0].second.text, "middle");
    EXPECT_EQ(media.duration, 1.0);
    ASSERT_TRUE(media.video);
    EXPECT_EQ(media.video->frames.size(), 30u);
}

TEST(FlvDamage, DamagedFilesGiveWhatTheyCanAndNeverCrash)
{
    if (!haveFfmpeg())
        GTEST_SKIP() << "ffmpeg is not installed";
    const EncodedFlv source = encodeFlv("-c:v flv1 -g 10", "-c:a libmp3lame -ar 22050", 96, 64, 1.0);
    ASSERT_FALSE(source.bytes.empty());

    struct Damage {
        const char* what;
        std::vector<uint8_t> bytes;
        size_t minPictures;
        size_t maxPictures;
    };
    std::vector<Damage> cases;
    const std::vector<uint8_t>& whole = source.bytes;
    cases.push_back({"cut in half", std::vector<uint8_t>(whole.begin(), whole.begin() + long(whole.size() / 2)), 5, 29});
    cases.push_back({"cut after the header", std::vector<uint8_t>(whole.begin(), whole.begin() + 13), 0, 0});
    // A tag in the middle that claims 16 MB: the demuxer resyncs or stops there.
    std::vector<uint8_t> lying = whole;
    {
        size_t at = 13;
        for (int i = 0; i < 20 && at + 11 < lying.size(); ++i)
            at += 11 + (size_t{lying[at + 1]} << 16 | size_t{lying[at + 2]} << 8 | lying[at + 3]) + 4;
        lying[at + 1] = 0xff;
        lying[at + 2] = 0xff;
        lying[at + 3] = 0xff;
    }
    cases.push_back({"a lying tag size", lying, 3, 30});
    // Pictures with their middles overwritten: decoding errors, never a crash.
    std::vector<uint8_t> scribbled = whole;
    for (size_t i = whole.size() / 3; i < whole.size() * 2 / 3; i += 7)
        scribbled[i] ^= 0x5a;
    cases.push_back({"scribbled", scribbled, 0, 60});

    for (const Damage& c : cases) {
        SCOPED_TRACE(c.what);
        const FlvMedia media = readFlv(c.bytes);
        const size_t pictures = media.video ? media.video->frames.size() : 0;
        EXPECT_GE(pictures, c.minPictures);
        EXPECT_LE(pictures, c.maxPictures);
        if (media.video) {
            std::vector<std::string> notices;
            swf::video::VideoFrames frames(media.video, [&](const std::string& line) { notices.push_back(line); });
            for (int n = 0; n < int(pictures); ++n)
                (void)frames.picture(n);
            EXPECT_LE(notices.size(), 1u);
        }
    }
    EXPECT_THROW(readFlv(std::vector<uint8_t>{'F', 'L'}), swf::video::FlvError);
    EXPECT_THROW(readFlv(std::vector<uint8_t>(100, 0)), swf::video::FlvError);
}

} // namespace
