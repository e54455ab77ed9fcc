// Cost of one played frame in the player area: advance the movie one frame and paint it
// into a 518 x 282 image, as the control does at the movie's frame rate. A 60 fps movie
// needs this well under 16.7 ms.

#include "engine/Player.h"

#include <benchmark/benchmark.h>

#include <QImage>
#include <QPainter>

#include <cstdlib>
#include <filesystem>

namespace {

void playFrames(benchmark::State& state, const std::filesystem::path& movie)
{
    swf::Player player;
    try {
        player.loadFile(movie);
    } catch (const std::exception& e) {
        state.SkipWithError(e.what());
        return;
    }
    player.advance();
    player.play();
    QImage area(518, 282, QImage::Format_ARGB32_Premultiplied);
    for (auto _ : state) {
        player.advance();
        QPainter painter(&area);
        player.paint(painter, QRectF(area.rect()), swf::ScaleMode::ShowAll, swf::RenderQuality::High);
    }
    state.counters["fps_possible"] = benchmark::Counter(static_cast<double>(state.iterations()),
                                                        benchmark::Counter::kIsRate);
}

void BM_PlayDemoMovie(benchmark::State& state)
{
    playFrames(state, std::filesystem::path(LANFAN_SOURCE_DIR) / "docs" / "demo.swf");
}
BENCHMARK(BM_PlayDemoMovie)->Unit(benchmark::kMillisecond);

// The same for any movie, named by LANFAN_PLAY_MOVIE, in the whole process's CPU time:
// the headless figure to set beside bench/player_cpu.sh's share of a core for the
// window playing that movie (share = this time x frame rate).
void BM_PlayNamedMovie(benchmark::State& state)
{
    const char* movie = std::getenv("LANFAN_PLAY_MOVIE");
    if (!movie || !*movie) {
        state.SkipWithError("LANFAN_PLAY_MOVIE is not set");
        return;
    }
    playFrames(state, movie);
}
BENCHMARK(BM_PlayNamedMovie)->MeasureProcessCPUTime()->Unit(benchmark::kMillisecond);

} // namespace
