#include "tools/lanfan-swf/Commands.h"

#include "engine/Player.h"
#include "engine/SoundExport.h"

#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <ostream>
#include <string>

namespace lanfan::tool {

namespace {

const char* compressionName(swf::Compression c)
{
    switch (c) {
    case swf::Compression::None: return "none";
    case swf::Compression::Zlib: return "zlib";
    case swf::Compression::Lzma: return "lzma";
    }
    return "none";
}

std::string number(double v)
{
    char text[32];
    std::snprintf(text, sizeof text, "%g", v);
    return text;
}

std::string hexColor(swf::Rgba c)
{
    char text[8];
    std::snprintf(text, sizeof text, "#%02x%02x%02x", c.r, c.g, c.b);
    return text;
}

int printInfo(const swf::Player& player, std::ostream& out)
{
    const swf::MovieInfo& info = player.info();
    out << "version: " << info.version << '\n'
        << "compression: " << compressionName(info.compression) << '\n'
        << "width: " << number(info.stage.width() / swf::kTwipsPerPixel) << '\n'
        << "height: " << number(info.stage.height() / swf::kTwipsPerPixel) << '\n'
        << "frame_rate: " << number(info.frameRate) << '\n'
        << "frame_count: " << info.frameCount << '\n'
        << "background: " << hexColor(info.background) << '\n';
    return kExitOk;
}

int runFrames(swf::Player& player, const Options& options, std::ostream& out, std::ostream& err)
{
    if (player.info().hasAs3)
        err << "lanfan-swf: " << options.file << " uses ActionScript 3; its scripts are not run, only its timeline\n";
    player.setTraceSink([&out](const std::string& line) { out << line << '\n'; });
    for (int i = 0; i < options.frames; ++i)
        player.advance();
    out.flush();
    return kExitOk;
}

// Fonts need a GUI application object; the offscreen platform needs no display.
void ensureGuiApplication()
{
    if (QCoreApplication::instance())
        return;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "lanfan-swf";
    static char* argv[] = {name, nullptr};
    static QGuiApplication app(argc, argv);
}

int renderFrames(swf::Player& player, const Options& options, std::ostream& err)
{
    ensureGuiApplication();
    for (int i = 0; i < options.frames; ++i)
        player.advance();
    const swf::Rect& stage = player.info().stage;
    auto pixels = [](int32_t twips) { return std::clamp(static_cast<int>(std::lround(twips / swf::kTwipsPerPixel)), 1, 8192); };
    QImage image = options.size ? QImage(options.size->first, options.size->second, QImage::Format_ARGB32_Premultiplied)
                                : QImage(pixels(stage.width()), pixels(stage.height()), QImage::Format_ARGB32_Premultiplied);
    {
        QPainter painter(&image);
        player.paint(painter, QRectF(0, 0, image.width(), image.height()), swf::ScaleMode::ShowAll,
                     swf::RenderQuality::High);
    }
    if (!image.save(QString::fromStdString(options.out))) {
        err << "lanfan-swf: cannot write " << options.out << '\n';
        return kExitCannotRead;
    }
    return kExitOk;
}

int exportAudio(swf::Player& player, const Options& options, std::ostream& err)
{
    // The mix is built in memory: a few hours of it at most.
    constexpr double kMaxSeconds = 4 * 3600;
    double rate = std::clamp(player.info().frameRate, 1.0, 1000.0);
    if (options.frames / rate > kMaxSeconds) {
        err << "lanfan-swf: " << options.frames << " frames at " << rate << " per second is longer than the "
            << kMaxSeconds / 3600 << " hours audio writes\n";
        return kExitUsage;
    }
    std::vector<int16_t> samples = swf::mixFrames(player, options.frames);
    std::ofstream file(options.out, std::ios::binary);
    if (file)
        swf::writeWav(file, samples);
    if (!file) {
        err << "lanfan-swf: cannot write " << options.out << '\n';
        return kExitCannotRead;
    }
    return kExitOk;
}

} // namespace

int runCommand(const Options& options, std::ostream& out, std::ostream& err)
{
    swf::Player player;
    player.setLimitSink([&err](swf::Player::Limit, const std::string& message) { err << "lanfan-swf: limit reached: " << message << '\n'; });
    player.setNoticeSink([&err](const std::string& message) { err << "lanfan-swf: " << message << '\n'; });
    try {
        player.loadFile(options.file);
    } catch (const swf::LoadError& e) {
        err << "lanfan-swf: " << e.what() << '\n';
        return kExitCannotRead;
    }
    switch (options.command) {
    case Command::Info: return printInfo(player, out);
    case Command::Run: return runFrames(player, options, out, err);
    case Command::Render: return renderFrames(player, options, err);
    case Command::Audio: return exportAudio(player, options, err);
    }
    return kExitUsage;
}

} // namespace lanfan::tool
