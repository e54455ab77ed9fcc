#include "tests/conformance/CorpusCase.h"

#include "engine/Player.h"
#include "engine/data/OutgoingRequest.h"
#include "tests/conformance/TomlLite.h"

#include <QImage>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <vector>

namespace lanfan::conformance {

namespace fs = std::filesystem;

namespace {

std::string readText(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// Line ends to "\n", and no final empty line. A lone "\r" that a script traced is a line
// end too: the reference player's log records it as one.
std::string normaliseTrace(std::string text)
{
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
            continue;
        out += text[i] == '\r' ? '\n' : text[i];
    }
    if (!out.empty() && out.back() == '\n')
        out.pop_back();
    return out;
}

long countOutliers(const QImage& actual, const QImage& expected, int tolerance)
{
    long outliers = 0;
    for (int y = 0; y < actual.height(); ++y) {
        auto* a = reinterpret_cast<const QRgb*>(actual.constScanLine(y));
        auto* e = reinterpret_cast<const QRgb*>(expected.constScanLine(y));
        for (int x = 0; x < actual.width(); ++x) {
            int dr = std::abs(qRed(a[x]) - qRed(e[x]));
            int dg = std::abs(qGreen(a[x]) - qGreen(e[x]));
            int db = std::abs(qBlue(a[x]) - qBlue(e[x]));
            int da = std::abs(qAlpha(a[x]) - qAlpha(e[x]));
            if (std::max({dr, dg, db, da}) > tolerance)
                ++outliers;
        }
    }
    return outliers;
}

// The quality named in a case's inline renderer table, e.g.
// `with_renderer = { optional = false, quality = "low" }`.
swf::RenderQuality rendererQuality(const std::string& table)
{
    if (table.find("\"low\"") != std::string::npos)
        return swf::RenderQuality::Low;
    if (table.find("\"medium\"") != std::string::npos)
        return swf::RenderQuality::Medium;
    return swf::RenderQuality::High;
}

Outcome comparePicture(swf::Player& player, const CaseSpec& spec, std::string& note)
{
    QImage expected(QString::fromStdString(spec.expectedPicture.string()));
    if (expected.isNull()) {
        note = "expected picture unreadable";
        return Outcome::Fail;
    }
    expected = expected.convertToFormat(QImage::Format_ARGB32);
    const swf::Rect& stage = player.info().stage;
    int width = std::clamp(static_cast<int>(std::lround(stage.width() / swf::kTwipsPerPixel)), 1, 8192);
    int height = std::clamp(static_cast<int>(std::lround(stage.height() / swf::kTwipsPerPixel)), 1, 8192);
    if (spec.viewportWidth > 0 && spec.viewportHeight > 0) {
        width = spec.viewportWidth;
        height = spec.viewportHeight;
    }
    QImage actual(width, height, QImage::Format_ARGB32_Premultiplied);
    {
        QPainter painter(&actual);
        player.paint(painter, QRectF(0, 0, width, height), swf::ScaleMode::ShowAll, spec.quality);
    }
    actual = actual.convertToFormat(QImage::Format_ARGB32);
    // For looking at a failing picture beside the expected one.
    if (const char* keep = std::getenv("LANFAN_CONFORMANCE_PICTURES"); keep && *keep) {
        std::string file = spec.name;
        std::ranges::replace(file, '/', '_');
        actual.save(QString::fromStdString((fs::path(keep) / (file + ".png")).string()));
    }
    if (actual.size() != expected.size()) {
        note = "picture size differs";
        return Outcome::Fail;
    }
    for (const PictureCheck& check : spec.pictureChecks) {
        long outliers = countOutliers(actual, expected, check.tolerance);
        if (outliers > check.maxOutliers) {
            note = std::to_string(outliers) + " pixels differ by more than " + std::to_string(check.tolerance);
            return Outcome::Fail;
        }
    }
    return Outcome::Pass;
}

} // namespace

CaseSpec readCase(const fs::path& corpus, const fs::path& dir)
{
    CaseSpec spec;
    spec.dir = dir;
    spec.name = fs::relative(dir, corpus).generic_string();
    TomlLite toml = TomlLite::parse(readText(dir / "test.toml"));
    spec.frames = static_cast<int>(toml.integer("num_frames").value_or(toml.integer("num_ticks").value_or(1)));
    spec.expectedTrace = dir / toml.string("output_path").value_or("output.txt");
    if (toml.hasTable("approximations")) {
        spec.approximation.enabled = true;
        spec.approximation.epsilon = std::strtod(toml.string("approximations.epsilon").value_or("0").c_str(), nullptr);
        spec.approximation.bareNumbers = toml.string("approximations.bare_numbers").value_or("false") == "true";
        spec.approximation.numberPatterns = tomlStringArray(toml.string("approximations.number_patterns").value_or(""));
    }
    spec.logRequests = toml.string("log_fetch").value_or("false") == "true";
    spec.viewportWidth = static_cast<int>(
        std::clamp<int64_t>(toml.integer("player_options.viewport_dimensions.width").value_or(0), 0, 8192));
    spec.viewportHeight = static_cast<int>(
        std::clamp<int64_t>(toml.integer("player_options.viewport_dimensions.height").value_or(0), 0, 8192));

    const std::string image = "image_comparisons.output";
    if (toml.hasTable(image) && fs::exists(dir / "output.expected.png")) {
        spec.expectedPicture = dir / "output.expected.png";
        for (int i = 0; toml.hasTable(image + ".checks." + std::to_string(i)); ++i) {
            std::string at = image + ".checks." + std::to_string(i) + ".";
            spec.pictureChecks.push_back({static_cast<int>(toml.integer(at + "tolerance").value_or(0)),
                                          toml.integer(at + "max_outliers").value_or(0)});
        }
        spec.quality = rendererQuality(toml.string("player_options.with_renderer").value_or(""));
        if (spec.pictureChecks.empty())
            spec.pictureChecks.push_back({static_cast<int>(toml.integer(image + ".tolerance").value_or(0)),
                                          toml.integer(image + ".max_outliers").value_or(0)});
    }
    return spec;
}

std::vector<CaseSpec> discoverCases(const fs::path& corpus)
{
    std::vector<CaseSpec> cases;
    for (const auto& entry : fs::recursive_directory_iterator(corpus)) {
        if (entry.is_regular_file() && entry.path().filename() == "test.swf")
            cases.push_back(readCase(corpus, entry.path().parent_path()));
    }
    std::ranges::sort(cases, {}, &CaseSpec::name);
    return cases;
}

CaseResult runCase(const CaseSpec& spec, std::chrono::milliseconds budget)
{
    CaseResult result;
    result.picture = spec.pictureChecks.empty() ? Outcome::NotApplicable : Outcome::Fail;
    auto deadline = std::chrono::steady_clock::now() + budget;
    try {
        swf::Player player;
        if (spec.viewportWidth > 0 && spec.viewportHeight > 0)
            player.setViewportSize(spec.viewportWidth, spec.viewportHeight);
        player.loadFile(spec.dir / "test.swf");
        std::string trace;
        player.setTraceSink([&trace](const std::string& line) {
            trace += line;
            trace += '\n';
        });
        if (spec.logRequests) {
            player.setRequestObserver([&trace](const swf::data::OutgoingRequest& request) {
                for (const std::string& line : swf::data::describeRequest(request))
                    trace += line + '\n';
            });
        }
        // Sound moves on with the frames, as it would for a player with a sound
        // device: each frame's share of time is mixed (and dropped), so sounds end
        // and say so on the frame they would.
        const double rate = std::clamp(player.info().frameRate, 1.0, 1000.0);
        std::vector<int16_t> soundScratch;
        int64_t mixed = 0;
        for (int frame = 0; frame < spec.frames; ++frame) {
            if (std::chrono::steady_clock::now() > deadline) {
                result.note = "over its time budget";
                return result;
            }
            player.advance();
            const auto due = std::llround((frame + 1) * 44100.0 / rate);
            soundScratch.resize(static_cast<size_t>(due - mixed) * 2);
            player.renderSound(soundScratch);
            mixed = due;
        }
        std::string expected = fs::exists(spec.expectedTrace) ? readText(spec.expectedTrace) : std::string();
        result.trace = tracesMatch(normaliseTrace(trace), normaliseTrace(expected), spec.approximation) ? Outcome::Pass
                                                                                                   : Outcome::Fail;
        if (result.trace == Outcome::Fail)
            result.note = "trace differs";
        if (!spec.pictureChecks.empty()) {
            std::string pictureNote;
            result.picture = comparePicture(player, spec, pictureNote);
            if (result.picture == Outcome::Fail)
                result.note += (result.note.empty() ? "" : "; ") + pictureNote;
        }
    } catch (const std::exception& e) {
        result.note = std::string("error: ") + e.what();
    }
    return result;
}

} // namespace lanfan::conformance
