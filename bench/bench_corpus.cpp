// Rendering the whole conformance corpus: every movie, every frame (up to the frames its
// case runs, at most 100), painted at the movie's stage size at High quality. Only the
// paint is timed; stepping the timeline and its scripts is not.
//
// Reported: the median, 90th and 99th percentile time of a frame over all frames, the
// number of frames over 4 ms, and the slowest movie by its mean frame time (as the
// label, with the five slowest movies listed on stderr).
//
//   QT_QPA_PLATFORM=offscreen bench_corpus [--benchmark_filter=...]

#include "engine/Player.h"

#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

namespace {

using namespace swf;

struct Case {
    std::string name;
    int frames = 1;
};

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
        c.frames = std::clamp(std::atoi(frames.c_str()), 1, 100);
        cases.push_back(c);
    }
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
    for (auto _ : state) {
        frameMs.clear();
        movieMeans.clear();
        for (const Case& c : cases) {
            Player player;
            try {
                player.loadFile(std::filesystem::path(LANFAN_CORPUS_DIR) / c.name / "test.swf");
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
                auto start = std::chrono::steady_clock::now();
                {
                    QPainter painter(&image);
                    player.paint(painter, area, ScaleMode::ShowAll, RenderQuality::High);
                }
                double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
                frameMs.push_back(ms);
                total += ms;
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

} // namespace

BENCHMARK_MAIN();
