#include "engine/render/DeviceFonts.h"

#include <QFont>
#include <QFontDatabase>

#include <algorithm>
#include <array>
#include <cmath>
#include <map>
#include <mutex>
#include <tuple>

namespace swf::render {

namespace {

struct FamilyMapping {
    std::string_view name;  // lower case
    const char* family;
};

// Liberation's families have the widths of Arial, Times New Roman and Courier New;
// DejaVu Sans those of Verdana (both descend from Bitstream Vera's metrics). Fonts a
// movie names that are not here go to fontconfig, which knows more aliases.
constexpr std::array kMappings{
    FamilyMapping{"_sans", "Liberation Sans"},
    FamilyMapping{"_serif", "Liberation Serif"},
    FamilyMapping{"_typewriter", "Liberation Mono"},
    FamilyMapping{"arial", "Liberation Sans"},
    FamilyMapping{"helvetica", "Liberation Sans"},
    FamilyMapping{"tahoma", "Liberation Sans"},
    FamilyMapping{"microsoft sans serif", "Liberation Sans"},
    FamilyMapping{"times new roman", "Liberation Serif"},
    FamilyMapping{"times", "Liberation Serif"},
    FamilyMapping{"courier new", "Liberation Mono"},
    FamilyMapping{"courier", "Liberation Mono"},
    FamilyMapping{"verdana", "DejaVu Sans"},
};

// Chinese names of the common Windows fonts, in UTF-8, and their Latin names.
constexpr std::array<std::string_view, 12> kCjkNames{
    "\xE5\xAE\x8B\xE4\xBD\x93",          // 宋体
    "\xE6\x96\xB0\xE5\xAE\x8B\xE4\xBD\x93",  // 新宋体
    "\xE9\xBB\x91\xE4\xBD\x93",          // 黑体
    "\xE5\xBE\xAE\xE8\xBD\xAF\xE9\x9B\x85\xE9\xBB\x91",  // 微软雅黑
    "\xE6\xA5\xB7\xE4\xBD\x93",          // 楷体
    "\xE4\xBB\xBF\xE5\xAE\x8B",          // 仿宋
    "simsun", "nsimsun", "simhei", "microsoft yahei", "kaiti", "fangsong",
};

std::string lower(std::string_view s)
{
    std::string out(s);
    std::ranges::transform(out, out.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return out;
}

} // namespace

QString cjkFamily()
{
    static const QString family = [] {
        const QStringList installed = QFontDatabase::families();
        for (const char* candidate : {"WenQuanYi Micro Hei", "Noto Sans CJK SC", "Noto Sans SC", "AR PL UMing CN"}) {
            if (installed.contains(QString::fromLatin1(candidate)))
                return QString::fromLatin1(candidate);
        }
        return QString();
    }();
    return family;
}

QString deviceFamily(std::string_view name)
{
    const std::string key = lower(name);
    if (key.empty())
        return QStringLiteral("Liberation Serif");  // what a field with no font shows
    for (const FamilyMapping& m : kMappings) {
        if (m.name == key)
            return QString::fromLatin1(m.family);
    }
    if (std::ranges::find(kCjkNames, key) != kCjkNames.end()) {
        const QString cjk = cjkFamily();
        if (!cjk.isEmpty())
            return cjk;
    }
    return QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size()));
}

bool isCjk(char32_t c)
{
    return (c >= 0x2E80 && c <= 0x9FFF)      // radicals, kana, CJK symbols, unified ideographs
        || (c >= 0xAC00 && c <= 0xD7AF)      // Hangul syllables
        || (c >= 0xF900 && c <= 0xFAFF)      // compatibility ideographs
        || (c >= 0xFF00 && c <= 0xFFEF)      // full-width forms
        || (c >= 0x20000 && c <= 0x2FA1F);   // supplementary ideographs
}

DeviceFace deviceFace(std::string_view name, bool bold, bool italic, double pixelSize)
{
    // Resolving a family through fontconfig is slow, and a raw font's glyph cache lives
    // with its size: each name and style is looked up once, each size made once.
    static std::mutex lock;
    static std::map<std::tuple<std::string, bool, bool>, DeviceFace> faces;
    static std::map<std::tuple<std::string, bool, bool, int64_t>, DeviceFace> sized;
    constexpr size_t kMaxSizes = 256;
    std::lock_guard guard(lock);
    const int64_t size64 = std::isfinite(pixelSize) ? std::llround(std::clamp(pixelSize, 0.0, 1e5) * 64) : 0;
    auto sizedKey = std::make_tuple(std::string(name), bold, italic, size64);
    if (auto found = sized.find(sizedKey); found != sized.end())
        return found->second;
    auto key = std::make_tuple(std::string(name), bold, italic);
    auto found = faces.find(key);
    if (found == faces.end()) {
        auto load = [&](const QString& family) {
            QFont font(family);
            font.setPixelSize(100);
            font.setBold(bold);
            font.setItalic(italic);
            font.setHintingPreference(QFont::PreferNoHinting);
            font.setStyleStrategy(QFont::NoFontMerging);
            return QRawFont::fromFont(font);
        };
        DeviceFace loaded{load(deviceFamily(name)), QRawFont()};
        if (!cjkFamily().isEmpty())
            loaded.fallback = load(cjkFamily());
        found = faces.emplace(std::move(key), std::move(loaded)).first;
    }
    DeviceFace face = found->second;
    if (face.primary.isValid())
        face.primary.setPixelSize(size64 / 64.0);
    if (face.fallback.isValid())
        face.fallback.setPixelSize(size64 / 64.0);
    if (sized.size() >= kMaxSizes)
        sized.clear();
    sized.emplace(std::move(sizedKey), face);
    return face;
}

} // namespace swf::render
