#pragma once

// AMF0, the format shared objects are stored in, and the ".sol" file around it. The
// script side turns its objects into AmfValue trees (an object met twice becomes a
// reference to its first appearance) and back.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace swf::data {

struct AmfValue {
    enum class Type : uint8_t {
        Number, Boolean, String, Object, Null, Undefined, Reference, EcmaArray, StrictArray, Date, Xml, TypedObject,
    };
    Type type = Type::Undefined;
    double number = 0;        // Number, Date (ms since 1970)
    bool boolean = false;
    std::string text;         // String, Xml, TypedObject's class name
    uint16_t reference = 0;   // Reference: index of an earlier object, in the order they were read
    uint32_t count = 0;       // EcmaArray: the array's length, which the player writes before its members
    int16_t timeZone = 0;     // Date
    std::vector<std::pair<std::string, AmfValue>> members;  // Object, EcmaArray, TypedObject
    std::vector<AmfValue> elements;                          // StrictArray

    // Declared here and defaulted after the class: clang with libstdc++ cannot check a
    // pair holding the class while the class is still incomplete, which implicit
    // members would ask for.
    AmfValue();
    AmfValue(const AmfValue&);
    AmfValue(AmfValue&&) noexcept;
    AmfValue& operator=(const AmfValue&);
    AmfValue& operator=(AmfValue&&) noexcept;
    ~AmfValue();

    static AmfValue makeNumber(double v) { AmfValue a; a.type = Type::Number; a.number = v; return a; }
    static AmfValue makeBoolean(bool v) { AmfValue a; a.type = Type::Boolean; a.boolean = v; return a; }
    static AmfValue makeString(std::string v) { AmfValue a; a.type = Type::String; a.text = std::move(v); return a; }
    static AmfValue makeNull() { AmfValue a; a.type = Type::Null; return a; }
    static AmfValue makeObject() { AmfValue a; a.type = Type::Object; return a; }
};

inline AmfValue::AmfValue() = default;
inline AmfValue::AmfValue(const AmfValue&) = default;
inline AmfValue::AmfValue(AmfValue&&) noexcept = default;
inline AmfValue& AmfValue::operator=(const AmfValue&) = default;
inline AmfValue& AmfValue::operator=(AmfValue&&) noexcept = default;
inline AmfValue::~AmfValue() = default;

bool operator==(const AmfValue& a, const AmfValue& b);

// Thrown for data that is not AMF0 or not a shared-object file.
struct AmfError {
    std::string message;
};

struct AmfLimits {
    size_t maxDepth = 64;          // nesting of objects and arrays
    size_t maxValues = 1'000'000;  // values in one file
};

void writeAmf0(const AmfValue& value, std::vector<uint8_t>& out);
// Reads one value at `pos`, moving it past the value.
AmfValue readAmf0(std::span<const uint8_t> data, size_t& pos, const AmfLimits& limits = {});

// A remoting request (what NetConnection.call sends to a server over HTTP): headers
// the connection carries (addHeader), then one message a call, each named by the
// server method and the "/N" the answer will come back to; each value is written with
// its byte length in front.
struct AmfHeader {
    std::string name;
    bool mustUnderstand = false;
    AmfValue value;
};

struct AmfMessage {
    std::string target;
    std::string response;
    AmfValue body;
};

std::vector<uint8_t> writeAmfPacket(const std::vector<AmfHeader>& headers, const std::vector<AmfMessage>& messages);

// A shared object's file: its name and its data members in order.
struct SolFile {
    std::string name;
    std::vector<std::pair<std::string, AmfValue>> members;
};

std::vector<uint8_t> writeSol(const SolFile& file);
// Throws AmfError for anything that is not a whole, well-formed AMF0 shared object.
SolFile readSol(std::span<const uint8_t> data, const AmfLimits& limits = {});

} // namespace swf::data
