// VP6 in FLV files. FFmpeg has no VP6 encoder, so the files are made here from the VP6
// pictures of the corpus's movies (DefineVideoStream with codec 4, and 5 with alpha):
// each picture goes into an FLV video tag as the container carries it. NetStream must
// then decode the same pictures as the timeline does from the movie itself, both at the
// decoder and on the stage.

#include "engine/Player.h"
#include "engine/format/Container.h"
#include "engine/format/Tags.h"
#include "engine/format/Video.h"
#include "engine/video/FlvMedia.h"
#include "engine/video/VideoFrames.h"
#include "tests/engine/video/FlvFixture.h"

#include <QImage>
#include <QPainter>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include <unistd.h>

using namespace lanfan::test;
using swf::test::ActionBuilder;

namespace {

struct CorpusVideo {
    std::vector<uint8_t> defineBody;               // DefineVideoStream, its id set to 1
    std::vector<std::vector<uint8_t>> frameBodies;  // VideoFrame tags, ids set to 1
    swf::VideoStreamDef def;
    std::vector<std::vector<uint8_t>> pictures;  // the coded pictures alone
};

// The first video stream of a corpus movie with the pictures of its VideoFrame tags.
CorpusVideo corpusVideo(const std::string& caseDir)
{
    const std::vector<uint8_t> file = readFile(std::filesystem::path(LANFAN_CORPUS_DIR) / caseDir / "test.swf");
    CorpusVideo out;
    if (file.empty())
        return out;
    const swf::DecodedMovie movie = swf::decodeMovie(file);
    swf::TagReader tags(std::span(movie.body).subspan(movie.tagsOffset));
    bool haveStream = false;
    while (auto tag = tags.next()) {
        if (tag->code == 60 && !haveStream && tag->body.size() >= 2) {
            out.def = swf::parseDefineVideoStream(tag->body);
            out.defineBody.assign(tag->body.begin(), tag->body.end());
            out.defineBody[0] = 1;
            out.defineBody[1] = 0;
            haveStream = true;
        } else if (tag->code == 61 && haveStream) {
            const swf::VideoFrameTag frame = swf::parseVideoFrame(tag->body);
            if (frame.streamId != out.def.id)
                continue;
            out.pictures.emplace_back(frame.data.begin(), frame.data.end());
            out.frameBodies.emplace_back(tag->body.begin(), tag->body.end());
            out.frameBodies.back()[0] = 1;
            out.frameBodies.back()[1] = 0;
        }
    }
    out.def.id = 1;
    return out;
}

// An FLV file of those pictures at 30 a second: each video tag is the codec byte (frame
// type and codec), VP6's size-adjustment byte (no cropping), then the picture as the
// movie held it (VP6 with alpha keeps its offset to the alpha data in front).
std::vector<uint8_t> flvOf(const CorpusVideo& video)
{
    FlvWriter writer(false, true);
    for (size_t n = 0; n < video.pictures.size(); ++n) {
        const std::vector<uint8_t>& picture = video.pictures[n];
        const bool key = swf::isVideoKeyFrame(video.def.codec(), picture);
        std::vector<uint8_t> body = {static_cast<uint8_t>((key ? 1 : 2) << 4 | video.def.codecId), 0};
        body.insert(body.end(), picture.begin(), picture.end());
        writer.tag(9, static_cast<uint32_t>(n * 1000 / 30), body);
    }
    return writer.bytes();
}

// The timeline's pictures of the stream: what a placed video shows.
std::vector<QImage> timelinePictures(const CorpusVideo& video)
{
    auto stream = std::make_shared<swf::EmbeddedVideo>();
    stream->def = video.def;
    for (size_t n = 0; n < video.pictures.size(); ++n)
        stream->frames.push_back({1, static_cast<uint16_t>(n), video.pictures[n]});
    stream->finish();
    swf::video::VideoFrames frames(stream);
    std::vector<QImage> out;
    for (size_t n = 0; n < video.pictures.size(); ++n)
        out.push_back(frames.picture(static_cast<int>(n)));
    return out;
}

struct Vp6Case {
    const char* caseDir;
    uint8_t codec;
};

class Vp6FlvTest : public ::testing::TestWithParam<Vp6Case> {
protected:
    void SetUp() override
    {
        video_ = corpusVideo(GetParam().caseDir);
        if (video_.pictures.empty())
            GTEST_SKIP() << "the corpus movie " << GetParam().caseDir << " is not there";
        ASSERT_EQ(video_.def.codecId, GetParam().codec);
        dir_ = std::filesystem::temp_directory_path() /
               ("lanfan-vp6flv-" + std::to_string(::getpid()) + "-" + std::to_string(GetParam().codec));
        std::filesystem::create_directories(dir_);
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }

