#pragma once

// The object `super` names inside a method: it looks members up from the prototype
// above the method's home. Its own `__proto__` reads as that prototype's, so that
// `super.__proto__` steps one class further up, as in the reference player.

#include "engine/avm1/Object.h"

namespace swf::avm1 {

class SuperObject final : public Object {
public:
    using Object::Object;
};

} // namespace swf::avm1
