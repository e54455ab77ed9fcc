#pragma once

// The values on the script stack and the conversions between them, which depend on the
// movie's SWF version.

#include <string>
#include <variant>

namespace swf::avm1 {

struct Undefined {
    friend bool operator==(Undefined, Undefined) { return true; }
};
struct Null {
    friend bool operator==(Null, Null) { return true; }
};

class Value {
public:
    Value() = default;
    Value(Undefined) {}
    Value(Null v) : data_(v) {}
    Value(bool v) : data_(v) {}
    Value(double v) : data_(v) {}
    Value(std::string v) : data_(std::move(v)) {}

    bool isUndefined() const { return std::holds_alternative<Undefined>(data_); }
    bool isNull() const { return std::holds_alternative<Null>(data_); }
    bool isBool() const { return std::holds_alternative<bool>(data_); }
    bool isNumber() const { return std::holds_alternative<double>(data_); }
    bool isString() const { return std::holds_alternative<std::string>(data_); }

    std::string toString(int swfVersion) const;
    double toNumber(int swfVersion) const;
    bool toBoolean(int swfVersion) const;

    friend bool operator==(const Value&, const Value&) = default;

private:
    std::variant<Undefined, Null, bool, double, std::string> data_;
};

// Numbers print with up to 15 significant digits, switching to exponent form outside
// 1e-5 .. 1e15, as the reference player does.
std::string numberToString(double value);

} // namespace swf::avm1
