// Decode time of stage-sized bitmaps: a 550x400 JPEG (DefineBitsJPEG2 and JPEG3 with an
// alpha plane) and lossless ones (32-bit ARGB and 8-bit colour-mapped), as a movie's
// first frame would decode them; and the BitmapData generators scripts run on a
// stage-sized bitmap (perlinNoise, noise, a whole pixelDissolve).

#include "engine/avm1/BitmapPixels.h"
#include "engine/format/Bitmap.h"

#include <benchmark/benchmark.h>
#include <jpeglib.h>
#include <zlib.h>

#include <cstdlib>
#include <vector>

namespace {

constexpr int kWidth = 550;
constexpr int kHeight = 400;

// A photo-like picture: smooth gradients with some texture, so JPEG and zlib do real work.
uint8_t sample(int x, int y, int c)
{
    return static_cast<uint8_t>((x * (c + 1) + y * (3 - c) + ((x * y) >> 5) % 23) & 255);
}

std::vector<uint8_t> encodeJpeg()
{
    jpeg_compress_struct info{};
    jpeg_error_mgr errors{};
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &buffer, &size);
    info.image_width = kWidth;
    info.image_height = kHeight;
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, 85, TRUE);
    jpeg_start_compress(&info, TRUE);
    std::vector<uint8_t> row(kWidth * 3);
    while (info.next_scanline < info.image_height) {
        const int y = static_cast<int>(info.next_scanline);
        for (int x = 0; x < kWidth; ++x)
            for (int c = 0; c < 3; ++c)
                row[static_cast<size_t>(x * 3 + c)] = sample(x, y, c);
        JSAMPROW p = row.data();
        jpeg_write_scanlines(&info, &p, 1);
    }
    jpeg_finish_compress(&info);
    std::vector<uint8_t> out(buffer, buffer + size);
    jpeg_destroy_compress(&info);
    std::free(buffer);
    return out;
}

std::vector<uint8_t> deflate(const std::vector<uint8_t>& raw)
{
    uLongf size = compressBound(static_cast<uLong>(raw.size()));
    std::vector<uint8_t> out(size);
    compress2(out.data(), &size, raw.data(), static_cast<uLong>(raw.size()), 6);
    out.resize(size);
    return out;
}

std::vector<uint8_t> losslessHeader(uint8_t format)
{
    return {format, uint8_t(kWidth & 255), uint8_t(kWidth >> 8), uint8_t(kHeight & 255), uint8_t(kHeight >> 8)};
}

void append(std::vector<uint8_t>& to, const std::vector<uint8_t>& bytes) { to.insert(to.end(), bytes.begin(), bytes.end()); }

void decodeLoop(benchmark::State& state, int tag, const std::vector<uint8_t>& body)
{
    for (auto _ : state) {
        swf::ByteReader reader(body);
        auto bitmap = swf::decodeBitmapTag(tag, reader, {});
        benchmark::DoNotOptimize(bitmap->pixels.data());
    }
    state.SetItemsProcessed(state.iterations() * kWidth * kHeight);
    state.counters["bytes"] = static_cast<double>(body.size());
}

void BM_Jpeg2(benchmark::State& state) { decodeLoop(state, 21, encodeJpeg()); }

void BM_Jpeg3WithAlpha(benchmark::State& state)
{
    const std::vector<uint8_t> jpeg = encodeJpeg();
    std::vector<uint8_t> alpha(kWidth * kHeight);
    for (size_t i = 0; i < alpha.size(); ++i)
        alpha[i] = static_cast<uint8_t>(i % kWidth < 275 ? 255 : (i / kWidth) & 255);
    const auto n = static_cast<uint32_t>(jpeg.size());
    std::vector<uint8_t> body{uint8_t(n), uint8_t(n >> 8), uint8_t(n >> 16), uint8_t(n >> 24)};
    append(body, jpeg);
    append(body, deflate(alpha));
    decodeLoop(state, 35, body);
}

void BM_Lossless2Argb(benchmark::State& state)
{
    std::vector<uint8_t> raw;
    raw.reserve(kWidth * kHeight * 4);
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) {
            const uint8_t a = static_cast<uint8_t>(x < 275 ? 255 : y & 255);
            raw.insert(raw.end(), {a, uint8_t(sample(x, y, 0) * a / 255), uint8_t(sample(x, y, 1) * a / 255),
                                   uint8_t(sample(x, y, 2) * a / 255)});
        }
    std::vector<uint8_t> body = losslessHeader(5);
    append(body, deflate(raw));
    decodeLoop(state, 36, body);
}

void BM_LosslessColorMapped(benchmark::State& state)
{
    std::vector<uint8_t> raw;
    for (int i = 0; i < 256; ++i)
        raw.insert(raw.end(), {uint8_t(i), uint8_t(255 - i), uint8_t(i * 7)});
    const int row = (kWidth + 3) & ~3;
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < row; ++x)
            raw.push_back(sample(x, y, 1));
    std::vector<uint8_t> body = losslessHeader(3);
    body.push_back(255);
    append(body, deflate(raw));
    decodeLoop(state, 20, body);
}

BENCHMARK(BM_Jpeg2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Jpeg3WithAlpha)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Lossless2Argb)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LosslessColorMapped)->Unit(benchmark::kMillisecond);

// perlinNoise(100, 80, octaves, seed, false, fractal, 7): colour noise of 1 to 6 octaves.
void BM_PerlinNoise(benchmark::State& state)
{
    swf::avm1::BitmapPixels pixels(kWidth, kHeight, true, 0);
    swf::avm1::BitmapPixels::PerlinOptions options;
    options.baseX = 100;
    options.baseY = 80;
    options.octaves = static_cast<int>(state.range(0));
    options.seed = 7;
    options.fractal = true;
    for (auto _ : state) {
        pixels.perlinNoise(options);
        benchmark::DoNotOptimize(pixels.premultipliedPixels().data());
    }
}

void BM_Noise(benchmark::State& state)
{
    swf::avm1::BitmapPixels pixels(kWidth, kHeight, true, 0);
    for (auto _ : state) {
        pixels.noise(42, 0, 255, 15, false);
        benchmark::DoNotOptimize(pixels.premultipliedPixels().data());
    }
}

// Every pixel of the stage dissolved into another bitmap's, in the walk's order.
void BM_PixelDissolveWhole(benchmark::State& state)
{
    swf::avm1::BitmapPixels target(kWidth, kHeight, true, 0xFF000000);
    const swf::avm1::BitmapPixels source(kWidth, kHeight, true, 0xFFFFFFFF);
    for (auto _ : state)
        benchmark::DoNotOptimize(target.pixelDissolve(source, source.bounds(), 0, 0, 1, -1, 0, false));
}

BENCHMARK(BM_PerlinNoise)->Arg(1)->Arg(6)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Noise)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PixelDissolveWhole)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
