// flash.display.BitmapData: a bitmap scripts make and paint pixel by pixel. Methods
// answer as the reference player's do: -1 for a disposed bitmap or too few arguments,
// -2 when the source bitmap is not a BitmapData, -3 when it is disposed, -4 when the
// source rectangle is not one; 0 (or the method's result) on success. Pixel memory
// counts against a movie-wide budget; a bitmap past it is not made.

#include "engine/avm1/BitmapPixels.h"
#include "engine/avm1/ClipDisplayMembers.h"
#include "engine/avm1/FilterObject.h"
#include "engine/avm1/Geom.h"
#include "engine/avm1/Machine.h"
#include "engine/avm1/MovieClipObject.h"
#include "engine/avm1/Native.h"
#include "engine/avm1/Packages.h"
#include "engine/avm1/ScriptBitmaps.h"
#include "engine/format/Bitmap.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

namespace swf::avm1 {

namespace {

// Pixel bytes all of a movie's bitmaps may hold at once.
constexpr size_t kBitmapBudgetBytes = size_t{512} << 20;

// The pixels where drawings and attached bitmaps that show the bitmap reach them too,
// and the picture of them last shown.
class SharedPixels final : public LiveBitmap {
public:
    std::unique_ptr<BitmapPixels> pixels;  // null once disposed

    std::shared_ptr<const BitmapData> current() const override
    {
        if (!pixels) {
            shown_.reset();
            return nullptr;
        }
        const std::vector<uint32_t>& now = pixels->premultipliedPixels();
        if (!shown_ || shown_->width != pixels->width() || shown_->height != pixels->height() || shown_->pixels != now)
            shown_ = std::make_shared<const BitmapData>(BitmapData{pixels->width(), pixels->height(), now});
        return shown_;
    }

private:
    mutable std::shared_ptr<const BitmapData> shown_;
};

// Holds a bitmap's pixels as a unique pointer would, inside the shared place above.
class PixelsSlot {
public:
    BitmapPixels* get() const { return shared_->pixels.get(); }
    explicit operator bool() const { return shared_->pixels != nullptr; }
    BitmapPixels& operator*() const { return *shared_->pixels; }
    BitmapPixels* operator->() const { return shared_->pixels.get(); }
    PixelsSlot& operator=(std::unique_ptr<BitmapPixels> pixels)
    {
        shared_->pixels = std::move(pixels);
        return *this;
    }
    void reset() { shared_->pixels.reset(); }
    std::shared_ptr<const LiveBitmap> live() const { return shared_; }

private:
    std::shared_ptr<SharedPixels> shared_ = std::make_shared<SharedPixels>();
};

class BitmapDataObject final : public Object {
public:
    using Object::Object;
    ~BitmapDataObject() override { release(); }

    PixelsSlot pixels;  // empty once disposed
    std::shared_ptr<size_t> bytesInUse;    // shared by the movie's bitmaps

