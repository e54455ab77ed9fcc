#include "tools/lanfan-swf/Commands.h"

#include "engine/Player.h"
#include "engine/data/OutgoingRequest.h"
#include "engine/format/Container.h"
#include "tools/lanfan-swf/ActionListing.h"
#include "engine/SoundExport.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <vector>
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

// The frames the options ask for: the first ones, then a seek with playing on (the
// seek bar with its check box ticked) and the frames after it.
void playFrames(swf::Player& player, const Options& options)
{
    for (int i = 0; i < options.frames; ++i)
        player.advance();
    if (!options.seek)
        return;
    player.seek(*options.seek);
    player.play();
    for (int i = 0; i < options.thenFrames; ++i)
        player.advance();
}

// Fonts need a GUI application object; the offscreen platform needs no display.
void ensureGuiApplication()
{
    if (QCoreApplication::instance())
        return;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // Starting, Qt probes the per-user runtime directory (for a sandbox marker). A run
    // outside a login session (cron, CI, ssh) has none, and Qt would warn on stderr and
    // make up /tmp/runtime-USER. The tool keeps nothing there: it gets a private, empty
    // one for its lifetime, removed at exit.
    if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR")) {
        static QTemporaryDir runtimeDir(QDir::tempPath() + QStringLiteral("/lanfan-swf-runtime-XXXXXX"));
        if (runtimeDir.isValid()) {
            QFile::setPermissions(runtimeDir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
            qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtimeDir.path()));
        }
    }
    static int argc = 1;
    static char name[] = "lanfan-swf";
    static char* argv[] = {name, nullptr};
    static QGuiApplication app(argc, argv);
}

int runFrames(swf::Player& player, const Options& options, std::ostream& out, std::ostream& err)
{
    if (player.info().hasAs3)
        err << "lanfan-swf: " << options.file << " uses ActionScript 3; its scripts are not run, only its timeline\n";
    // Scripts measure text (textWidth, scroll limits) with the same fonts as drawing.
    ensureGuiApplication();
    player.setTraceSink([&out](const std::string& line) { out << line << '\n'; });
    if (options.requests) {
        player.setRequestObserver([&out](const swf::data::OutgoingRequest& request) {
            for (const std::string& line : swf::data::describeRequest(request))
                out << line << '\n';
        });
    }
    playFrames(player, options);
    out.flush();
    return kExitOk;
}

int renderFrames(swf::Player& player, const Options& options, std::ostream& err)
{
    ensureGuiApplication();
    playFrames(player, options);
    const swf::Rect& stage = player.info().stage;
    auto pixels = [](int32_t twips) { return std::clamp(static_cast<int>(std::lround(twips / swf::kTwipsPerPixel)), 1, 8192); };
    QImage image = options.size ? QImage(options.size->first, options.size->second, QImage::Format_ARGB32_Premultiplied)
                                : QImage(pixels(stage.width()), pixels(stage.height()), QImage::Format_ARGB32_Premultiplied);
    {
        QPainter painter(&image);
        player.paint(painter, QRectF(0, 0, image.width(), image.height()), swf::ScaleMode::ShowAll,
                     options.quality);
    }
    if (!image.save(QString::fromStdString(options.out))) {
        err << "lanfan-swf: cannot write " << options.out << '\n';
        return kExitCannotRead;
    }
    return kExitOk;
}

// The movie file's bytes for the commands that read it without a player; nothing
// (and one line on `err`) when it cannot be read.
std::optional<std::vector<uint8_t>> readMovieFile(const std::string& file, std::ostream& err)
{
    std::error_code ec;
    if (std::filesystem::is_directory(file, ec)) {
        err << "lanfan-swf: cannot read " << file << ": it is a folder\n";
        return std::nullopt;
    }
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        err << "lanfan-swf: cannot read " << file << ": " << std::strerror(errno) << '\n';
        return std::nullopt;
    }
    std::vector<uint8_t> bytes;
    char buffer[65536];
    while (in.read(buffer, sizeof buffer) || in.gcount() > 0) {
        bytes.insert(bytes.end(), buffer, buffer + in.gcount());
        if (bytes.size() > swf::kMaxMovieBytes) {
            err << "lanfan-swf: cannot read " << file << ": larger than the " << (swf::kMaxMovieBytes >> 20)
                << " MiB limit\n";
            return std::nullopt;
        }
    }
    if (in.bad()) {
        err << "lanfan-swf: cannot read " << file << ": read failed\n";
        return std::nullopt;
    }
    return bytes;
}

int listMovieActions(const Options& options, std::ostream& out, std::ostream& err)
{
    auto bytes = readMovieFile(options.file, err);
    if (!bytes)
        return kExitCannotRead;
    int code = listActions(*bytes, out, err);
    out.flush();
    return code;
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
    if (options.command == Command::Actions)
        return listMovieActions(options, out, err);
    swf::Player player;
    player.setLimitSink([&err](swf::Player::Limit, const std::string& message) { err << "lanfan-swf: limit reached: " << message << '\n'; });
    player.setNoticeSink([&err](const std::string& message) { err << "lanfan-swf: notice: " << message << '\n'; });
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
    case Command::Actions: break;
    case Command::Audio: return exportAudio(player, options, err);
    }
    return kExitUsage;
}

} // namespace lanfan::tool
