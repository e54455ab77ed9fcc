#pragma once

// The global Key object: which keys are held, the last key pressed and its character,
// and the listeners told of presses and releases (kept in its `_listeners` array, as
// broadcasters keep theirs). The movie's keyboard input updates it before any script
// hears of the key.

#include "engine/avm1/Object.h"

#include <bitset>
#include <cstdint>
#include <vector>

namespace swf::avm1 {

class Machine;

class KeyObject final : public Object {
public:
    using Object::Object;

    // Key codes as the player numbers them (65 for A, 37 for the left arrow ...);
    // `character` is the character the key typed, 0 for none.
    void press(int code, char32_t character);
    void release(int code, char32_t character);
    bool isDown(int code) const { return code >= 0 && code < 256 && down_[static_cast<size_t>(code)]; }
    int lastCode() const { return lastCode_; }
    char32_t lastCharacter() const { return lastCharacter_; }
    bool capsLock() const { return capsLock_; }

private:
    std::bitset<256> down_;
    int lastCode_ = 0;
    char32_t lastCharacter_ = 0;
    bool capsLock_ = false;
};

// The Key object scripts see, when it is still the built-in one.
KeyObject* keyObject(Machine& m);

} // namespace swf::avm1
