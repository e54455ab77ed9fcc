#pragma once

// Builds small movies byte by byte for tests: a bit writer for the packed records, tag
// streams with short or long headers, the common control tags, simple frame scripts,
// and the three containers. Shape records are written on top of BitWriter elsewhere.

#include "engine/format/Header.h"
#include "engine/format/Primitives.h"

#include <cstdint>
#include <initializer_list>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace swf::test {

// Little-endian bytes and MSB-first bit fields into one buffer. Bit fields are flushed
// to a whole byte before any byte-sized write.
class BitWriter {
public:
    void ub(uint32_t value, unsigned bits);
    void sb(int32_t value, unsigned bits);
    void fb(double value, unsigned bits);  // 16.16 fixed point
    void flag(bool value) { ub(value ? 1 : 0, 1); }
    // Pads the current byte with zero bits.
    void align();

    void u8(uint8_t v);
    void u16(uint16_t v);
    void u32(uint32_t v);
    void f32(float v);
    void f64Swapped(double v);
    void cstring(std::string_view s);
    void bytes(std::span<const uint8_t> data);

    void rect(const Rect& r);
    void matrix(const Matrix& m);
    void colorTransform(const ColorTransform& cx, bool withAlpha);
    void rgb(Rgba c);
    void rgba(Rgba c);

    // Bits needed to hold `v` as a signed / unsigned field.
    static unsigned signedBits(int32_t v);
    static unsigned unsignedBits(uint32_t v);

    const std::vector<uint8_t>& data() { align(); return data_; }
    std::vector<uint8_t> take() { align(); return std::move(data_); }

private:
    std::vector<uint8_t> data_;
    uint8_t pending_ = 0;
    unsigned pendingBits_ = 0;
};

// Frame scripts: one method per action, in the order they should run.
class ActionBuilder {
public:
    ActionBuilder& stop() { return simple(0x07); }
    ActionBuilder& play() { return simple(0x06); }
    ActionBuilder& nextFrame() { return simple(0x04); }
    ActionBuilder& prevFrame() { return simple(0x05); }
    ActionBuilder& toggleQuality() { return simple(0x08); }
    ActionBuilder& stopSounds() { return simple(0x09); }
    ActionBuilder& trace() { return simple(0x26); }
    ActionBuilder& pop() { return simple(0x17); }
    ActionBuilder& gotoFrame(uint16_t zeroBasedFrame);
    ActionBuilder& gotoLabel(std::string_view label);
    ActionBuilder& getUrl(std::string_view url, std::string_view target);
    ActionBuilder& pushString(std::string_view s);
    ActionBuilder& pushNumber(double v);  // as a double
    ActionBuilder& pushInt(int32_t v);
    ActionBuilder& pushBool(bool v);
    ActionBuilder& pushUndefined();
    ActionBuilder& pushNull();
    ActionBuilder& constantPool(std::initializer_list<std::string_view> strings);
    ActionBuilder& pushConstant(uint8_t index);
    ActionBuilder& jump(int16_t offset);
    ActionBuilder& branchIfTrue(int16_t offset);
    // Any action: codes >= 0x80 get a length header.
    ActionBuilder& raw(uint8_t code, std::span<const uint8_t> payload = {});
    // Convenience: push `text` and trace it.
    ActionBuilder& trace(std::string_view text) { return pushString(text).trace(); }

    // Script-level helpers (SWF 5+ actions).
    ActionBuilder& op(uint8_t code) { return code >= 0x80 ? raw(code) : simple(code); }
    ActionBuilder& pushRegister(uint8_t reg);
    ActionBuilder& storeRegister(uint8_t reg);
    ActionBuilder& getVariable(std::string_view name) { return pushString(name).op(0x1C); }
    ActionBuilder& setVariable(std::string_view name, const ActionBuilder& value);
    // Pushes the arguments in reverse, their count, then calls `name`.
    ActionBuilder& callFunction(std::string_view name, std::initializer_list<double> args);
    // DefineFunction: the body follows the record, as the format stores it.
    ActionBuilder& defineFunction(std::string_view name, std::initializer_list<std::string_view> params,
                                  const ActionBuilder& body);
    struct Param2 {
        uint8_t reg;
        std::string_view name;
    };
    ActionBuilder& defineFunction2(std::string_view name, uint8_t registers, uint16_t flags,
                                   std::initializer_list<Param2> params, const ActionBuilder& body);
    // Try with catch into variable `catchName` (empty: no catch) and optional finally.
    ActionBuilder& tryBlock(const ActionBuilder& body, std::string_view catchName, const ActionBuilder* catchBody,
                            const ActionBuilder* finallyBody);
    // Appends another builder's code (without its closing End).
    ActionBuilder& append(const ActionBuilder& other);

