#pragma once

// Function objects: built-in functions (a C++ callable) and script functions (their
// code, parameters, closure scope and the constant pool they were defined under).

#include "engine/avm1/Object.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace swf::avm1 {

// A block's constant pool, made into string values once so that pushing a constant
// shares its buffer instead of copying the text.
using ConstantStrings = std::vector<Value>;
class DecodedBlock;
using NativeFunction = std::function<Value(Machine&, Value self, std::span<const Value> args)>;

struct FunctionData {
    std::string name;
    NativeFunction native;           // set for built-in functions
    NativeFunction nativeConstruct;  // `new` on a built-in that builds differently
    // Script functions.
    std::span<const uint8_t> code;
    std::vector<std::string> params;
    std::vector<uint8_t> paramRegisters;  // DefineFunction2: 0 = no register
    uint8_t registerCount = 4;
    uint16_t flags = 0;                   // DefineFunction2 preload/suppress flags
    bool isFunction2 = false;
    std::shared_ptr<const Scope> scope;
    std::shared_ptr<const ConstantStrings> constants;
    Object* definingClip = nullptr;       // the timeline whose script defined it
    std::shared_ptr<DecodedBlock> decoded;  // `code` decoded, on the first call
    // Whether the code could name `super` (2) and `arguments` (1); -1 before the
    // first call works it out.
    int8_t nameUse = -1;
};

class FunctionObject : public Object {
protected:
    bool keepsNativeState() const override { return true; }

public:
    FunctionObject(Object* proto, int swfVersion, std::unique_ptr<FunctionData> data)
        : Object(proto, swfVersion), data_(std::move(data))
    {
    }

    FunctionData* function() const override { return data_.get(); }
    std::string_view typeName() const override { return "function"; }
    void visitEdges(Visitor& visitor) override
    {
        Object::visitEdges(visitor);
        visitor.visit(data_->scope.get());
        visitor.visit(data_->definingClip);
    }

private:
    std::unique_ptr<FunctionData> data_;
};

} // namespace swf::avm1
