// Sound costs. Mixing: 32 voices at once, looping, with envelopes and pan, counted as
// the share of one core that real-time output takes (under 2% wanted). Decoding: three
// minutes of MP3 (under a second of CPU wanted), from the test tone repeated and from
// a real movie's stream music where ../shared/realworld is present.

#include "engine/Player.h"
#include "engine/audio/Decoder.h"
#include "engine/audio/LoadedSound.h"
#include "engine/audio/Mixer.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace {

std::shared_ptr<const swf::audio::Pcm> tone(double hz, size_t frames)
{
    auto pcm = std::make_shared<swf::audio::Pcm>();
    pcm->samples.resize(frames * 2);
    for (size_t i = 0; i < frames; ++i)
        pcm->samples[2 * i] = pcm->samples[2 * i + 1] =
            static_cast<int16_t>(3000 * std::sin(2 * M_PI * hz * static_cast<double>(i) / 44100.0));
    return pcm;
}

void BM_Mix32Voices(benchmark::State& state)
{
    swf::audio::Mixer mixer;
    for (int v = 0; v < 32; ++v) {
        swf::SoundInfo info;
        info.loopCount = 65535;
        if (v % 2)
            info.envelope = {{0, 32768, 0}, {44100, 0, 32768}, {88200, 32768, 32768}};
        mixer.startSound(static_cast<uint16_t>(v + 1), tone(200 + 20 * v, 44100 * 3), info,
                         reinterpret_cast<const void*>(static_cast<uintptr_t>(v % 4 + 1)));
    }
    mixer.setOwnerGains(reinterpret_cast<const void*>(1), {0.5f, 0.2f, 0.5f, 0.2f});
    std::vector<int16_t> out(2 * 1024);
    for (auto _ : state) {
        mixer.mix(out);
        benchmark::DoNotOptimize(out.data());
    }
    // Output frames mixed per second of CPU; real time needs 44,100.
    state.counters["frames_per_cpu_second"] =
        benchmark::Counter(static_cast<double>(state.iterations() * 1024), benchmark::Counter::kIsRate);
    state.counters["voices"] = static_cast<double>(mixer.voiceCount());
}
BENCHMARK(BM_Mix32Voices)->Unit(benchmark::kMicrosecond);

// Three minutes of MP3: the one-second test tone repeated 180 times. Empty (and the
// benchmark skipped) when the tone file is missing.
std::vector<uint8_t> threeMinutesOfMp3(benchmark::State& state)
{
    std::ifstream in(std::filesystem::path(LANFAN_SOURCE_DIR) / "tests/engine/audio/data/sine440_22k.mp3",
                     std::ios::binary);
    std::vector<uint8_t> second{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    std::vector<uint8_t> data;
    if (second.empty()) {
        state.SkipWithError("no test tone");
        return data;
    }
    for (int i = 0; i < 180; ++i)
        data.insert(data.end(), second.begin(), second.end());
    return data;
}

void BM_DecodeThreeMinutesOfMp3(benchmark::State& state)
{
    std::vector<uint8_t> data = threeMinutesOfMp3(state);
    if (data.empty())
        return;
    swf::SoundDef sound;
    sound.encoding = {swf::SoundFormat::Mp3, 2, true, false};
    sound.data = data;
    for (auto _ : state) {
        swf::audio::Pcm pcm = swf::audio::decodeSound(sound, size_t{1} << 30);
        benchmark::DoNotOptimize(pcm.samples.data());
    }
}
BENCHMARK(BM_DecodeThreeMinutesOfMp3)->Unit(benchmark::kMillisecond);

// msv_adelita.swf: 175 s of 44.1 kHz MP3 stream music; loading decodes all of it.
void BM_LoadMovieWithStreamMusic(benchmark::State& state)
{
    auto path = std::filesystem::path(LANFAN_SOURCE_DIR) / "../shared/realworld/msv_adelita.swf";
    if (!std::filesystem::exists(path)) {
        state.SkipWithError("../shared/realworld is not here");
        return;
    }
    for (auto _ : state) {
        swf::Player player;
        player.loadFile(path);
        benchmark::DoNotOptimize(player.frameCount());
    }
}
BENCHMARK(BM_LoadMovieWithStreamMusic)->Unit(benchmark::kMillisecond);

// A local MP3 file a script loads: three minutes, decoded through libavformat in the
// pieces loadSound takes each frame.
void BM_DecodeThreeMinuteLoadedFile(benchmark::State& state)
{
    std::vector<uint8_t> file = threeMinutesOfMp3(state);
    if (file.empty())
        return;
    size_t frames = 0;
    for (auto _ : state) {
        swf::audio::SoundFileDecoder decoder(file, size_t{1} << 30);
        while (decoder.decodeSome(2 * 44100)) {
        }
        frames = decoder.pcm()->frames();
    }
    state.counters["seconds_decoded"] = static_cast<double>(frames) / 44100.0;
}
BENCHMARK(BM_DecodeThreeMinuteLoadedFile)->Unit(benchmark::kMillisecond);

// What the window's sound output thread does for each second of a movie with stream
// music: the audio sink pulls the mix in 50 ms blocks. There is no sound device on the
// build machines, so the pulls are made here as the sink would make them (a null
// sink); the CPU time per iteration (cpu_per_audio_second) is the thread's cost per
// second of playing, a share of one core when read as a fraction of a second.
void BM_OutputThreadStreamMusic(benchmark::State& state)
{
    auto path = std::filesystem::path(LANFAN_SOURCE_DIR) / "../shared/realworld/msv_adelita.swf";
    if (!std::filesystem::exists(path)) {
        state.SkipWithError("../shared/realworld is not here");
        return;
    }
    swf::Player player;
    player.loadFile(path);
    player.advance();
    auto mixer = player.mixer();
    constexpr size_t kPull = 44100 / 20;
    std::vector<int16_t> block(2 * kPull);
    for (auto _ : state) {
        for (int i = 0; i < 20; ++i) {
            mixer->mix(block);
            benchmark::DoNotOptimize(block.data());
        }
    }
    state.counters["voices"] = static_cast<double>(mixer->voiceCount());
    state.counters["cpu_per_audio_second"] = benchmark::Counter(static_cast<double>(state.iterations()),
                                                         benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
// 150 seconds: within the movie's 175 s of music, so every pull mixes it.
BENCHMARK(BM_OutputThreadStreamMusic)->Unit(benchmark::kMicrosecond)->Iterations(150);

} // namespace

BENCHMARK_MAIN();
