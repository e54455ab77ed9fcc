// Random seeks on a long movie whose display list changes on every frame and which
// runs a script on every frame: the seek is the main timeline's goto, and its
// placement plans must keep each one well under the 2 ms a responsive seek bar needs.
// Reports the median and 99th percentile of single seeks as counters.

#include "engine/Player.h"
#include "tests/support/SwfWriter.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <random>
#include <vector>

namespace {

constexpr int kFrames = 10000;

const std::vector<uint8_t>& longMovie()
{
    static const std::vector<uint8_t> bytes = swf::test::busyMovie(kFrames, 42, true).build();
    return bytes;
}

double percentile(std::vector<double> samples, double p)
{
    std::ranges::sort(samples);
    size_t index = std::min(samples.size() - 1, static_cast<size_t>(p * static_cast<double>(samples.size() - 1) + 0.5));
    return samples[index];
}

void reportPercentiles(benchmark::State& state, const std::vector<double>& micros)
{
    if (micros.empty())
        return;
    state.counters["median_us"] = percentile(micros, 0.5);
    state.counters["p99_us"] = percentile(micros, 0.99);
    state.counters["max_us"] = *std::ranges::max_element(micros);
}

// Seeks to random frames once every snapshot exists (the steady state of a seek bar).
void BM_RandomSeek(benchmark::State& state)
{
    swf::Player player;
    player.loadBytes(longMovie());
    player.advance();
    player.seek(kFrames);  // builds the snapshots once
    std::mt19937 random(1234);
    std::uniform_int_distribution<int> frame(1, kFrames);
    std::vector<double> micros;
    for (auto _ : state) {
        int target = frame(random);
        auto start = std::chrono::steady_clock::now();
        player.seek(target);
        auto end = std::chrono::steady_clock::now();
        benchmark::DoNotOptimize(player.currentFrame());
        micros.push_back(std::chrono::duration<double, std::micro>(end - start).count());
    }
    reportPercentiles(state, micros);
}
BENCHMARK(BM_RandomSeek)->Iterations(2000)->Unit(benchmark::kMicrosecond);

// The first seek to the last frame on a fresh load, which replays the placements of
// the whole movie once to take the snapshots.
void BM_FirstSeekToEnd(benchmark::State& state)
{
    for (auto _ : state) {
        state.PauseTiming();
        swf::Player player;
        player.loadBytes(longMovie());
        player.advance();
        state.ResumeTiming();
        player.seek(kFrames);
        benchmark::DoNotOptimize(player.currentFrame());
    }
}
BENCHMARK(BM_FirstSeekToEnd)->Iterations(5)->Unit(benchmark::kMillisecond);

void BM_Load(benchmark::State& state)
{
    for (auto _ : state) {
        swf::Player player;
        player.loadBytes(longMovie());
        benchmark::DoNotOptimize(player.frameCount());
    }
}
BENCHMARK(BM_Load)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
