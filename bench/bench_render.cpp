// Vector rendering speed: whole frames at stage size (550 x 400), one core.
//
// BM_SyntheticScene draws a scene built with the test shape writer (curved outlines
// with holes, gradients, strokes, a mask) with its objects moving every frame, so the
// per-character path caches are warm but every frame is drawn from scratch.
// BM_StillScene draws that scene standing still or scrolling by whole pixels.
// BM_CorpusMovie loads vector movies of the conformance corpus through swf::Player and
// paints each frame in turn.

#include "engine/Player.h"
#include "engine/render/Renderer.h"
#include "tests/support/ShapeWriter.h"

#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include <benchmark/benchmark.h>

#include <cmath>
#include <filesystem>

namespace {

using namespace swf;
using namespace swf::render;
using namespace lanfan::test;

constexpr int kStageWidth = 550;
constexpr int kStageHeight = 400;

// A flower-like outline of curves with a square hole, gradient filled and stroked.
std::shared_ptr<const ShapeDef> flower(int petals, Rgba inner, Rgba outer)
{
    StyleArrays styles(32);
    GradientSpec g;
    g.matrix = {1000 / 32768.0, 0, 0, 1000 / 32768.0, 0, 0};
    g.stops = {{0, inner}, {255, outer}};
    uint32_t gradient = styles.radial(g);
    uint32_t stroke = styles.line(40, {0, 0, 0, 255});
    RecordWriter w;
    const double step = 2 * M_PI / petals;
    auto at = [](double angle, double radius) {
        return std::pair{static_cast<int32_t>(std::lround(std::cos(angle) * radius)),
                         static_cast<int32_t>(std::lround(std::sin(angle) * radius))};
    };
    auto [x0, y0] = at(0, 600);
    w.moveTo(x0, y0).fill0(gradient).line(stroke);
    for (int i = 0; i < petals; ++i) {
        auto [cx, cy] = at((i + 0.5) * step, 1100);
        auto [x, y] = at((i + 1) * step, 600);
        w.curveTo(cx, cy, x, y);
    }
    // The hole: drawn the other way round with the fill on its other side.
    w.moveTo(-150, -150).fill0(0).fill1(gradient).line(0);
    w.lineTo(150, -150).lineTo(150, 150).lineTo(-150, 150).lineTo(-150, -150);
    return buildShape(32, {-1100, 1100, -1100, 1100}, styles, w);
}

std::shared_ptr<const ShapeDef> panel()
{
    StyleArrays styles(32);
    GradientSpec g;
    g.matrix = {11000 / 32768.0, 0, 0, 8000 / 32768.0, 5500, 4000};
    g.stops = {{0, {30, 60, 120, 255}}, {128, {200, 220, 255, 255}}, {255, {30, 60, 120, 255}}};
    uint32_t fill = styles.linear(g);
    RecordWriter w;
    w.fill0(fill).rect(0, 0, 11000, 8000);
    return buildShape(32, {0, 11000, 0, 8000}, styles, w);
}

struct Scene {
    RenderNode root;
    std::vector<std::shared_ptr<const ShapeDef>> flowers;
};

Scene buildScene()
{
    Scene scene;
    for (int i = 0; i < 8; ++i)
        scene.flowers.push_back(flower(5 + i, {255, static_cast<uint8_t>(30 * i), 0, 255}, {80, 0, static_cast<uint8_t>(200 - 20 * i), 200}));
    RenderNode background;
    background.depth = 1;
    background.shape = panel();
    scene.root.children.push_back(background);
    RenderNode mask;
    mask.depth = 2;
    mask.clipDepth = 50;
    mask.shape = flower(12, {0, 0, 0, 255}, {0, 0, 0, 255});
    mask.matrix = {4.5, 0, 0, 3.5, 5500, 4000};
    scene.root.children.push_back(mask);
    for (int i = 0; i < 120; ++i) {
        RenderNode node;
        node.depth = static_cast<uint16_t>(3 + i);
        node.shape = scene.flowers[i % scene.flowers.size()];
        scene.root.children.push_back(node);
    }
    return scene;
}

void moveObjects(Scene& scene, int frame)
{
    for (size_t i = 2; i < scene.root.children.size(); ++i) {
        RenderNode& node = scene.root.children[i];
        const double angle = frame * 0.05 + static_cast<double>(i);
        const double size = 0.4 + 0.3 * std::sin(frame * 0.03 + static_cast<double>(i));
        node.matrix = {size * std::cos(angle), size * std::sin(angle), -size * std::sin(angle), size * std::cos(angle),
                       std::fmod(i * 937.0 + frame * 40.0, 11000.0), std::fmod(i * 613.0 + frame * 25.0, 8000.0)};
        node.colorTransform.aMul = 0.6f + 0.4f * static_cast<float>((i % 3)) / 2;
    }
}

QGuiApplication& app()
{
    static int argc = 1;
    static char name[] = "bench_render";
    static char* argv[] = {name, nullptr};
    static QGuiApplication instance(argc, argv);
    return instance;
}

void BM_SyntheticScene(benchmark::State& state)
{
    const auto quality = static_cast<Quality>(state.range(0));
    Scene scene = buildScene();
    Renderer renderer;
    QImage image(kStageWidth, kStageHeight, QImage::Format_ARGB32_Premultiplied);
    const Matrix toDevice{1 / 20.0, 0, 0, 1 / 20.0, 0, 0};
    int frame = 0;
    for (auto _ : state) {
        moveObjects(scene, frame++);
        image.fill(Qt::white);
        QPainter painter(&image);
        renderer.render(painter, scene.root, toDevice, quality);
    }
    state.counters["frames/s"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
// CPU time of the whole process: Qt may hand parts of a fill to its own threads.
BENCHMARK(BM_SyntheticScene)->Arg(static_cast<int>(Quality::Low))->Arg(static_cast<int>(Quality::High))->MeasureProcessCPUTime()->Unit(benchmark::kMillisecond);

// The same scene standing still, as a menu or title screen does between its animated
// parts (every frame redrawn in full, as the player draws it), and scrolling by whole
// pixels: what the shapes' kept pixels (span runs, low-quality fills) save.
void BM_StillScene(benchmark::State& state)
{
    const auto quality = static_cast<Quality>(state.range(0));
    const bool scrolls = state.range(1) != 0;
    Scene scene = buildScene();
    moveObjects(scene, 0);
    Renderer renderer;
    QImage image(kStageWidth, kStageHeight, QImage::Format_ARGB32_Premultiplied);
    int frame = 0;
    for (auto _ : state) {
        // Back and forth over eight pixels, a pixel a frame.
        const int step = frame++ % 16;
        const double shift = scrolls ? 20.0 * (step < 8 ? step : 16 - step) : 0.0;
        const Matrix toDevice{1 / 20.0, 0, 0, 1 / 20.0, shift / 20.0, 0};
        image.fill(Qt::white);
        QPainter painter(&image);
        renderer.render(painter, scene.root, toDevice, quality);
    }
    state.counters["frames/s"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_StillScene)
    ->Args({static_cast<int>(Quality::Low), 0})
    ->Args({static_cast<int>(Quality::High), 0})
    ->Args({static_cast<int>(Quality::High), 1})
    ->MeasureProcessCPUTime()
    ->Unit(benchmark::kMillisecond);

void BM_CorpusMovie(benchmark::State& state, const char* relative)
{
    app();
    const std::filesystem::path path = std::filesystem::path(LANFAN_CORPUS_DIR) / relative / "test.swf";
    if (!std::filesystem::exists(path)) {
        state.SkipWithError("corpus movie not found");
        return;
    }
    Player player;
    player.loadFile(path);
    player.setLoop(true);
    QImage image(kStageWidth, kStageHeight, QImage::Format_ARGB32_Premultiplied);
    const QRectF area(0, 0, kStageWidth, kStageHeight);
    for (auto _ : state) {
        state.PauseTiming();
        player.advance();
        state.ResumeTiming();
        QPainter painter(&image);
        player.paint(painter, area, ScaleMode::ShowAll, RenderQuality::High);
    }
}
BENCHMARK_CAPTURE(BM_CorpusMovie, masks, "avm1/visual/simple_shapes/masks_equal_clipdepth")->MeasureProcessCPUTime()->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_CorpusMovie, gradients, "avm1/visual/gradient_same_ratios")->MeasureProcessCPUTime()->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_CorpusMovie, morph, "avm1/visual/cache_as_bitmap/morph")->MeasureProcessCPUTime()->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_CorpusMovie, ming_shapes, "avm1/from_gnash/misc-ming.all/shape_test")->MeasureProcessCPUTime()->Unit(benchmark::kMillisecond);
// Text: a page of small embedded-font text in a field (a log that grows each frame),
// embedded fonts in fields and static texts, and HTML text.
BENCHMARK_CAPTURE(BM_CorpusMovie, text_page, "avm1/from_gnash/misc-ming.all/DefineEditTextTest")->MeasureProcessCPUTime()->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_CorpusMovie, embedded_font, "avm1/from_gnash/misc-ming.all/EmbeddedFontTest")->MeasureProcessCPUTime()->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_CorpusMovie, html_text, "avm1/text/style_changes_in_html")->MeasureProcessCPUTime()->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
