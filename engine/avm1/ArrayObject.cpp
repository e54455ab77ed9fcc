#include "engine/avm1/ArrayObject.h"

#include "engine/avm1/Machine.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

namespace swf::avm1 {

namespace {

// The 32-bit integer a name spells as an optionally negative run of decimal digits ("-5",
// "4294967296", "302231454903659441160191"), if it spells one. The player reads the digits
// into a 32-bit integer that wraps as it goes, so no precision is lost to a double first:
// 2^78 + 2^31 - 1 reads as 2147483647.
std::optional<int32_t> integerName(std::string_view name)
{
    std::string_view digits = name.starts_with('-') ? name.substr(1) : name;
    if (digits.empty() || !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return std::nullopt;
    uint32_t v = 0;
    for (char c : digits)
        v = v * 10u + static_cast<uint32_t>(c - '0');
    if (name.starts_with('-'))
        v = 0u - v;
    return static_cast<int32_t>(v);
}

// The length as stored; the player keeps it as a 32-bit integer, so it may be negative.
double storedLength(Machine& machine, Object* array)
{
    const Property* p = array->findOwn("length");
    const double n = p ? machine.toNumber(p->value) : 0;
    return std::isnan(n) ? 0 : n;
}

// Sets the length to `length`, removing the elements from it (or from 0) up to the old
// one when it shrinks; elements past the old length stay.
void setLengthAs32Bit(Object* array, double old, int32_t length)
{
    if (length < old && old > 0) {
        const double from = std::max(length, 0);
        std::vector<std::string> doomed;
        for (const Property& p : array->properties()) {
            if (auto index = arrayIndex(p.name); index && *index >= from && *index < old &&
                                                 !(p.flags & PropertyFlag::DontDelete))
                doomed.push_back(p.name);
        }
        for (const std::string& name : doomed)
            array->erase(name);
    }
    array->put("length", Value(static_cast<double>(length)), PropertyFlag::DontEnum | PropertyFlag::DontDelete);
}

} // namespace

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

void ArrayObject::storeOn(Machine& machine, Object& holder, std::string_view name, Value value, Property* own)
{
    Object* array = &holder;
    if (name == "length") {
        double n = machine.toNumber(value);
        if (n >= 0 && n < 4294967295.0)
            machine.setArrayLength(array, static_cast<uint32_t>(n));
        return;
    }
    const double length = storedLength(machine, array);
    if (auto index = arrayIndex(name); index && *index < 0x7FFFFFFFu && length >= 0) {
        machine.arraySet(array, *index, std::move(value));
        return;
    }
    Object::storeOn(machine, holder, name, std::move(value), own);
    // Any other integer name moves the length as the player's 32-bit arithmetic does:
    // the name wraps to 32 bits, and one past it, when greater than the length, wraps
    // again to become the new length (2147483647 makes it -2147483648).
    if (auto number = integerName(name)) {
        const double next = static_cast<double>(*number) + 1;
        if (next > length)
            setLengthAs32Bit(array, length, toInt32(next));
    }
}

} // namespace swf::avm1
