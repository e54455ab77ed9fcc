#include "tests/support/SwfWriter.h"

#include <lzma.h>
#include <zlib.h>

#include <bit>
#include <cmath>
#include <cstring>
#include <stdexcept>

namespace swf::test {

// ---- BitWriter ----

void BitWriter::ub(uint32_t value, unsigned bits)
{
    for (unsigned i = bits; i-- > 0;) {
        pending_ = static_cast<uint8_t>((pending_ << 1) | ((value >> i) & 1u));
        if (++pendingBits_ == 8) {
            data_.push_back(pending_);
            pending_ = 0;
            pendingBits_ = 0;
        }
    }
}

void BitWriter::sb(int32_t value, unsigned bits)
{
    ub(static_cast<uint32_t>(value), bits);
}

void BitWriter::fb(double value, unsigned bits)
{
    sb(static_cast<int32_t>(std::lround(value * 65536.0)), bits);
}

void BitWriter::align()
{
    if (pendingBits_ > 0)
        ub(0, 8 - pendingBits_);
}

void BitWriter::u8(uint8_t v)
{
    align();
    data_.push_back(v);
}

void BitWriter::u16(uint16_t v)
{
    u8(static_cast<uint8_t>(v & 0xFF));
    u8(static_cast<uint8_t>(v >> 8));
}

void BitWriter::u32(uint32_t v)
{
    u16(static_cast<uint16_t>(v & 0xFFFF));
    u16(static_cast<uint16_t>(v >> 16));
}

void BitWriter::f32(float v)
{
    u32(std::bit_cast<uint32_t>(v));
}

void BitWriter::f64Swapped(double v)
{
    uint64_t bits = std::bit_cast<uint64_t>(v);
    u32(static_cast<uint32_t>(bits >> 32));
    u32(static_cast<uint32_t>(bits));
}

void BitWriter::cstring(std::string_view s)
{
    for (char c : s)
        u8(static_cast<uint8_t>(c));
    u8(0);
}

void BitWriter::bytes(std::span<const uint8_t> data)
{
    align();
    data_.insert(data_.end(), data.begin(), data.end());
}

unsigned BitWriter::unsignedBits(uint32_t v)
{
    return static_cast<unsigned>(std::bit_width(v));
}

unsigned BitWriter::signedBits(int32_t v)
{
    uint32_t magnitude = v < 0 ? ~static_cast<uint32_t>(v) : static_cast<uint32_t>(v);
    return unsignedBits(magnitude) + 1;
}

void BitWriter::rect(const Rect& r)
{
    align();
    unsigned n = std::max({signedBits(r.xMin), signedBits(r.xMax), signedBits(r.yMin), signedBits(r.yMax)});
    ub(n, 5);
    sb(r.xMin, n);
    sb(r.xMax, n);
    sb(r.yMin, n);
    sb(r.yMax, n);
    align();
}

void BitWriter::matrix(const Matrix& m)
{
    align();
    auto fixed = [](double v) { return static_cast<int32_t>(std::lround(v * 65536.0)); };
    bool hasScale = m.a != 1 || m.d != 1;
    flag(hasScale);
    if (hasScale) {
        unsigned n = std::max(signedBits(fixed(m.a)), signedBits(fixed(m.d)));
        ub(n, 5);
        sb(fixed(m.a), n);
        sb(fixed(m.d), n);
    }
    bool hasRotate = m.b != 0 || m.c != 0;
    flag(hasRotate);
    if (hasRotate) {
        unsigned n = std::max(signedBits(fixed(m.b)), signedBits(fixed(m.c)));
        ub(n, 5);
        sb(fixed(m.b), n);
        sb(fixed(m.c), n);
    }
    auto tx = static_cast<int32_t>(std::lround(m.tx));
    auto ty = static_cast<int32_t>(std::lround(m.ty));
    unsigned n = (tx == 0 && ty == 0) ? 0 : std::max(signedBits(tx), signedBits(ty));
    ub(n, 5);
    sb(tx, n);
    sb(ty, n);
    align();
}

void BitWriter::colorTransform(const ColorTransform& cx, bool withAlpha)
{
    align();
    auto mul = [](float v) { return static_cast<int32_t>(std::lround(v * 256.0f)); };
    auto add = [](float v) { return static_cast<int32_t>(std::lround(v)); };
    std::vector<int32_t> muls{mul(cx.rMul), mul(cx.gMul), mul(cx.bMul)};
    std::vector<int32_t> adds{add(cx.rAdd), add(cx.gAdd), add(cx.bAdd)};
    if (withAlpha) {
        muls.push_back(mul(cx.aMul));
        adds.push_back(add(cx.aAdd));
    }
    bool hasMul = false, hasAdd = false;
    unsigned n = 1;
    for (int32_t v : muls) {
        hasMul |= v != 256;
        n = std::max(n, signedBits(v));
    }
    for (int32_t v : adds) {
        hasAdd |= v != 0;
        n = std::max(n, signedBits(v));
    }
    flag(hasAdd);
    flag(hasMul);
    ub(n, 4);
    if (hasMul)
        for (int32_t v : muls)
            sb(v, n);
    if (hasAdd)
        for (int32_t v : adds)
            sb(v, n);
    align();
}

void BitWriter::rgb(Rgba c)
{
    u8(c.r);
    u8(c.g);
    u8(c.b);
}

void BitWriter::rgba(Rgba c)
{
    rgb(c);
    u8(c.a);
}

// ---- ActionBuilder ----

ActionBuilder& ActionBuilder::simple(uint8_t code)
{
    code_.push_back(code);
    return *this;
}

ActionBuilder& ActionBuilder::raw(uint8_t code, std::span<const uint8_t> payload)
{
    code_.push_back(code);
    if (code >= 0x80) {
        code_.push_back(static_cast<uint8_t>(payload.size() & 0xFF));
        code_.push_back(static_cast<uint8_t>(payload.size() >> 8));
        code_.insert(code_.end(), payload.begin(), payload.end());
    }
    return *this;
}

ActionBuilder& ActionBuilder::gotoFrame(uint16_t zeroBasedFrame)
{
    BitWriter w;
    w.u16(zeroBasedFrame);
    return raw(0x81, w.data());
}

ActionBuilder& ActionBuilder::gotoLabel(std::string_view label)
{
    BitWriter w;
    w.cstring(label);
    return raw(0x8C, w.data());
}

ActionBuilder& ActionBuilder::getUrl(std::string_view url, std::string_view target)
{
    BitWriter w;
    w.cstring(url);
    w.cstring(target);
    return raw(0x83, w.data());
}

ActionBuilder& ActionBuilder::pushString(std::string_view s)
{
    BitWriter w;
    w.u8(0);
    w.cstring(s);
    return raw(0x96, w.data());
}

ActionBuilder& ActionBuilder::pushNumber(double v)
{
    BitWriter w;
    w.u8(6);
    w.f64Swapped(v);
    return raw(0x96, w.data());
}

ActionBuilder& ActionBuilder::pushInt(int32_t v)
{
    BitWriter w;
    w.u8(7);
    w.u32(static_cast<uint32_t>(v));
    return raw(0x96, w.data());
}

ActionBuilder& ActionBuilder::pushBool(bool v)
{
    BitWriter w;
    w.u8(5);
    w.u8(v ? 1 : 0);
    return raw(0x96, w.data());
}

ActionBuilder& ActionBuilder::pushUndefined()
{
    const uint8_t payload[] = {3};
    return raw(0x96, payload);
}

ActionBuilder& ActionBuilder::pushNull()
{
    const uint8_t payload[] = {2};
    return raw(0x96, payload);
}

ActionBuilder& ActionBuilder::constantPool(std::initializer_list<std::string_view> strings)
{
    BitWriter w;
    w.u16(static_cast<uint16_t>(strings.size()));
    for (std::string_view s : strings)
        w.cstring(s);
    return raw(0x88, w.data());
}

ActionBuilder& ActionBuilder::pushConstant(uint8_t index)
{
    const uint8_t payload[] = {8, index};
    return raw(0x96, payload);
}

ActionBuilder& ActionBuilder::jump(int16_t offset)
{
    BitWriter w;
    w.u16(static_cast<uint16_t>(offset));
    return raw(0x99, w.data());
}

ActionBuilder& ActionBuilder::branchIfTrue(int16_t offset)
{
    BitWriter w;
    w.u16(static_cast<uint16_t>(offset));
    return raw(0x9D, w.data());
}

ActionBuilder& ActionBuilder::pushRegister(uint8_t reg)
{
    const uint8_t payload[] = {4, reg};
    return raw(0x96, payload);
}

ActionBuilder& ActionBuilder::storeRegister(uint8_t reg)
{
    const uint8_t payload[] = {reg};
    return raw(0x87, payload);
}

ActionBuilder& ActionBuilder::setVariable(std::string_view name, const ActionBuilder& value)
{
    pushString(name);
    append(value);
    return op(0x1D);
}

ActionBuilder& ActionBuilder::callFunction(std::string_view name, std::initializer_list<double> args)
{
    for (auto it = std::rbegin(args); it != std::rend(args); ++it)
        pushNumber(*it);
    pushInt(static_cast<int32_t>(args.size()));
    pushString(name);
    return op(0x3D);
}

namespace {

void putString(std::vector<uint8_t>& out, std::string_view s)
{
    out.insert(out.end(), s.begin(), s.end());
    out.push_back(0);
}

void putU16(std::vector<uint8_t>& out, size_t v)
{
    out.push_back(static_cast<uint8_t>(v & 0xFF));
    out.push_back(static_cast<uint8_t>((v >> 8) & 0xFF));
}

} // namespace

ActionBuilder& ActionBuilder::defineFunction(std::string_view name, std::initializer_list<std::string_view> params,
                                             const ActionBuilder& body)
{
    std::vector<uint8_t> payload;
    putString(payload, name);
    putU16(payload, params.size());
    for (std::string_view p : params)
        putString(payload, p);
    putU16(payload, body.size());
    raw(0x9B, payload);
    return append(body);
}

ActionBuilder& ActionBuilder::defineFunction2(std::string_view name, uint8_t registers, uint16_t flags,
                                              std::initializer_list<Param2> params, const ActionBuilder& body)
{
    std::vector<uint8_t> payload;
    putString(payload, name);
    putU16(payload, params.size());
    payload.push_back(registers);
    putU16(payload, flags);
    for (const Param2& p : params) {
        payload.push_back(p.reg);
        putString(payload, p.name);
    }
    putU16(payload, body.size());
    raw(0x8E, payload);
    return append(body);
}

ActionBuilder& ActionBuilder::tryBlock(const ActionBuilder& body, std::string_view catchName,
                                       const ActionBuilder* catchBody, const ActionBuilder* finallyBody)
{
    std::vector<uint8_t> payload;
    uint8_t flags = static_cast<uint8_t>((catchBody ? 1 : 0) | (finallyBody ? 2 : 0));
    payload.push_back(flags);
    putU16(payload, body.size());
    putU16(payload, catchBody ? catchBody->size() : 0);
    putU16(payload, finallyBody ? finallyBody->size() : 0);
    putString(payload, catchName);
    raw(0x8F, payload);
    append(body);
    if (catchBody)
        append(*catchBody);
    if (finallyBody)
        append(*finallyBody);
    return *this;
}

ActionBuilder& ActionBuilder::append(const ActionBuilder& other)
{
    code_.insert(code_.end(), other.code_.begin(), other.code_.end());
    return *this;
}

std::vector<uint8_t> ActionBuilder::build() const
{
    std::vector<uint8_t> code = code_;
    code.push_back(0);
    return code;
}

// ---- TagStream ----

TagStream& TagStream::rawTagHeader(uint16_t code, uint32_t declaredLength)
{
    BitWriter w;
    if (declaredLength < 0x3F) {
        w.u16(static_cast<uint16_t>((code << 6) | declaredLength));
    } else {
        w.u16(static_cast<uint16_t>((code << 6) | 0x3F));
        w.u32(declaredLength);
    }
    return rawBytes(w.data());
}

TagStream& TagStream::rawBytes(std::span<const uint8_t> bytes)
{
    bytes_.insert(bytes_.end(), bytes.begin(), bytes.end());
    endsWithEnd_ = false;
    return *this;
}

TagStream& TagStream::tag(uint16_t code, std::span<const uint8_t> body, bool forceLong)
{
    BitWriter w;
    if (body.size() < 0x3F && !forceLong) {
        w.u16(static_cast<uint16_t>((code << 6) | body.size()));
    } else {
        w.u16(static_cast<uint16_t>((code << 6) | 0x3F));
        w.u32(static_cast<uint32_t>(body.size()));
    }
    w.bytes(body);
    rawBytes(w.data());
    if (code == 1)
        ++shownFrames_;
    endsWithEnd_ = code == 0;
    return *this;
}

TagStream& TagStream::showFrame()
{
    return tag(1, {});
}

TagStream& TagStream::placeObject(uint16_t characterId, uint16_t depth, const Matrix& matrix)
{
    BitWriter w;
    w.u16(characterId);
    w.u16(depth);
    w.matrix(matrix);
    return tag(4, w.data());
}

namespace {

uint8_t placeFlags(const Place& p)
{
    return static_cast<uint8_t>((p.move ? 0x01 : 0) | (p.characterId ? 0x02 : 0) | (p.matrix ? 0x04 : 0)
                                | (p.colorTransform ? 0x08 : 0) | (p.ratio ? 0x10 : 0) | (p.name ? 0x20 : 0)
                                | (p.clipDepth ? 0x40 : 0) | (p.clipEvents.empty() ? 0 : 0x80));
}

void placeFields(BitWriter& w, const Place& p)
{
    if (p.characterId)
        w.u16(*p.characterId);
    if (p.matrix)
        w.matrix(*p.matrix);
    if (p.colorTransform)
        w.colorTransform(*p.colorTransform, true);
    if (p.ratio)
        w.u16(*p.ratio);
    if (p.name)
        w.cstring(*p.name);
    if (p.clipDepth)
        w.u16(*p.clipDepth);
    if (!p.clipEvents.empty()) {
        uint32_t all = 0;
        for (const auto& [events, code] : p.clipEvents)
            all |= events;
        w.u16(0);
        w.u32(all);
        for (const auto& [events, code] : p.clipEvents) {
            std::vector<uint8_t> bytes = code.build();
            w.u32(events);
            w.u32(static_cast<uint32_t>(bytes.size()));
            w.bytes(bytes);
        }
        w.u32(0);
    }
}

} // namespace

TagStream& TagStream::placeObject2(const Place& place)
{
    BitWriter w;
    w.u8(placeFlags(place));
    w.u16(place.depth);
    placeFields(w, place);
    return tag(26, w.data());
}

TagStream& TagStream::placeObject3(const Place& place, std::span<const uint8_t> extraFlagsAndFields)
{
    // The second flag byte comes first in `extra`, then the fields it announces; they
    // follow the common fields (the class name, which precedes them, is not written).
    BitWriter w;
    w.u8(placeFlags(place));
    w.u8(extraFlagsAndFields.empty() ? 0 : extraFlagsAndFields[0]);
    w.u16(place.depth);
    placeFields(w, place);
    if (!extraFlagsAndFields.empty())
        w.bytes(extraFlagsAndFields.subspan(1));
    return tag(70, w.data());
}

TagStream& TagStream::doInitAction(uint16_t spriteId, const ActionBuilder& actions)
{
    BitWriter w;
    w.u16(spriteId);
    w.bytes(actions.build());
    return tag(59, w.data());
}

TagStream& TagStream::exportAssets(uint16_t characterId, std::string_view name)
{
    BitWriter w;
    w.u16(1);
    w.u16(characterId);
    w.cstring(std::string(name));
    return tag(56, w.data());
}

TagStream& TagStream::removeObject(uint16_t characterId, uint16_t depth)
{
    BitWriter w;
    w.u16(characterId);
    w.u16(depth);
    return tag(5, w.data());
}

TagStream& TagStream::removeObject2(uint16_t depth)
{
    BitWriter w;
    w.u16(depth);
    return tag(28, w.data());
}

TagStream& TagStream::frameLabel(std::string_view label)
{
    BitWriter w;
    w.cstring(label);
    return tag(43, w.data());
}

TagStream& TagStream::doAction(const ActionBuilder& actions)
{
    return tag(12, actions.build());
}

TagStream& TagStream::setBackgroundColor(Rgba color)
{
    BitWriter w;
    w.rgb(color);
    return tag(9, w.data());
}

TagStream& TagStream::fileAttributes(bool as3, bool useNetwork)
{
    BitWriter w;
    w.u32((as3 ? 0x08u : 0u) | (useNetwork ? 0x01u : 0u));
    return tag(69, w.data());
}

TagStream& TagStream::defineSprite(uint16_t id, uint16_t frameCount, const TagStream& sprite)
{
    BitWriter w;
    w.u16(id);
    w.u16(frameCount);
    w.bytes(sprite.bytes());
    if (!sprite.endsWithEnd())
        w.u16(0);
    return tag(39, w.data());
}

TagStream& TagStream::defineEmptyShape(uint16_t id, const Rect& bounds)
{
    BitWriter w;
    w.u16(id);
    w.rect(bounds);
    w.u8(0);  // fill styles
    w.u8(0);  // line styles
    w.u8(0);  // fill and line index bits
    w.u8(0);  // end of shape
    return tag(2, w.data());
}

TagStream& TagStream::end()
{
    return tag(0, {});
}

// ---- SwfWriter ----

namespace {

std::vector<uint8_t> deflate(std::span<const uint8_t> data)
{
    uLongf size = compressBound(static_cast<uLong>(data.size()));
    std::vector<uint8_t> out(size);
    if (compress2(out.data(), &size, data.data(), static_cast<uLong>(data.size()), 9) != Z_OK)
        throw std::runtime_error("zlib compression failed");
    out.resize(size);
    return out;
}

// .lzma ("alone") output: 5 property bytes, 8 bytes of size, then the raw stream.
std::vector<uint8_t> lzmaAlone(std::span<const uint8_t> data)
{
    lzma_options_lzma options;
    lzma_lzma_preset(&options, 6);
    lzma_stream ls = LZMA_STREAM_INIT;
    if (lzma_alone_encoder(&ls, &options) != LZMA_OK)
        throw std::runtime_error("lzma encoder failed to start");
    std::vector<uint8_t> out(data.size() + data.size() / 2 + 1024);
    ls.next_in = data.data();
    ls.avail_in = data.size();
    ls.next_out = out.data();
    ls.avail_out = out.size();
    lzma_ret status = lzma_code(&ls, LZMA_FINISH);
    size_t written = out.size() - ls.avail_out;
    lzma_end(&ls);
    if (status != LZMA_STREAM_END)
        throw std::runtime_error("lzma compression failed");
    out.resize(written);
    return out;
}

} // namespace

std::vector<uint8_t> SwfWriter::build(Compression compression) const
{
    BitWriter body;
    body.rect(options_.stage);
    body.u16(static_cast<uint16_t>(std::lround(options_.frameRate * 256.0)));
    body.u16(static_cast<uint16_t>(options_.frameCount.value_or(shownFrames())));
    body.bytes(bytes());
    if (!endsWithEnd())
        body.u16(0);
    std::vector<uint8_t> plain = body.take();
    uint32_t declared = options_.declaredLength.value_or(static_cast<uint32_t>(plain.size() + 8));

    BitWriter file;
    const char* signature = compression == Compression::None ? "FWS" : compression == Compression::Zlib ? "CWS" : "ZWS";
    for (int i = 0; i < 3; ++i)
        file.u8(static_cast<uint8_t>(signature[i]));
    file.u8(static_cast<uint8_t>(options_.version));
    file.u32(declared);
    switch (compression) {
    case Compression::None: file.bytes(plain); break;
    case Compression::Zlib: file.bytes(deflate(plain)); break;
    case Compression::Lzma: {
        std::vector<uint8_t> alone = lzmaAlone(plain);
        auto stream = std::span<const uint8_t>(alone).subspan(13);
        file.u32(static_cast<uint32_t>(stream.size()));
        file.bytes(std::span<const uint8_t>(alone).first(5));
        file.bytes(stream);
        break;
    }
    }
    return file.take();
}

SwfWriter busyMovie(int frames, uint32_t seed, bool scripted)
{
    uint32_t state = seed * 2654435761u + 1;
    auto next = [&state](uint32_t below) {
        state = state * 1664525u + 1013904223u;
        return (state >> 8) % below;
    };
    constexpr uint16_t kShapes = 8;
    constexpr uint16_t kSprite = 100;
    constexpr uint16_t kDepths = 24;

    SwfWriter w;
    for (uint16_t id = 1; id <= kShapes; ++id)
        w.defineEmptyShape(id);
    TagStream sprite;
    for (int f = 0; f < 5; ++f) {
        Place p;
        p.depth = 1;
        p.characterId = static_cast<uint16_t>(1 + f % kShapes);
        p.move = f > 0;
        p.matrix = Matrix{1, 0, 0, 1, 20.0 * f, 0};
        sprite.placeObject2(p).showFrame();
    }
    w.defineSprite(kSprite, 5, sprite);

    std::vector<bool> used(kDepths + 1, false);
    for (int frame = 0; frame < frames; ++frame) {
        for (int change = 0; change < 3; ++change) {
            auto depth = static_cast<uint16_t>(1 + next(kDepths));
            Place p;
            p.depth = depth;
            if (!used[depth]) {
                p.characterId = next(6) == 0 ? kSprite : static_cast<uint16_t>(1 + next(kShapes));
                p.matrix = Matrix{1, 0, 0, 1, static_cast<double>(next(4000)), static_cast<double>(next(4000))};
                used[depth] = true;
            } else if (next(5) == 0) {
                w.removeObject2(depth);
                used[depth] = false;
                continue;
            } else {
                p.move = true;
                if (next(4) == 0)
                    p.characterId = static_cast<uint16_t>(1 + next(kShapes));
                p.matrix = Matrix{1, 0, 0, 1, static_cast<double>(next(4000)), static_cast<double>(next(4000))};
                if (next(3) == 0)
                    p.colorTransform = ColorTransform{1, 1, 1, 0.5f, static_cast<float>(next(100)), 0, 0, 0};
            }
            w.placeObject2(p);
        }
        if (scripted) {
            // count = count + 1, as a frame script of the main timeline.
            w.doAction(ActionBuilder().pushString("count").getVariable("count").pushInt(1).op(0x47).op(0x1D));
        }
        w.showFrame();
    }
    return w;
}

} // namespace swf::test
