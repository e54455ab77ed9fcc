#include "app/player/ControlData.h"

#include <QFile>
#include <QtEndian>

#include <cstring>
#include <vector>
#include <variant>

namespace lanfan {

namespace {
constexpr uint32_t kMagic = 0x55665567;
constexpr uint32_t kVersion = 0x300;
constexpr uint16_t kTagString = 8;
constexpr uint16_t kTagBool = 11;
constexpr int kValueCount = 16;

using Value = std::variant<QString, bool>;

class Cursor {
public:
    explicit Cursor(const QByteArray& data) : data_(data) {}
    bool read(void* out, qsizetype n)
    {
        if (n < 0 || data_.size() - pos_ < n)
            return false;
        std::memcpy(out, data_.constData() + pos_, static_cast<size_t>(n));
        pos_ += n;
        return true;
    }
    template <class T>
    bool value(T& out)
    {
        T raw;
        if (!read(&raw, sizeof raw))
            return false;
        out = qFromLittleEndian(raw);
        return true;
    }

private:
    const QByteArray& data_;
    qsizetype pos_ = 0;
};

std::optional<Value> readValue(Cursor& in)
{
    uint16_t tag = 0;
    if (!in.value(tag))
        return std::nullopt;
    if (tag == kTagBool) {
        int16_t b = 0;
        if (!in.value(b))
            return std::nullopt;
        return Value{b != 0};
    }
    if (tag != kTagString)
        return std::nullopt;
    uint32_t bytes = 0;
    if (!in.value(bytes) || bytes < 2 || bytes % 2 != 0 || bytes > 65536)
        return std::nullopt;
    std::vector<char16_t> text(bytes / 2);
    if (!in.read(text.data(), bytes))
        return std::nullopt;
    for (char16_t& c : text)
        c = qFromLittleEndian(c);
    return Value{QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()) - 1)};
}
} // namespace

QByteArray mainWindowControlData()
{
    QFile file(QStringLiteral(":/ControlData.bin"));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

std::optional<ControlSettings> parseControlData(const QByteArray& data)
{
    Cursor in(data);
    uint32_t magic = 0, version = 0;
    int32_t cx = 0, cy = 0;
    if (!in.value(magic) || !in.value(version) || !in.value(cx) || !in.value(cy) || magic != kMagic
        || version != kVersion)
        return std::nullopt;
    std::vector<Value> values;
    for (int i = 0; i < kValueCount; ++i) {
        auto v = readValue(in);
        if (!v)
            return std::nullopt;
        values.push_back(*v);
    }
    auto str = [&](int i) { return std::holds_alternative<QString>(values[i]) ? std::get<QString>(values[i]) : QString(); };
    auto flag = [&](int i, bool fallback) {
        return std::holds_alternative<bool>(values[i]) ? std::get<bool>(values[i]) : fallback;
    };
    ControlSettings s;
    s.extentHimetric = QSize(cx, cy);
    s.movie = str(0);
    s.wmode = str(3);
    s.play = flag(4, true);
    s.loop = flag(5, true);
    s.quality = str(6);
    s.salign = str(7);
    s.menu = flag(8, true);
    s.base = str(9);
    s.allowScriptAccess = str(10);
    s.scale = str(11);
    s.deviceFont = flag(12, false);
    s.embedMovie = flag(13, false);
    s.bgColor = str(14);
    return s;
}

} // namespace lanfan
