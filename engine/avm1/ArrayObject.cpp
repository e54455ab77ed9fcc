#include "engine/avm1/ArrayObject.h"

#include "engine/avm1/Machine.h"

namespace swf::avm1 {

std::optional<uint32_t> arrayIndex(std::string_view name)
{
    if (name.empty() || name.size() > 10 || (name.size() > 1 && name[0] == '0'))
        return std::nullopt;
    uint64_t v = 0;
    for (char c : name) {
        if (c < '0' || c > '9')
            return std::nullopt;
        v = v * 10 + static_cast<uint64_t>(c - '0');
    }
    if (v >= 0xFFFFFFFFull)
        return std::nullopt;
    return static_cast<uint32_t>(v);
}

void ArrayObject::storeOwn(Machine& machine, std::string_view name, Value value, Property* own)
{
    if (name == "length") {
        double n = machine.toNumber(value);
        if (n >= 0 && n < 4294967295.0)
            machine.setArrayLength(this, static_cast<uint32_t>(n));
        return;
    }
    if (auto index = arrayIndex(name)) {
        machine.arraySet(this, *index, std::move(value));
        return;
    }
    Object::storeOwn(machine, name, std::move(value), own);
}

} // namespace swf::avm1
