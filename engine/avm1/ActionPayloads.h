#pragma once

// Decoders for the structured action payloads, shared by the interpreter and the
// disassembler so that both read a record the same way. Each throws FormatError when the
// payload ends early.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace swf::avm1 {

// DefineFunction and DefineFunction2 records; the body is the `codeSize` bytes after
// the record.
struct FunctionHeader {
    std::string name;
    std::vector<std::string> params;
    std::vector<uint8_t> paramRegisters;  // DefineFunction2: 0 = not in a register
    uint8_t registerCount = 0;
    uint16_t flags = 0;
    size_t codeSize = 0;
};
FunctionHeader readFunctionHeader(std::span<const uint8_t> payload, bool version2);

// Try: the try, catch and finally blocks follow the record in that order.
struct TryHeader {
    bool hasCatch = false;
    bool hasFinally = false;
    bool catchInRegister = false;
    uint8_t catchRegister = 0;
    std::string catchName;
    size_t trySize = 0;
    size_t catchSize = 0;
    size_t finallySize = 0;
};
TryHeader readTryHeader(std::span<const uint8_t> payload);

enum class PushType : uint8_t {
    String = 0,
    Float = 1,
    Null = 2,
    Undefined = 3,
    Register = 4,
    Boolean = 5,
    Double = 6,
    Integer = 7,
    Constant8 = 8,
    Constant16 = 9,
};

struct PushItem {
    PushType type = PushType::Undefined;
    std::string text;   // String
    double number = 0;  // Float, Double, Integer
    unsigned index = 0; // Register, Constant8, Constant16
    bool boolean = false;
};

// Walks the values of a Push record; an unknown type is a FormatError.
class PushReader {
public:
    explicit PushReader(std::span<const uint8_t> payload) : payload_(payload) {}
    bool atEnd() const { return pos_ >= payload_.size(); }
    // Reads the next value into `item`; false at the end of the payload.
    bool next(PushItem& item);
    size_t position() const { return pos_; }

private:
    std::span<const uint8_t> payload_;
    size_t pos_ = 0;
};

} // namespace swf::avm1
