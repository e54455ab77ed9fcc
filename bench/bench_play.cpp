// Cost of one played frame in the player area: advance the movie one frame and paint it
// into a 518 x 282 image, as the control does at the movie's frame rate. A 60 fps movie
// needs this well under 16.7 ms.

#include "engine/Player.h"

#include <benchmark/benchmark.h>

#include <QImage>
#include <QPainter>

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

} // namespace
