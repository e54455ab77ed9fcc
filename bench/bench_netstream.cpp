// A script playing a local FLV file through NetStream into a video on the stage: a
// 640 x 480 Sorenson H.263 file at 30 pictures a second, made by FFmpeg's command-line
// tool. Playing must cost well under a core (the "core_share" counter: the part of one
// core that stepping, decoding and painting 30 frames a second takes); a picture 11
// frames after a key frame, reached with nothing kept, must take under 20 ms; and a
// script's seek, through the whole player, is measured as the frame that makes it.

#include "engine/Player.h"
#include "engine/video/FlvMedia.h"
#include "engine/video/VideoFrames.h"
#include "tests/engine/video/FlvFixture.h"

#include <benchmark/benchmark.h>

#include <QImage>
#include <QPainter>

#include <filesystem>
#include <fstream>

#include <unistd.h>

namespace {

using swf::test::ActionBuilder;

constexpr int kWidth = 640;
constexpr int kHeight = 480;
constexpr double kSeconds = 4;
constexpr int kKeyInterval = 30;
constexpr uint8_t kNewObject = 0x40, kSetVariable = 0x1D, kCallMethod = 0x52, kPop = 0x17;

const lanfan::test::EncodedFlv& file()
{
    static const lanfan::test::EncodedFlv encoded =
        lanfan::test::encodeFlv("-c:v flv1 -g " + std::to_string(kKeyInterval), "", kWidth, kHeight, kSeconds);
    return encoded;
}

bool haveFile(benchmark::State& state)
{
    if (!file().bytes.empty())
        return true;
    state.SkipWithError("ffmpeg could not make the test file");
    return false;
}

// A folder holding the movie and clip.flv beside it, gone with the object.
class MovieFolder {
public:
    explicit MovieFolder(const std::vector<uint8_t>& swf)
        : dir_(std::filesystem::temp_directory_path() / ("lanfan-bench-netstream-" + std::to_string(::getpid())))
    {
        std::filesystem::create_directories(dir_);
        write(dir_ / "clip.flv", file().bytes);
        write(dir_ / "movie.swf", swf);
    }
    ~MovieFolder() { std::filesystem::remove_all(dir_); }
    MovieFolder(const MovieFolder&) = delete;
    MovieFolder& operator=(const MovieFolder&) = delete;

