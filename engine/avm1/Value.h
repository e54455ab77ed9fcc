#pragma once

// The values on the script stack and the conversions of primitives between them, which
// depend on the movie's SWF version. Conversions that may call into objects (valueOf,
// toString) live on the Machine.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace swf::avm1 {

class Object;

struct Undefined {
    friend bool operator==(Undefined, Undefined) { return true; }
};
struct Null {
    friend bool operator==(Null, Null) { return true; }
};

// Script strings are immutable once made, so copies of a value share one buffer: a
// megabyte string duplicated across the operand stack, variables and arrays costs its
// bytes once, and pushing it costs a reference count. The count is a plain integer: a
// machine and its values live on one thread.
class StringBody {
public:
    explicit StringBody(std::string text) : text_(std::move(text)) {}
    const std::string& str() const { return text_; }
    // The string's number as a property name in the interned-name table numbered
    // `table`, once a lookup has found it there (names are never dropped from a
    // table, so the number stays right); kNoAtom before.
    uint32_t atomIn(uint32_t table) const { return atomTable_ == table ? atom_ : UINT32_MAX; }
    void rememberAtom(uint32_t table, uint32_t atom) const
    {
        atomTable_ = table;
        atom_ = atom;
    }
    void retain() { ++refs_; }
    void release()
    {
        if (--refs_ == 0)
            delete this;
    }

private:
    std::string text_;
    size_t refs_ = 1;
    mutable uint32_t atomTable_ = 0;
    mutable uint32_t atom_ = UINT32_MAX;
};

// A value is a tag and one word: numbers, booleans and objects copy as plain bits, and
// only strings touch a reference count. Moving a value leaves undefined behind.
class Value {
public:
    Value() = default;
    Value(Undefined) {}
    Value(Null) : tag_(Tag::Null) {}
    Value(bool v) : tag_(Tag::Bool) { word_.boolean = v; }
    Value(double v) : tag_(Tag::Number) { word_.number = v; }
    Value(int v) : tag_(Tag::Number) { word_.number = static_cast<double>(v); }
    Value(std::string v) : tag_(Tag::String) { word_.string = new StringBody(std::move(v)); }
    Value(const char* v) : Value(std::string(v)) {}
    Value(Object* v) : tag_(v ? Tag::Object : Tag::Null) { word_.object = v; }

    Value(const Value& other) : tag_(other.tag_), word_(other.word_)
    {
        if (tag_ == Tag::String)
            word_.string->retain();
    }
    Value(Value&& other) noexcept : tag_(other.tag_), word_(other.word_) { other.tag_ = Tag::Undefined; }
    Value& operator=(const Value& other)
    {
        if (other.tag_ == Tag::String)
            other.word_.string->retain();
        clear();
        tag_ = other.tag_;
        word_ = other.word_;
        return *this;
    }
    Value& operator=(Value&& other) noexcept
    {
        if (this != &other) {
            clear();
            tag_ = other.tag_;
            word_ = other.word_;
            other.tag_ = Tag::Undefined;
        }
        return *this;
    }
    ~Value() { clear(); }

    bool isUndefined() const { return tag_ == Tag::Undefined; }
    bool isNull() const { return tag_ == Tag::Null; }
    bool isNullish() const { return tag_ <= Tag::Null; }
    bool isBool() const { return tag_ == Tag::Bool; }
    bool isNumber() const { return tag_ == Tag::Number; }
    bool isString() const { return tag_ == Tag::String; }
    bool isObject() const { return tag_ == Tag::Object; }
    bool isPrimitive() const { return !isObject(); }

    // The accessors expect a value of their type (check with isX first).
    bool asBool() const { return word_.boolean; }
    double asNumber() const { return word_.number; }
    const std::string& asString() const { return word_.string->str(); }
    const StringBody& asStringBody() const { return *word_.string; }
    Object* asObject() const { return tag_ == Tag::Object ? word_.object : nullptr; }

    // Primitive conversions; an object converts as "[object Object]" / NaN / true here.
    std::string toString(int swfVersion) const;
    double toNumber(int swfVersion) const;
    bool toBoolean(int swfVersion) const;

    // Same type and same value: numbers by ==, so NaN equals nothing; strings by text.
    friend bool operator==(const Value& a, const Value& b)
    {
        if (a.tag_ != b.tag_)
            return false;
        switch (a.tag_) {
        case Tag::Undefined:
        case Tag::Null: return true;
        case Tag::Bool: return a.word_.boolean == b.word_.boolean;
        case Tag::Number: return a.word_.number == b.word_.number;
        case Tag::String: return a.word_.string == b.word_.string || a.word_.string->str() == b.word_.string->str();
        case Tag::Object: return a.word_.object == b.word_.object;
        }
        return false;
    }

private:
    enum class Tag : uint8_t { Undefined, Null, Bool, Number, String, Object };
    union Word {
        bool boolean;
        double number;
        StringBody* string;
        Object* object;
    };
    void clear()
    {
        if (tag_ == Tag::String)
            word_.string->release();
        tag_ = Tag::Undefined;
    }

    Tag tag_ = Tag::Undefined;
    Word word_{.number = 0};
};

// Numbers print with up to 15 significant digits, switching to exponent form outside
// 1e-5 .. 1e15, as the reference player does.
std::string numberToString(double value);
// Integer part in `radix` (2..36), as Number.prototype.toString(radix) writes it.
std::string numberToRadix(double value, int radix);
// The number a string reads as; before SWF 5 unreadable text is 0, later NaN.
double stringToNumber(std::string_view text, int swfVersion);
// ECMA ToInt32: wraps modulo 2^32; NaN and infinities give 0.
int32_t toInt32(double value);
// ToInteger: truncates towards zero; NaN gives 0.
double toInteger(double value);

} // namespace swf::avm1
