#include "tools/lanfan-swf/Options.h"

#include <charconv>

namespace lanfan::tool {

const char* const kUsage =
    "usage: lanfan-swf info FILE\n"
    "       lanfan-swf actions FILE\n"
    "       lanfan-swf run FILE [--frames N] [--seek F [--then M]] [--requests]\n"
    "       lanfan-swf render FILE [--frames N] [--seek F [--then M]] [--size WxH] [--quality low|medium|high] --out IMAGE.png|IMAGE.bmp\n"
    "       lanfan-swf audio FILE [--frames N] --out SOUND.wav\n";

namespace {

std::optional<int> parseCount(const std::string& text)
{
    int value = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || value < 0)
        return std::nullopt;
    return value;
}

// A frame number as the player's seek takes it: any 32-bit integer, clamped there.
std::optional<int> parseFrame(const std::string& text)
{
    int value = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || text.empty() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

// "WxH" with both sides 1..8192.
std::optional<std::pair<int, int>> parseSize(const std::string& text)
{
    size_t x = text.find('x');
    if (x == std::string::npos)
        return std::nullopt;
    auto width = parseCount(text.substr(0, x));
    auto height = parseCount(text.substr(x + 1));
    if (!width || !height || *width < 1 || *height < 1 || *width > 8192 || *height > 8192)
        return std::nullopt;
    return std::pair{*width, *height};
}

bool endsWith(const std::string& s, const std::string& suffix)
{
    if (s.size() < suffix.size())
        return false;
    for (size_t i = 0; i < suffix.size(); ++i) {
        char c = s[s.size() - suffix.size() + i];
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
        if (c != suffix[i])
            return false;
    }
    return true;
}

} // namespace

std::optional<Options> parseOptions(const std::vector<std::string>& args, std::string& error)
{
    if (args.empty()) {
        error = "no command given";
        return std::nullopt;
    }
    Options options;
    const std::string& command = args[0];
    if (command == "info")
        options.command = Command::Info;
    else if (command == "run")
        options.command = Command::Run;
    else if (command == "render")
        options.command = Command::Render;
    else if (command == "actions")
        options.command = Command::Actions;
    else if (command == "audio")
        options.command = Command::Audio;
    else {
        error = "unknown command '" + command + "'";
        return std::nullopt;
    }

    bool haveFile = false;
    bool haveThen = false;
    for (size_t i = 1; i < args.size(); ++i) {
        const std::string& arg = args[i];
        bool takesValue = options.command != Command::Info && options.command != Command::Actions &&
                          (arg == "--frames" || arg == "--out" || arg == "--size" || arg == "--seek" || arg == "--then" ||
                           arg == "--quality");
        if (takesValue) {
            if (i + 1 >= args.size()) {
                error = arg + " needs a value";
                return std::nullopt;
            }
            const std::string& value = args[++i];
            if (arg == "--frames" || arg == "--then") {
                auto count = parseCount(value);
                if (!count) {
                    error = arg + " needs a whole number of frames, not '" + value + "'";
                    return std::nullopt;
                }
                (arg == "--frames" ? options.frames : options.thenFrames) = *count;
                haveThen = haveThen || arg == "--then";
            } else if (arg == "--seek") {
                options.seek = parseFrame(value);
                if (!options.seek) {
                    error = "--seek needs a frame number, not '" + value + "'";
                    return std::nullopt;
                }
            } else if (arg == "--size" && options.command == Command::Render) {
                options.size = parseSize(value);
                if (!options.size) {
                    error = "--size needs WIDTHxHEIGHT in pixels, each 1 to 8192, not '" + value + "'";
                    return std::nullopt;
                }
            } else if (arg == "--quality" && options.command == Command::Render) {
                if (value == "low")
                    options.quality = swf::RenderQuality::Low;
                else if (value == "medium")
                    options.quality = swf::RenderQuality::Medium;
                else if (value == "high")
                    options.quality = swf::RenderQuality::High;
                else {
                    error = "--quality needs low, medium or high, not '" + value + "'";
                    return std::nullopt;
                }
            } else if (arg == "--quality") {
                error = "--quality applies to render only";
                return std::nullopt;
            } else if (arg == "--size") {
                error = "--size applies to render only";
                return std::nullopt;
            } else if (options.command == Command::Render || options.command == Command::Audio) {
                options.out = value;
            } else {
                error = "--out applies to render and audio only";
                return std::nullopt;
            }
        } else if (arg == "--requests" && options.command == Command::Run) {
            options.requests = true;
        } else if (arg.starts_with("--") || haveFile) {
            error = "unexpected argument '" + arg + "'";
            return std::nullopt;
        } else {
            options.file = arg;
            haveFile = true;
        }
    }
    if (!haveFile) {
        error = "no movie file given";
        return std::nullopt;
    }
    if (haveThen && !options.seek) {
        error = "--then counts the frames after --seek, which is missing";
        return std::nullopt;
    }
    if (options.command == Command::Render) {
        if (options.out.empty()) {
            error = "render needs --out IMAGE.png or IMAGE.bmp";
            return std::nullopt;
        }
        if (!endsWith(options.out, ".png") && !endsWith(options.out, ".bmp")) {
            error = "the output image must end in .png or .bmp";
            return std::nullopt;
        }
    }
    if (options.command == Command::Audio) {
        if (options.out.empty()) {
            error = "audio needs --out SOUND.wav";
            return std::nullopt;
        }
        if (!endsWith(options.out, ".wav")) {
            error = "the output sound must end in .wav";
            return std::nullopt;
        }
    }
    return options;
}

} // namespace lanfan::tool