    std::filesystem::path movie() const { return dir_ / "movie.swf"; }

private:
    static void write(const std::filesystem::path& path, const std::vector<uint8_t>& bytes)
    {
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    }
    std::filesystem::path dir_;
};

// Frame 1 plays clip.flv into the stage video "vid"; then `frames` empty frames; then
// one frame for each of `seekScripts` and, when there are any, a last frame going back
// to the first of those, for ever.
std::vector<uint8_t> movie(int frames, const std::vector<ActionBuilder>& seekScripts = {})
{
    swf::test::SwfWriter writer(lanfan::test::videoMovieOptions(kWidth, kHeight));
    lanfan::test::EncodedStream placeholder;
    placeholder.codec = 2;
    placeholder.width = kWidth;
    placeholder.height = kHeight;
    writer.tag(60, lanfan::test::defineVideoStreamBody(placeholder, 1, 0));
    swf::test::Place place;
    place.characterId = 1;
    place.name = "vid";
    writer.placeObject2(place);
    ActionBuilder a;
    a.pushString("nc").pushInt(0).pushString("NetConnection").op(kNewObject).op(kSetVariable);
    a.pushNull().pushInt(1).getVariable("nc").pushString("connect").op(kCallMethod).op(kPop);
    a.pushString("ns").getVariable("nc").pushInt(1).pushString("NetStream").op(kNewObject).op(kSetVariable);
    a.getVariable("ns").pushInt(1).getVariable("vid").pushString("attachVideo").op(kCallMethod).op(kPop);
    a.pushString("clip.flv").pushInt(1).getVariable("ns").pushString("play").op(kCallMethod).op(kPop);
    writer.doAction(a);
    writer.showFrame();
    for (int i = 0; i < frames; ++i)
        writer.showFrame();
    for (const ActionBuilder& seek : seekScripts) {
        writer.doAction(seek);
        writer.showFrame();
    }
    if (!seekScripts.empty()) {
        writer.doAction(ActionBuilder().gotoFrame(static_cast<uint16_t>(frames + 1)).play());
        writer.showFrame();
    }
    return writer.build();
}

void paint(swf::Player& player, QImage& image)
{
    QPainter painter(&image);
    player.paint(painter, QRectF(0, 0, kWidth, kHeight), swf::ScaleMode::ShowAll, swf::RenderQuality::High);
}

// One frame of playing: the clock steps, the stream's picture is decoded and painted.
// The file is played from the start again (untimed) before it runs out.
void BM_NetStreamPlayH263(benchmark::State& state)
{
    if (!haveFile(state))
        return;
    const int frames = static_cast<int>(kSeconds * 30);
    MovieFolder folder(movie(frames));
    QImage image(kWidth, kHeight, QImage::Format_ARGB32_Premultiplied);
    auto player = std::make_unique<swf::Player>();
    int played = frames;
    for (auto _ : state) {
        if (played + 3 >= frames) {
            state.PauseTiming();
            player = std::make_unique<swf::Player>();
            player->loadFile(folder.movie());
            player->advance();  // frame 1: the script plays the file
            played = 0;
            state.ResumeTiming();
        }
        player->advance();
        paint(*player, image);
        ++played;
    }
    state.counters["core_share"] =
        benchmark::Counter(double(state.iterations()) / 30.0, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_NetStreamPlayH263)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();

// The file's picture 11 frames after a key frame with nothing kept: pictures 41 and 71
// lie 11 after key frames 30 and 60, and going from one to the other starts at one.
void BM_NetStreamPictureElevenAfterKeyFrame(benchmark::State& state)
{
    if (!haveFile(state))
        return;
    const swf::video::FlvMedia media = swf::video::readFlv(file().bytes);
    if (!media.video) {
        state.SkipWithError("the file has no video");
        return;
    }
    swf::video::VideoFrames frames(media.video);
    int target = kKeyInterval + 11;
    for (auto _ : state) {
        state.PauseTiming();
        frames.dropCache();
        target = target == kKeyInterval + 11 ? 2 * kKeyInterval + 11 : kKeyInterval + 11;
        state.ResumeTiming();
        benchmark::DoNotOptimize(frames.picture(target));
    }
}
BENCHMARK(BM_NetStreamPictureElevenAfterKeyFrame)->Unit(benchmark::kMillisecond);

// A script's ns.seek through the whole player: each timed frame seeks (to 41/30 s and
// 71/30 s in turn, 11 pictures past a key frame; a seek lands on the key frame at or
// before, as the reference player's do) and is painted.
void BM_NetStreamScriptSeek(benchmark::State& state)
{
    if (!haveFile(state))
        return;
    std::vector<ActionBuilder> seeks;
    for (int picture : {kKeyInterval + 11, 2 * kKeyInterval + 11}) {
        ActionBuilder seek;
        seek.pushNumber(picture / 30.0).pushInt(1).getVariable("ns").pushString("seek").op(kCallMethod).op(kPop);
        seeks.push_back(seek);
    }
    MovieFolder folder(movie(2, seeks));
    swf::Player player;
    player.loadFile(folder.movie());
    QImage image(kWidth, kHeight, QImage::Format_ARGB32_Premultiplied);
    for (int i = 0; i < 3; ++i)
        player.advance();  // the script plays the file, which fills its buffer
    for (auto _ : state) {
        player.advance();
        paint(player, image);
    }
}
BENCHMARK(BM_NetStreamScriptSeek)->Unit(benchmark::kMillisecond);

} // namespace
