#include "tests/engine/regression/Hostile.h"

#include "engine/Player.h"
#include "tests/support/GuiApp.h"

#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>

#if defined(__SANITIZE_ADDRESS__)
// Under AddressSanitizer, one allocation past a gigabyte is a fault: no movie's data
// needs that much at once, and what once asked for it (a 4 GiB LZMA dictionary) would
// otherwise pass unnoticed on a machine with memory to spare.
extern "C" const char* __asan_default_options()
{
    return "max_allocation_size_mb=1024:detect_leaks=0";
}
#endif

namespace swf::test {

namespace {

std::filesystem::path inputsDir()
{
    return std::filesystem::path(LANFAN_SOURCE_DIR) / "tests/engine/regression/inputs";
}

} // namespace

PlayOutcome playThreeFramesAndPaint(std::span<const uint8_t> movie)
{
    lanfan::test::ensureGuiApplication();
    PlayOutcome outcome;
    Player player;
    player.setLimitSink([&outcome](Player::Limit, const std::string& message) { outcome.limits.push_back(message); });
    try {
        player.loadBytes(movie);
    } catch (const LoadError& error) {
        outcome.loadError = error.what();
        return outcome;
    }
    for (int i = 0; i < 3; ++i)
        player.advance();
    QImage canvas(48, 36, QImage::Format_ARGB32_Premultiplied);
    canvas.fill(0);
    {
        QPainter painter(&canvas);
        player.paint(painter, QRectF(0, 0, canvas.width(), canvas.height()), ScaleMode::ShowAll, RenderQuality::High);
    }
    outcome.frameCount = player.frameCount();
    outcome.currentFrame = player.currentFrame();
    return outcome;
}

bool PlayOutcome::reported(const std::string& words) const
{
    return std::ranges::any_of(limits, [&](const std::string& line) { return line.find(words) != std::string::npos; });
}

std::vector<uint8_t> regressionInput(const std::string& name)
{
    std::ifstream in(inputsDir() / name, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::vector<std::filesystem::path> regressionInputs()
{
    std::vector<std::filesystem::path> files;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(inputsDir(), ec))
        if (entry.is_regular_file())
            files.push_back(entry.path().filename());
    std::ranges::sort(files);
    return files;
}

} // namespace swf::test
