// Embedded video at the size movies of the time carried: a 640 x 480 Sorenson H.263
// stream at 30 frames a second, made by FFmpeg's command-line tool. Playing must cost
// well under a core (the "core_share" counter: the part of one core that decoding and
// painting 30 frames a second takes), and a seek landing 11 frames after a key frame
// must take under 20 ms.

#include "engine/Player.h"
#include "engine/video/VideoFrames.h"
#include "tests/engine/video/VideoFixture.h"

#include <benchmark/benchmark.h>

#include <QImage>
#include <QPainter>

#include <chrono>

namespace {

constexpr int kWidth = 640;
constexpr int kHeight = 480;
constexpr int kFrames = 90;
constexpr int kKeyInterval = 30;

const lanfan::test::EncodedStream& stream()
{
    static const lanfan::test::EncodedStream encoded =
        lanfan::test::encodeTestStream("flv", 2, kWidth, kHeight, kFrames, kKeyInterval);
    return encoded;
}

// `flags` is DefineVideoStream's flags byte: 0 leaves deblocking to each picture.
std::vector<uint8_t> movie(uint8_t flags = 0)
{
    swf::test::SwfWriter writer(lanfan::test::videoMovieOptions(kWidth, kHeight));
    writer.tag(60, lanfan::test::defineVideoStreamBody(stream(), 1, flags));
    for (int n = 0; n < kFrames; ++n) {
        writer.tag(61, lanfan::test::videoFrameBody(1, static_cast<uint16_t>(n), stream().packets[size_t(n)]), true);
        swf::test::Place place;
        place.ratio = static_cast<uint16_t>(n);
        if (n == 0)
            place.characterId = 1;
        else
            place.move = true;
        writer.placeObject2(place);
        writer.showFrame();
    }
    return writer.build();
}

bool haveStream(benchmark::State& state)
{
    if (stream().packets.size() == size_t(kFrames))
        return true;
    state.SkipWithError("ffmpeg could not make the test stream");
    return false;
}

// One frame of playing: the clock steps, the picture is decoded and painted. The
// argument is the stream's flags byte: 4 asks for deblocking of every picture, the
// costliest way to show them.
void BM_PlayH263(benchmark::State& state)
{
    if (!haveStream(state))
        return;
    swf::Player player;
    player.loadBytes(movie(static_cast<uint8_t>(state.range(0))));
    QImage image(kWidth, kHeight, QImage::Format_ARGB32_Premultiplied);
    for (auto _ : state) {
        player.advance();
        QPainter painter(&image);
        player.paint(painter, QRectF(0, 0, kWidth, kHeight), swf::ScaleMode::ShowAll, swf::RenderQuality::High);
    }
    state.counters["core_share"] =
        benchmark::Counter(double(state.iterations()) / 30.0, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
// CPU time of the whole process: what decoding and painting cost on however many
// threads Qt and libavcodec use, so the share is not understated, and what other
// programs on a busy machine take is not counted.
BENCHMARK(BM_PlayH263)->Arg(0)->Arg(4)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();

// A seek with nothing kept: frames 11 and 41 lie 11 frames after key frames 0 and 30,
// and going from one to the other always starts at a key frame.
void BM_SeekElevenAfterKeyFrame(benchmark::State& state)
{
    if (!haveStream(state))
        return;
    auto video = lanfan::test::embedded(stream());
    swf::video::VideoFrames frames(video);
    int target = 11;
    for (auto _ : state) {
        state.PauseTiming();
        frames.dropCache();
        target = target == 11 ? 41 : 11;
        state.ResumeTiming();
        benchmark::DoNotOptimize(frames.picture(target));
    }
}
BENCHMARK(BM_SeekElevenAfterKeyFrame)->Unit(benchmark::kMillisecond);

} // namespace
