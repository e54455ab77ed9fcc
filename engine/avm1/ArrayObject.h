#pragma once

// Arrays: elements are stored properties named by their index; writes to an index past
// the end or to `length` keep the length in step.

#include "engine/avm1/Object.h"

#include <cstdint>
#include <optional>
#include <string_view>

namespace swf::avm1 {

class ArrayObject final : public Object {
public:
    using Object::Object;

protected:
    bool keepsNativeState() const override { return true; }
    // Also for an ordinary object made an array in place by Array's constructor.
    void storeOn(Machine& machine, Object& holder, std::string_view name, Value value, Property* own) override;
};

// The index `name` spells ("0", "17"; not "01" nor "-1"), if any.
std::optional<uint32_t> arrayIndex(std::string_view name);

} // namespace swf::avm1
