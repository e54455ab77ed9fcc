#include "engine/avm1/Actions.h"

#include <array>

namespace swf::avm1 {

namespace {

constexpr ActionInfo kActions[] = {
#define ACTION(name, code, version, payload) {code, #name, version, PayloadKind::payload},
#include "engine/avm1/Actions.def"
#undef ACTION
};

// Code -> index into kActions + 1 (0 = unknown).
constexpr std::array<uint8_t, 256> kIndex = [] {
    std::array<uint8_t, 256> index{};
    for (size_t i = 0; i < std::size(kActions); ++i)
        index[kActions[i].code] = static_cast<uint8_t>(i + 1);
    return index;
}();

static_assert(std::size(kActions) < 255, "the index stores positions in a byte");

} // namespace

const ActionInfo* actionInfo(uint8_t code)
{
    uint8_t i = kIndex[code];
    return i ? &kActions[i - 1] : nullptr;
}

std::span<const ActionInfo> allActions()
{
    return kActions;
}

} // namespace swf::avm1