    static size_t bytesOf(const BitmapPixels& p)
    {
        return static_cast<size_t>(p.width()) * static_cast<size_t>(p.height()) * 4;
    }
    void release()
    {
        if (pixels && bytesInUse)
            *bytesInUse -= std::min(*bytesInUse, bytesOf(*pixels));
        pixels.reset();
    }
};

// The prototype keeps the movie's pixel count.
class BitmapDataPrototype final : public Object {
public:
    using Object::Object;
    std::shared_ptr<size_t> bytesInUse = std::make_shared<size_t>(0);
};

BitmapDataObject* bitmapOf(const Value& v)
{
    Object* o = v.asObject();
    return o ? o->as<BitmapDataObject>() : nullptr;
}

// The live pixels of `this`, or null when it is disposed or not a bitmap.
BitmapPixels* live(const Value& self)
{
    BitmapDataObject* b = bitmapOf(self);
    return b ? b->pixels.get() : nullptr;
}

int toInt(Machine& m, const Value& v)
{
    return m.toInt32(v);
}

uint32_t toColor(Machine& m, const Value& v)
{
    return static_cast<uint32_t>(m.toInt32(v));
}

// A rectangle argument: an object with defined x, y, width and height.
bool readPixelRect(Machine& m, const Value& v, PixelRect& out)
{
    if (!v.isObject())
        return false;
    Value parts[4];
    const char* names[] = {"x", "y", "width", "height"};
    for (int i = 0; i < 4; ++i) {
        parts[i] = m.getMember(v, names[i]);
        if (parts[i].isUndefined())
            return false;
    }
    out = {toInt(m, parts[0]), toInt(m, parts[1]), toInt(m, parts[2]), toInt(m, parts[3])};
    return true;
}

// A point argument; anything else is the origin.
void readPixelPoint(Machine& m, const Value& v, int& x, int& y)
{
    x = y = 0;
    if (!v.isObject())
        return;
    x = toInt(m, m.getMember(v, "x"));
    y = toInt(m, m.getMember(v, "y"));
}

// The usual checks of a method taking (sourceBitmap, sourceRect, destPoint, ...): on
// failure `code` holds the answer.
struct SourceArgs {
    BitmapPixels* target = nullptr;
    BitmapPixels* source = nullptr;
    PixelRect rect;
    int destX = 0, destY = 0;
};

bool readSourceArgs(Machine& m, const Value& self, std::span<const Value> args, size_t minArgs, SourceArgs& out,
                    int& code)
{
    out.target = live(self);
    if (!out.target || args.size() < minArgs) {
        code = -1;
        return false;
    }
    BitmapDataObject* source = bitmapOf(args[0]);
    if (!source) {
        code = -2;
        return false;
    }
    if (!source->pixels) {
        code = -3;
        return false;
    }
    out.source = source->pixels.get();
    if (!readPixelRect(m, args[1], out.rect)) {
        code = -4;
        return false;
    }
    readPixelPoint(m, args[2], out.destX, out.destY);
    return true;
}

Value bitmapConstruct(Machine& m, Value, std::span<const Value> args)
{
    if (args.size() < 2)
        return Value();
    const int width = toInt(m, args[0]);
    const int height = toInt(m, args[1]);
    if (!BitmapPixels::sizeAllowed(width, height, m.version()))
        return Value();
    const bool transparent = args.size() < 3 || m.toBoolean(args[2]);
    const uint32_t fill = args.size() < 4 ? 0xFFFFFFFFu : toColor(m, args[3]);
    auto* proto = m.protos().named("BitmapData");
    auto* budgetHolder = proto ? proto->as<BitmapDataPrototype>() : nullptr;
    const size_t bytes = static_cast<size_t>(width) * static_cast<size_t>(height) * 4;
    if (budgetHolder && *budgetHolder->bytesInUse + bytes > kBitmapBudgetBytes)
        return Value();
    auto* bitmap = m.make<BitmapDataObject>(proto);
    bitmap->pixels = std::make_unique<BitmapPixels>(width, height, transparent, fill);
    if (budgetHolder) {
        bitmap->bytesInUse = budgetHolder->bytesInUse;
        *bitmap->bytesInUse += bytes;
    }
    return Value(bitmap);
}

// A copy of the library bitmap exported under the name given; undefined when there
// is none.
Value bitmapLoadBitmap(Machine& m, Value, std::span<const Value> args)
{
    if (args.empty())
        return Value();
    const std::shared_ptr<const BitmapData> library = m.libraryBitmap(m.toString(args[0]));
    if (!library || library->width < 1 || library->height < 1 ||
        library->pixels.size() != static_cast<size_t>(library->width) * static_cast<size_t>(library->height))
        return Value();
    auto* proto = m.protos().named("BitmapData");
    auto* budgetHolder = proto ? proto->as<BitmapDataPrototype>() : nullptr;
    const size_t bytes = library->pixels.size() * 4;
    if (budgetHolder && *budgetHolder->bytesInUse + bytes > kBitmapBudgetBytes)
        return Value();
    auto* bitmap = m.make<BitmapDataObject>(proto);
    bitmap->pixels = std::make_unique<BitmapPixels>(library->width, library->height, true, library->pixels);
    if (budgetHolder) {
        bitmap->bytesInUse = budgetHolder->bytesInUse;
        *bitmap->bytesInUse += bytes;
    }
    return Value(bitmap);
}

Value bitmapWidth(Machine&, Value self, std::span<const Value>)
{
    BitmapPixels* p = live(self);
    return Value(p ? p->width() : -1);
}

Value bitmapHeight(Machine&, Value self, std::span<const Value>)
{
    BitmapPixels* p = live(self);
    return Value(p ? p->height() : -1);
}

Value bitmapTransparent(Machine&, Value self, std::span<const Value>)
{
    BitmapPixels* p = live(self);
    return p ? Value(p->transparent()) : Value(-1);
}

Value bitmapRectangle(Machine& m, Value self, std::span<const Value>)
{
    BitmapPixels* p = live(self);
    if (!p)
        return Value(-1);
    return Value(newRectangle(m, 0, 0, p->width(), p->height()));
}

// Writes to the read-only members are ignored.
Value ignoreWrite(Machine&, Value, std::span<const Value>)
{
    return Value();
}

Value bitmapGetPixel(Machine& m, Value self, std::span<const Value> args)
{
    BitmapPixels* p = live(self);
    if (!p || args.size() < 2)
        return Value(-1);
    return Value(static_cast<double>(p->getPixel32(toInt(m, args[0]), toInt(m, args[1])) & 0xFFFFFF));
}

Value bitmapGetPixel32(Machine& m, Value self, std::span<const Value> args)
{
    BitmapPixels* p = live(self);
    if (!p || args.size() < 2)
        return Value(-1);
    return Value(static_cast<double>(static_cast<int32_t>(p->getPixel32(toInt(m, args[0]), toInt(m, args[1])))));
}

Value bitmapSetPixel(Machine& m, Value self, std::span<const Value> args)
{
    BitmapPixels* p = live(self);
    if (!p || args.size() < 3)
        return Value(-1);
    p->setPixel(toInt(m, args[0]), toInt(m, args[1]), toColor(m, args[2]));
    return Value(0);
}

Value bitmapSetPixel32(Machine& m, Value self, std::span<const Value> args)
{
    BitmapPixels* p = live(self);
    if (!p || args.size() < 3)
        return Value(-1);
    p->setPixel32(toInt(m, args[0]), toInt(m, args[1]), toColor(m, args[2]));
    return Value(0);
}

Value bitmapFillRect(Machine& m, Value self, std::span<const Value> args)
{
    BitmapPixels* p = live(self);
    PixelRect rect;
    if (!p || args.size() < 2 || !readPixelRect(m, args[0], rect))
        return Value(-1);
    p->fillRect(rect, toColor(m, args[1]));
    return Value(0);
}

Value bitmapFloodFill(Machine& m, Value self, std::span<const Value> args)
{
    BitmapPixels* p = live(self);
    if (!p || args.size() < 3)
        return Value(-1);
    p->floodFill(toInt(m, args[0]), toInt(m, args[1]), toColor(m, args[2]));
    return Value(0);
}

Value bitmapClone(Machine& m, Value self, std::span<const Value>)
{
    BitmapDataObject* b = bitmapOf(self);
    if (!b || !b->pixels)
        return Value(-1);
    auto* copy = m.make<BitmapDataObject>(b->proto());
    copy->pixels = std::make_unique<BitmapPixels>(*b->pixels);
    copy->bytesInUse = b->bytesInUse;
    if (copy->bytesInUse)
        *copy->bytesInUse += BitmapDataObject::bytesOf(*copy->pixels);
    return Value(copy);
}

Value bitmapDispose(Machine&, Value self, std::span<const Value>)
{
    BitmapDataObject* b = bitmapOf(self);
    if (!b || !b->pixels)
        return Value(-1);
    b->release();
    return Value();
}

Value bitmapScroll(Machine& m, Value self, std::span<const Value> args)
{
    BitmapPixels* p = live(self);
    if (!p || args.size() < 2)
        return Value(-1);
    p->scroll(toInt(m, args[0]), toInt(m, args[1]));
    return Value(0);
}

Value bitmapCopyPixels(Machine& m, Value self, std::span<const Value> args)
{
    SourceArgs a;
    int code = 0;
    if (!readSourceArgs(m, self, args, 3, a, code))
        return Value(code);
    const bool merge = m.toBoolean(arg(args, 5));
    // The alpha bitmap takes part only together with its point, and only when it has
    // alpha of its own.
    BitmapDataObject* alpha = args.size() > 4 ? bitmapOf(args[3]) : nullptr;
    if (alpha && alpha->pixels && alpha->pixels->transparent()) {
        int ax = 0, ay = 0;
        readPixelPoint(m, arg(args, 4), ax, ay);
        a.target->copyPixelsWithAlpha(*a.source, a.rect, a.destX, a.destY, *alpha->pixels, ax, ay, merge);
    } else {
        a.target->copyPixels(*a.source, a.rect, a.destX, a.destY, merge);
    }
    return Value(0);
}

Value bitmapCopyChannel(Machine& m, Value self, std::span<const Value> args)
{
    SourceArgs a;
    int code = 0;
    if (!readSourceArgs(m, self, args, 5, a, code))
        return Value(code);
    a.target->copyChannel(*a.source, a.rect, a.destX, a.destY, toInt(m, args[3]), toInt(m, args[4]));
    // The reference player answers -1 here even when the copy was made.
    return Value(-1);
}

Value bitmapColorTransform(Machine& m, Value self, std::span<const Value> args)
{
    BitmapPixels* p = live(self);
    PixelRect rect;
    ColorTransformValue ct;
    if (!p || args.size() < 2 || !readPixelRect(m, args[0], rect) || !readColorTransform(args[1], ct))
        return Value(-1);
    p->colorTransform(rect, ct.mul, ct.add);
    return Value(0);
}

Value bitmapGetColorBoundsRect(Machine& m, Value self, std::span<const Value> args)
{
    BitmapPixels* p = live(self);
    if (!p || args.size() < 2)
        return Value(-1);
    const bool find = args.size() < 3 || m.toBoolean(args[2]);
    const PixelRect r = p->colorBounds(toColor(m, args[0]), toColor(m, args[1]), find);
    return Value(newRectangle(m, r.x, r.y, r.width, r.height));
}

std::optional<BitmapPixels::Test> testByName(const std::string& op)
{
    using T = BitmapPixels::Test;
    if (op == "<")
        return T::Less;
    if (op == "<=")
        return T::LessEqual;
    if (op == ">")
        return T::Greater;
    if (op == ">=")
        return T::GreaterEqual;
    if (op == "==")
        return T::Equal;
    if (op == "!=")
        return T::NotEqual;
    return std::nullopt;
}

Value bitmapThreshold(Machine& m, Value self, std::span<const Value> args)
{
    SourceArgs a;
    int code = 0;
    if (!readSourceArgs(m, self, args, 5, a, code))
        return Value(code);
    // An operation the player does not know tests "<".
    const auto test = testByName(m.toString(args[3])).value_or(BitmapPixels::Test::Less);
    const uint32_t color = args.size() > 5 ? toColor(m, args[5]) : 0;
    const uint32_t mask = args.size() > 6 ? toColor(m, args[6]) : 0xFFFFFFFFu;
    const bool copySource = m.toBoolean(arg(args, 7));
    return Value(a.target->threshold(*a.source, a.rect, a.destX, a.destY, test, toColor(m, args[4]), color, mask,
                                     copySource));
}

Value bitmapMerge(Machine& m, Value self, std::span<const Value> args)
{
    SourceArgs a;
    int code = 0;
    if (!readSourceArgs(m, self, args, 7, a, code))
        return Value(code);
    a.target->merge(*a.source, a.rect, a.destX, a.destY,
                    {toInt(m, args[3]), toInt(m, args[4]), toInt(m, args[5]), toInt(m, args[6])});
    return Value(0);
}

Value bitmapPaletteMap(Machine& m, Value self, std::span<const Value> args)
{
    SourceArgs a;
    int code = 0;
    if (!readSourceArgs(m, self, args, 3, a, code))
        return Value(code);
    std::array<std::optional<std::array<uint32_t, 256>>, 4> maps;
    for (size_t ch = 0; ch < 4; ++ch) {
        Object* list = arg(args, 3 + ch).asObject();
        if (!list)
            continue;
        std::array<uint32_t, 256> table{};
        for (uint32_t i = 0; i < 256; ++i)
            table[i] = toColor(m, m.arrayGet(list, i));
        maps[ch] = table;
    }
    a.target->paletteMap(*a.source, a.rect, a.destX, a.destY, maps);
    return Value(0);
}

Value bitmapNoise(Machine& m, Value self, std::span<const Value> args)
{
    BitmapPixels* p = live(self);
    if (!p || args.empty())
        return Value(-1);
    const int low = args.size() > 1 ? toInt(m, args[1]) : 0;
    const int high = args.size() > 2 ? toInt(m, args[2]) : 255;
    const int channels = args.size() > 3 ? toInt(m, args[3]) : 7;
    p->noise(toColor(m, args[0]), low, high, channels, m.toBoolean(arg(args, 4)));
    return Value(0);
}

// pixelDissolve(source, sourceRect, destPoint, randomSeed, numPixels, fillColor):
// needs the seed and the count; answers the seed that carries the dissolve on.
Value bitmapPixelDissolve(Machine& m, Value self, std::span<const Value> args)
{
    SourceArgs a;
    int code = 0;
    if (!readSourceArgs(m, self, args, 5, a, code))
        return Value(code);
    const uint32_t seed = toColor(m, args[3]);
    const uint32_t fill = toColor(m, arg(args, 5));
    const uint32_t next = a.target->pixelDissolve(*a.source, a.rect, a.destX, a.destY, seed, toInt(m, args[4]), fill,
                                                  a.source == a.target);
    return Value(static_cast<double>(static_cast<int32_t>(next)));
}

// perlinNoise(baseX, baseY, numOctaves, randomSeed, stitch, fractalNoise,
// channelOptions, grayScale, offsets): the first six are needed.
Value bitmapPerlinNoise(Machine& m, Value self, std::span<const Value> args)
{
    BitmapPixels* p = live(self);
    if (!p || args.size() < 6)
        return Value(-1);
    BitmapPixels::PerlinOptions o;
    o.baseX = m.toNumber(args[0]);
    o.baseY = m.toNumber(args[1]);
    o.octaves = toInt(m, args[2]);
    o.seed = toInt(m, args[3]);
    o.stitch = m.toBoolean(args[4]);
    o.fractal = m.toBoolean(args[5]);
    o.channels = args.size() > 6 ? toInt(m, args[6]) : 7;
    o.grey = m.toBoolean(arg(args, 7));
    if (Object* list = arg(args, 8).asObject()) {
        // One point an octave; the list is read only as far as there are octaves.
        const double length = m.toNumber(m.getMember(arg(args, 8), "length"));
        const int count = std::isfinite(length) ? static_cast<int>(std::clamp(length, 0.0, double(std::clamp(o.octaves, 0, 32)))) : 0;
        for (int i = 0; i < count; ++i) {
            const Value point = m.arrayGet(list, static_cast<uint32_t>(i));
            double x = 0, y = 0;
            if (point.isObject()) {
                x = m.toNumber(m.getMember(point, "x"));
                y = m.toNumber(m.getMember(point, "y"));
            }
            o.offsets.emplace_back(std::isfinite(x) ? x : 0.0, std::isfinite(y) ? y : 0.0);
        }
    }
    p->perlinNoise(o);
    return Value(0);
}

// applyFilter(source, sourceRect, destPoint, filter): the source's rectangle run through
// the filter (outside it counts as empty), written at the point. What the filter spreads
// past the rectangle is lost, as generateFilterRect warns. -1 without a filter the
// renderer can draw.
Value bitmapApplyFilter(Machine& m, Value self, std::span<const Value> args)
{
    SourceArgs a;
    int code = 0;
    if (!readSourceArgs(m, self, args, 4, a, code))
        return Value(code);
    const FilterObject* filterObject = filterOf(args[3]);
    const std::optional<Filter> filter = filterObject ? toRenderFilter(*filterObject) : std::nullopt;
    BitmapFilterHost* host = m.bitmapFilterHost();
    if (!filter || !host)
        return Value(-1);
    // The part of the rectangle inside the source, and where it lands.
    const PixelRect from = a.source->clip(a.rect);
    if (from.width <= 0 || from.height <= 0)
        return Value(0);
    std::vector<uint32_t> surface(size_t(from.width) * size_t(from.height));
    for (int y = 0; y < from.height; ++y)
        for (int x = 0; x < from.width; ++x)
            surface[size_t(y) * size_t(from.width) + size_t(x)] = a.source->raw(from.x + x, from.y + y);
    host->apply(surface, from.width, from.height, *filter);
    const BitmapPixels filtered(from.width, from.height, true, std::move(surface));
    const int64_t destX = int64_t{a.destX} + (from.x - int64_t{a.rect.x});
    const int64_t destY = int64_t{a.destY} + (from.y - int64_t{a.rect.y});
    if (destX < INT32_MIN || destX > INT32_MAX || destY < INT32_MIN || destY > INT32_MAX)
        return Value(0);
    a.target->copyPixels(filtered, filtered.bounds(), int(destX), int(destY), false);
    return Value(0);
}

// draw(source, matrix, colorTransform, blendMode, clipRect, smoothing): the source (a
// movie clip's content or another BitmapData) drawn onto the bitmap by the renderer,
// as it would be drawn on the stage at the matrix. Arguments that are not of their
// type count as left out. -1 for a disposed bitmap.
Value bitmapDraw(Machine& m, Value self, std::span<const Value> args)
{
    BitmapPixels* target = live(self);
    if (!target)
        return Value(-1);
    BitmapFilterHost* host = m.bitmapFilterHost();
    const Value source = arg(args, 0);
    const BitmapPixels* bitmap = nullptr;
    ClipHost* clip = nullptr;
    if (BitmapDataObject* b = bitmapOf(source))
        bitmap = b->pixels.get();
    else
        clip = clipHost(source.asObject());
    if (!host || (!bitmap && !clip))
        return Value();
    BitmapDrawRequest request;
    if (arg(args, 1).isObject()) {
        const MatrixValue mv = readMatrix(m, args[1]);
        request.matrix = {mv.a, mv.b, mv.c, mv.d, mv.tx, mv.ty};
    }
    ColorTransformValue ct;
    if (readColorTransform(arg(args, 2), ct)) {
        auto f = [](double v) { return std::isfinite(v) ? static_cast<float>(v) : 0.0f; };
        request.colorTransform = {f(ct.mul[0]), f(ct.mul[1]), f(ct.mul[2]), f(ct.mul[3]),
                                  f(ct.add[0]), f(ct.add[1]), f(ct.add[2]), f(ct.add[3])};
    }
    if (!arg(args, 3).isNullish())
        request.blendMode = blendModeOf(m, args[3]).value_or(BlendMode::Normal);
    PixelRect clipRect;
    if (readPixelRect(m, arg(args, 4), clipRect))
        request.clip = clipRect;
    request.smoothing = m.toBoolean(arg(args, 5));
    host->draw(*target, clip, bitmap, request);
    return Value();
}

// generateFilterRect(sourceRect, filter): the rectangle grown by what the filter
// spreads; the rectangle as it is for anything else.
Value bitmapGenerateFilterRect(Machine& m, Value self, std::span<const Value> args)
{
    if (!live(self))
        return Value(-1);
    PixelRect rect;
    if (!readPixelRect(m, arg(args, 0), rect))
        return Value();
    const FilterObject* filterObject = filterOf(arg(args, 1));
    const std::optional<Filter> filter = filterObject ? toRenderFilter(*filterObject) : std::nullopt;
    if (filter && m.bitmapFilterHost())
        rect = m.bitmapFilterHost()->grow(rect, *filter);
    return Value(newRectangle(m, rect.x, rect.y, rect.width, rect.height));
}

// Answers 0 for equal bitmaps, a difference bitmap otherwise; negative codes when the
// two cannot be compared.
Value bitmapCompare(Machine& m, Value self, std::span<const Value> args)
{
    BitmapPixels* a = live(self);
    if (!a || args.empty())
        return Value(-1);
    BitmapDataObject* other = bitmapOf(arg(args, 0));
    if (!other || !other->pixels)
        return Value(-2);
    const BitmapPixels& b = *other->pixels;
    if (a->width() != b.width())
        return Value(-3);
    if (a->height() != b.height())
        return Value(-4);
    auto diff = std::make_unique<BitmapPixels>(a->width(), a->height(), true, 0);
    bool differs = false;
    for (int y = 0; y < a->height(); ++y) {
        for (int x = 0; x < a->width(); ++x) {
            const uint32_t p = a->getPixel32(x, y);
            const uint32_t q = b.getPixel32(x, y);
            if (p == q)
                continue;
            differs = true;
            if ((p & 0xFFFFFF) != (q & 0xFFFFFF)) {
                // Colour differences as the difference of each channel, opaque.
                uint32_t d = 0xFF000000u;
                for (int shift = 0; shift < 24; shift += 8)
                    d |= ((((p >> shift) & 0xFF) - ((q >> shift) & 0xFF)) & 0xFF) << shift;
                diff->setPixel32(x, y, d);
            } else {
                // Same colour: white with the difference of the alphas.
                diff->setPixel32(x, y, ((((p >> 24) - (q >> 24)) & 0xFF) << 24) | 0xFFFFFF);
            }
        }
    }
    if (!differs)
        return Value(0);
    auto* result = m.make<BitmapDataObject>(m.protos().named("BitmapData"));
    result->pixels = std::move(diff);
    return Value(result);
}

Value bitmapHitTest(Machine& m, Value self, std::span<const Value> args)
{
    BitmapPixels* p = live(self);
    if (!p || args.size() < 3)
        return Value(-1);
    int fx = 0, fy = 0;
    readPixelPoint(m, args[0], fx, fy);
    const uint32_t alphaThreshold = static_cast<uint32_t>(toInt(m, args[1])) & 0xFF;
    const Value target = args[2];
    // A fully transparent pixel never hits, even against a threshold of 0.
    auto opaqueAt = [&](int x, int y) {
        const uint32_t alpha = p->getPixel32(x, y) >> 24;
        return p->contains(x, y) && alpha > 0 && alpha >= alphaThreshold;
    };
    if (BitmapDataObject* other = bitmapOf(target)) {
        if (!other->pixels)
            return Value(-1);
        int sx = 0, sy = 0;
        readPixelPoint(m, arg(args, 3), sx, sy);
        const uint32_t secondThreshold = static_cast<uint32_t>(toInt(m, arg(args, 4))) & 0xFF;
        const BitmapPixels& q = *other->pixels;
        for (int y = 0; y < q.height(); ++y) {
            for (int x = 0; x < q.width(); ++x) {
                if ((q.getPixel32(x, y) >> 24) >= secondThreshold && opaqueAt(sx + x - fx, sy + y - fy))
                    return Value(true);
            }
        }
        return Value(false);
    }
    PixelRect rect;
    if (readPixelRect(m, target, rect)) {
        const PixelRect r = p->clip({rect.x - fx, rect.y - fy, rect.width, rect.height});
        for (int y = r.y; y < r.y + r.height; ++y) {
            for (int x = r.x; x < r.x + r.width; ++x) {
                if (opaqueAt(x, y))
                    return Value(true);
            }
        }
        return Value(false);
    }
    if (target.isObject()) {
        int x = 0, y = 0;
        readPixelPoint(m, target, x, y);
        return Value(opaqueAt(x - fx, y - fy));
    }
    return Value(-1);
}

const NativeMethod kBitmapDataMethods[] = {
    {"getPixel", bitmapGetPixel},
    {"getPixel32", bitmapGetPixel32},
    {"setPixel", bitmapSetPixel},
    {"setPixel32", bitmapSetPixel32},
    {"fillRect", bitmapFillRect},
    {"floodFill", bitmapFloodFill},
    {"clone", bitmapClone},
    {"dispose", bitmapDispose},
    {"scroll", bitmapScroll},
    {"copyPixels", bitmapCopyPixels},
    {"copyChannel", bitmapCopyChannel},
    {"colorTransform", bitmapColorTransform},
    {"getColorBoundsRect", bitmapGetColorBoundsRect},
    {"threshold", bitmapThreshold},
    {"merge", bitmapMerge},
    {"paletteMap", bitmapPaletteMap},
    {"noise", bitmapNoise},
    {"pixelDissolve", bitmapPixelDissolve},
    {"perlinNoise", bitmapPerlinNoise},
    {"compare", bitmapCompare},
    {"hitTest", bitmapHitTest},
    {"applyFilter", bitmapApplyFilter},
    {"draw", bitmapDraw},
    {"generateFilterRect", bitmapGenerateFilterRect},
};

const NativeMethod kBitmapDataStatics[] = {
    {"loadBitmap", bitmapLoadBitmap},
};

const NativeAccessor kBitmapDataAccessors[] = {
    {"width", bitmapWidth, ignoreWrite},
    {"height", bitmapHeight, ignoreWrite},
    {"rectangle", bitmapRectangle, ignoreWrite},
    {"transparent", bitmapTransparent, ignoreWrite},
};

} // namespace

std::shared_ptr<const LiveBitmap> liveBitmapOf(const Value& value)
{
    BitmapDataObject* b = bitmapOf(value);
    return b ? b->pixels.live() : nullptr;
}

BitmapPixels* bitmapPixelsOf(const Value& value)
{
    return live(value);
}

void installBitmapDataClass(Machine& m)
{
    Object* proto = m.make<BitmapDataPrototype>(m.protos().object);
    Object* ctor = definePackageClass(m, "flash.display", "BitmapData", proto, bitmapConstruct, bitmapConstruct);
    defineMethods(m, ctor, kBitmapDataStatics);
    ctor->put("RED_CHANNEL", Value(1));
    ctor->put("GREEN_CHANNEL", Value(2));
    ctor->put("BLUE_CHANNEL", Value(4));
    ctor->put("ALPHA_CHANNEL", Value(8));
    defineMethods(m, proto, kBitmapDataMethods);
    defineAccessors(m, proto, kBitmapDataAccessors, 0);
}

} // namespace swf::avm1
