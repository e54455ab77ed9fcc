#pragma once

// The values on the script stack and the conversions of primitives between them, which
// depend on the movie's SWF version. Conversions that may call into objects (valueOf,
// toString) live on the Machine.

#include <memory>
#include <string>
#include <variant>

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
// bytes once, and pushing it costs a reference count.
class SharedString {
public:
    explicit SharedString(std::string text) : text_(std::make_shared<const std::string>(std::move(text))) {}
    const std::string& str() const { return *text_; }
    friend bool operator==(const SharedString& a, const SharedString& b)
    {
        return a.text_ == b.text_ || *a.text_ == *b.text_;
    }

private:
    std::shared_ptr<const std::string> text_;
};

class Value {
public:
    Value() = default;
    Value(Undefined) {}
    Value(Null v) : data_(v) {}
    Value(bool v) : data_(v) {}
    Value(double v) : data_(v) {}
    Value(int v) : data_(static_cast<double>(v)) {}
    Value(std::string v) : data_(SharedString(std::move(v))) {}
    Value(const char* v) : data_(SharedString(v)) {}
    Value(Object* v) : data_(v ? Data(v) : Data(Null{})) {}

    bool isUndefined() const { return std::holds_alternative<Undefined>(data_); }
    bool isNull() const { return std::holds_alternative<Null>(data_); }
    bool isNullish() const { return isUndefined() || isNull(); }
    bool isBool() const { return std::holds_alternative<bool>(data_); }
    bool isNumber() const { return std::holds_alternative<double>(data_); }
    bool isString() const { return std::holds_alternative<SharedString>(data_); }
    bool isObject() const { return std::holds_alternative<Object*>(data_); }
    bool isPrimitive() const { return !isObject(); }

    bool asBool() const { return std::get<bool>(data_); }
    double asNumber() const { return std::get<double>(data_); }
    const std::string& asString() const { return std::get<SharedString>(data_).str(); }
    Object* asObject() const { return isObject() ? std::get<Object*>(data_) : nullptr; }

    // Primitive conversions; an object converts as "[object Object]" / NaN / true here.
    std::string toString(int swfVersion) const;
    double toNumber(int swfVersion) const;
    bool toBoolean(int swfVersion) const;

    friend bool operator==(const Value&, const Value&) = default;

private:
    using Data = std::variant<Undefined, Null, bool, double, SharedString, Object*>;
    Data data_;
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