    void write(const std::string& name, const std::vector<uint8_t>& bytes)
    {
        std::ofstream(dir_ / name, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    }

    QImage paintAfter(const std::filesystem::path& movie, int frames)
    {
        swf::Player player;
        std::vector<std::string> notices;
        player.setNoticeSink([&notices](const std::string& line) { notices.push_back(line); });
        player.loadFile(movie);
        for (int i = 0; i < frames; ++i)
            player.advance();
        EXPECT_TRUE(notices.empty()) << notices.front();
        QImage image(video_.def.width, video_.def.height, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::white);
        QPainter painter(&image);
        player.paint(painter, QRectF(0, 0, image.width(), image.height()), swf::ScaleMode::ShowAll,
                     swf::RenderQuality::High);
        return image;
    }

    CorpusVideo video_;
    std::filesystem::path dir_;
};

TEST_P(Vp6FlvTest, TheFileGivesTheSamePicturesAsTheMovie)
{
    const swf::video::FlvMedia media = swf::video::readFlv(flvOf(video_));
    ASSERT_TRUE(media.video);
    EXPECT_TRUE(media.problems.empty()) << media.problems.front();
    EXPECT_EQ(media.video->def.codecId, GetParam().codec);
    ASSERT_EQ(media.video->frames.size(), video_.pictures.size());
    const std::vector<QImage> expected = timelinePictures(video_);
    swf::video::VideoFrames frames(media.video);
    for (size_t n = 0; n < expected.size(); ++n) {
        ASSERT_FALSE(expected[n].isNull());
        const QImage got = frames.picture(static_cast<int>(n));
        ASSERT_EQ(got.size(), expected[n].size()) << n;
        EXPECT_EQ(got.convertToFormat(QImage::Format_ARGB32_Premultiplied),
                  expected[n].convertToFormat(QImage::Format_ARGB32_Premultiplied))
            << "picture " << n;
    }
}

TEST_P(Vp6FlvTest, NetStreamShowsOnTheStageWhatTheTimelineShows)
{
    const int width = video_.def.width;
    const int height = video_.def.height;
    swf::test::MovieOptions options = videoMovieOptions(width, height);

    // The timeline: the stream's first picture placed at the origin.
    swf::test::SwfWriter timeline(options);
    timeline.tag(60, video_.defineBody);
    timeline.tag(61, video_.frameBodies[0], true);
    swf::test::Place place;
    place.characterId = 1;
    place.ratio = 0;
    timeline.placeObject2(place);
    timeline.showFrame();
    write("timeline.swf", timeline.build());

    // NetStream: a stage video of the same stream's size (no pictures of its own) that
    // a script attaches the file to.
    write("clip.flv", flvOf(video_));
    swf::test::SwfWriter streamed(options);
    streamed.tag(60, video_.defineBody);
    swf::test::Place stage;
    stage.characterId = 1;
    stage.name = "vid";
    streamed.placeObject2(stage);
    constexpr uint8_t kNewObject = 0x40, kSetVariable = 0x1D, kCallMethod = 0x52, kPop = 0x17;
    ActionBuilder a;
    a.pushString("nc").pushInt(0).pushString("NetConnection").op(kNewObject).op(kSetVariable);
    a.pushNull().pushInt(1).getVariable("nc").pushString("connect").op(kCallMethod).op(kPop);
    a.pushString("ns").getVariable("nc").pushInt(1).pushString("NetStream").op(kNewObject).op(kSetVariable);
    a.getVariable("ns").pushInt(1).getVariable("vid").pushString("attachVideo").op(kCallMethod).op(kPop);
    a.pushString("clip.flv").pushInt(1).getVariable("ns").pushString("play").op(kCallMethod).op(kPop);
    streamed.doAction(a);
    for (int i = 0; i < 4; ++i)
        streamed.showFrame();
    write("streamed.swf", streamed.build());

    const QImage expected = paintAfter(dir_ / "timeline.swf", 1);
    const QImage got = paintAfter(dir_ / "streamed.swf", 2);
    QImage white(expected.size(), expected.format());
    white.fill(Qt::white);
    EXPECT_NE(expected, white) << "the timeline shows a picture";
    EXPECT_EQ(got, expected);
}

INSTANTIATE_TEST_SUITE_P(Corpus, Vp6FlvTest,
                         ::testing::Values(Vp6Case{"avm1/visual/video/colorconversion/vp6", 4},
                                           Vp6Case{"avm1/visual/video/vp6_alphaoffset", 5}),
                         [](const auto& param) { return param.param.codec == 4 ? std::string("Vp6") : std::string("Vp6Alpha"); });

} // namespace