    size_t size() const { return code_.size(); }
    // The code with a closing ActionEnd.
    std::vector<uint8_t> build() const;

private:
    ActionBuilder& simple(uint8_t code);
    std::vector<uint8_t> code_;
};

struct Place {
    uint16_t depth = 1;
    std::optional<uint16_t> characterId;
    bool move = false;
    std::optional<Matrix> matrix;
    std::optional<ColorTransform> colorTransform;
    std::optional<uint16_t> ratio;
    std::optional<std::string> name;
    std::optional<uint16_t> clipDepth;
    // onClipEvent handlers: event mask (SWF 6+ layout) and actions.
    std::vector<std::pair<uint32_t, ActionBuilder>> clipEvents;
};

// A tag stream: the main timeline's, or a sprite's.
class TagStream {
public:
    // Short header when the body fits in 62 bytes, unless `forceLong`.
    TagStream& tag(uint16_t code, std::span<const uint8_t> body, bool forceLong = false);
    // The escape hatch: a header claiming `declaredLength` over whatever body follows.
    TagStream& rawTagHeader(uint16_t code, uint32_t declaredLength);
    TagStream& rawBytes(std::span<const uint8_t> bytes);

    TagStream& showFrame();
    TagStream& placeObject(uint16_t characterId, uint16_t depth, const Matrix& matrix = {});
    TagStream& placeObject2(const Place& place);
    TagStream& placeObject3(const Place& place, std::span<const uint8_t> extraFlagsAndFields = {});
    TagStream& removeObject(uint16_t characterId, uint16_t depth);
    TagStream& removeObject2(uint16_t depth);
    TagStream& frameLabel(std::string_view label);
    TagStream& doAction(const ActionBuilder& actions);
    TagStream& doInitAction(uint16_t spriteId, const ActionBuilder& actions);
    TagStream& exportAssets(uint16_t characterId, std::string_view name);
    TagStream& setBackgroundColor(Rgba color);
    TagStream& fileAttributes(bool as3, bool useNetwork = false);
    TagStream& defineSprite(uint16_t id, uint16_t frameCount, const TagStream& sprite);
    // DefineShape with bounds and no edges: a character to place when the drawing
    // does not matter.
    TagStream& defineEmptyShape(uint16_t id, const Rect& bounds = {0, 200, 0, 200});
    TagStream& end();

    int shownFrames() const { return shownFrames_; }
    bool endsWithEnd() const { return endsWithEnd_; }
    const std::vector<uint8_t>& bytes() const { return bytes_; }

private:
    std::vector<uint8_t> bytes_;
    int shownFrames_ = 0;
    bool endsWithEnd_ = false;
};

struct MovieOptions {
    int version = 10;
    Rect stage{0, 550 * 20, 0, 400 * 20};
    double frameRate = 24;
    std::optional<int> frameCount;  // default: the ShowFrame tags written
    // Override the declared uncompressed length (for lying headers).
    std::optional<uint32_t> declaredLength;
};

// The whole movie: a TagStream with a header around it.
class SwfWriter : public TagStream {
public:
    explicit SwfWriter(MovieOptions options = {}) : options_(options) {}

    // Adds an End tag if the stream has none at its end, then wraps it.
    std::vector<uint8_t> build(Compression compression = Compression::None) const;

private:
    MovieOptions options_;
};

// A long movie that changes its display list on every frame: moves, places, removes,
// replaces, colour changes, and nested sprites coming and going. Deterministic for a
// seed. For seek tests and benchmarks. `scripted`: every frame also runs a script
// that counts frames in a variable of the main timeline.
SwfWriter busyMovie(int frames, uint32_t seed = 1, bool scripted = false);

} // namespace swf::test
