// Rendering the whole conformance corpus and the real-world movies beside it: every
// movie, every frame (up to the frames its case runs, at most 100; 100 for real-world
// movies), painted at the movie's stage size at High quality (LANFAN_BENCH_QUALITY=low: at Low).
//
// BM_CorpusEveryFrame times the paint only, in the process's CPU time (a busy machine
// does not inflate it; the frame is drawn on a thread of Qt's pool while the caller
// waits, so the caller's own CPU time would leave the drawing out). BM_MovieBudget times advancing and painting together,
// as playing costs, and sets each movie's mean against its frame budget (1 / frame rate).
//
// Reported: the median, 90th and 99th percentile CPU time of a frame over all frames,
// the number of frames over 4 ms, and the slowest movie by its mean (as the label, with
// the five slowest listed on stderr); for budgets, the worst movie's share of its budget,
// and for each real-world movie its mean also in the whole process's CPU time, which
// counts the threads Qt's raster engine fills large areas on, as the window's share of
// a core does.
//
//   QT_QPA_PLATFORM=offscreen [LANFAN_BENCH_CASES=realworld/] bench_corpus [--benchmark_filter=...]

#include "engine/Player.h"

#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

namespace {

using namespace swf;

struct Case {
    std::string name;
    std::filesystem::path file;
    int frames = 1;
};

// CPU time of the whole process, in milliseconds: with the threads Qt's raster engine
// hands large fills to, which the window's share of a core (read from /proc) counts.
double processMs()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}

std::vector<Case> corpusCases()
{
    std::vector<Case> cases;
    std::ifstream tsv(std::filesystem::path(LANFAN_CORPUS_DIR) / "cases.tsv");
    std::string line;
    std::getline(tsv, line);  // the column names
    while (std::getline(tsv, line)) {
        std::istringstream fields(line);
        std::string set, name, version, frames;
        if (!std::getline(fields, set, '\t') || !std::getline(fields, name, '\t') ||
            !std::getline(fields, version, '\t') || !std::getline(fields, frames, '\t'))
            continue;
        Case c;
        c.name = set + "/" + name;
        c.file = std::filesystem::path(LANFAN_CORPUS_DIR) / c.name / "test.swf";
        c.frames = std::clamp(std::atoi(frames.c_str()), 1, 100);
        cases.push_back(c);
    }
    // The real-world movies sit beside the corpus.
    const auto realworld = std::filesystem::path(LANFAN_CORPUS_DIR).parent_path() / "realworld";
    std::error_code error;
    std::vector<std::filesystem::path> movies;
    for (const auto& entry : std::filesystem::directory_iterator(realworld, error)) {
        if (entry.path().extension() == ".swf")
            movies.push_back(entry.path());
    }
    std::sort(movies.begin(), movies.end());
    for (const auto& movie : movies)
        cases.push_back({"realworld/" + movie.filename().string(), movie, 100});
    // LANFAN_BENCH_CASES=TEXT keeps only the movies whose name holds TEXT.
    if (const char* only = std::getenv("LANFAN_BENCH_CASES"); only && *only)
        std::erase_if(cases, [only](const Case& c) { return c.name.find(only) == std::string::npos; });
    return cases;
}

QGuiApplication& app()
{
    static int argc = 1;
    static char name[] = "bench_corpus";
    static char* argv[] = {name, nullptr};
    static QGuiApplication instance(argc, argv);
    return instance;
}

double percentile(std::vector<double> values, double p)
{
    if (values.empty())
        return 0;
    auto at = static_cast<size_t>(std::lround(p * static_cast<double>(values.size() - 1)));
    std::nth_element(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(at), values.end());
    return values[at];
}

// LANFAN_BENCH_QUALITY=low paints at low quality (else high).
RenderQuality benchQuality()
{
    const char* quality = std::getenv("LANFAN_BENCH_QUALITY");
    return quality && std::string(quality) == "low" ? RenderQuality::Low : RenderQuality::High;
}

// The frame's pixels folded into one number, to find frames that changed between two
// builds (LANFAN_BENCH_DUMP=FILE writes one line per movie and frame).
uint64_t pixelPrint(const QImage& image)
{
    uint64_t h = 0xcbf29ce484222325ull;
    for (int y = 0; y < image.height(); ++y) {
        const uchar* row = image.constScanLine(y);
        for (qsizetype i = 0; i < qsizetype(image.width()) * 4; ++i)
            h = (h ^ row[i]) * 0x100000001b3ull;
    }
    return h;
}

void BM_CorpusEveryFrame(benchmark::State& state)
{
    app();
    const std::vector<Case> cases = corpusCases();
    if (cases.empty()) {
        state.SkipWithError("corpus not found");
        return;
    }
    std::vector<double> frameMs;
    std::vector<std::pair<double, std::string>> movieMeans;
    std::ofstream dump;
    if (const char* file = std::getenv("LANFAN_BENCH_DUMP"); file && *file)
        dump.open(file);
    const RenderQuality quality = benchQuality();
    for (auto _ : state) {
        frameMs.clear();
        movieMeans.clear();
        for (const Case& c : cases) {
            Player player;
            try {
                player.loadFile(c.file);
            } catch (const LoadError&) {
                continue;
            }
            const Rect& stage = player.info().stage;
            auto pixels = [](int32_t twips) {
                return std::clamp(static_cast<int>(std::lround(twips / kTwipsPerPixel)), 1, 2048);
            };
            QImage image(pixels(stage.width()), pixels(stage.height()), QImage::Format_ARGB32_Premultiplied);
            const QRectF area(0, 0, image.width(), image.height());
            double total = 0;
            for (int frame = 0; frame < c.frames; ++frame) {
                player.advance();
                const double start = processMs();
                {
                    QPainter painter(&image);
                    player.paint(painter, area, ScaleMode::ShowAll, quality);
                }
                const double ms = processMs() - start;
                frameMs.push_back(ms);
                total += ms;
                if (dump)
                    dump << c.name << ' ' << frame << ' ' << std::hex << pixelPrint(image) << std::dec << '\n';
            }
            movieMeans.emplace_back(total / c.frames, c.name);
        }
    }
    std::sort(movieMeans.rbegin(), movieMeans.rend());
    state.counters["movies"] = static_cast<double>(movieMeans.size());
    state.counters["frames"] = static_cast<double>(frameMs.size());
    state.counters["median_ms"] = percentile(frameMs, 0.5);
    state.counters["p90_ms"] = percentile(frameMs, 0.9);
    state.counters["p99_ms"] = percentile(frameMs, 0.99);
    state.counters["over_4ms"] = static_cast<double>(std::count_if(frameMs.begin(), frameMs.end(), [](double ms) { return ms > 4; }));
    if (!movieMeans.empty()) {
        state.counters["slowest_movie_ms"] = movieMeans.front().first;
        state.SetLabel(movieMeans.front().second);
        std::cerr << "slowest movies (mean ms per frame):\n";
        for (size_t i = 0; i < std::min<size_t>(5, movieMeans.size()); ++i)
            std::cerr << "  " << movieMeans[i].first << "  " << movieMeans[i].second << '\n';
    }
}
BENCHMARK(BM_CorpusEveryFrame)->Iterations(1)->Unit(benchmark::kSecond);

void BM_MovieBudget(benchmark::State& state)
{
    app();
    const std::vector<Case> cases = corpusCases();
    if (cases.empty()) {
        state.SkipWithError("corpus not found");
        return;
    }
    std::vector<double> frameMs;
    // (share of the frame budget, mean ms, name, mean ms of the whole process)
    std::vector<std::tuple<double, double, std::string, double>> movies;
    const RenderQuality quality = benchQuality();
    for (auto _ : state) {
        frameMs.clear();
        movies.clear();
        for (const Case& c : cases) {
            Player player;
            try {
                player.loadFile(c.file);
            } catch (const LoadError&) {
                continue;
            }
            const Rect& stage = player.info().stage;
            auto pixels = [](int32_t twips) {
                return std::clamp(static_cast<int>(std::lround(twips / kTwipsPerPixel)), 1, 2048);
            };
            QImage image(pixels(stage.width()), pixels(stage.height()), QImage::Format_ARGB32_Premultiplied);
            const QRectF area(0, 0, image.width(), image.height());
            double total = 0;
            const double processStart = processMs();
            for (int frame = 0; frame < c.frames; ++frame) {
                const double start = processMs();
                player.advance();
                {
                    QPainter painter(&image);
                    player.paint(painter, area, ScaleMode::ShowAll, quality);
                }
                const double ms = processMs() - start;
                frameMs.push_back(ms);
                total += ms;
            }
            const double rate = player.info().frameRate > 0 ? player.info().frameRate : 12.0;
            const double mean = total / c.frames;
            movies.emplace_back(mean * rate / 1000, mean, c.name, (processMs() - processStart) / c.frames);
        }
    }
    std::sort(movies.rbegin(), movies.rend());
    state.counters["movies"] = static_cast<double>(movies.size());
    state.counters["median_ms"] = percentile(frameMs, 0.5);
    state.counters["worst_frame_ms"] = frameMs.empty() ? 0 : *std::max_element(frameMs.begin(), frameMs.end());
    state.counters["over_quarter_budget"] = static_cast<double>(
        std::count_if(movies.begin(), movies.end(), [](const auto& m) { return std::get<0>(m) > 0.25; }));
    if (!movies.empty()) {
        state.counters["worst_budget_share"] = std::get<0>(movies.front());
        state.SetLabel(std::get<2>(movies.front()));
        std::cerr << "movies by share of their frame budget (share, mean ms per frame):\n";
        for (size_t i = 0; i < std::min<size_t>(10, movies.size()); ++i)
            std::cerr << "  " << std::get<0>(movies[i]) << "  " << std::get<1>(movies[i]) << "  " << std::get<2>(movies[i]) << '\n';
        std::cerr << "real-world movies (share, mean ms per frame, mean ms per frame of the whole process):\n";
        for (const auto& [share, mean, name, process] : movies) {
            if (name.starts_with("realworld/"))
                std::cerr << "  " << share << "  " << mean << "  " << process << "  " << name << '\n';
        }
    }
}
BENCHMARK(BM_MovieBudget)->Iterations(1)->Unit(benchmark::kSecond);

} // namespace

BENCHMARK_MAIN();
