#pragma once

// Script values to AMF0 trees and back: what shared objects keep on disk and what a
// LocalConnection message carries. An object met twice becomes a reference to its first
// appearance; XML objects travel as XML text and arrive as XML objects again; clips and
// text fields do not travel (they arrive undefined).

#include "engine/avm1/Machine.h"
#include "engine/data/Amf0.h"

#include <cstdint>
#include <unordered_map>

namespace swf::avm1 {

class AmfWriter {
public:
    // What a function becomes: nothing (shared objects keep no code), or an empty
    // object (a connection's message keeps the argument's place).
    enum class Functions { Dropped, AsObjects };

    // `root` is the data object itself when writing a shared object: its members are
    // the file's top level, which is no object a reference could point back to.
    AmfWriter(Machine& m, Object* root, Functions functions = Functions::Dropped)
        : m_(m), root_(root), functions_(functions)
    {
    }

    data::AmfValue members(Object* o, size_t depth);
    data::AmfValue value(const Value& v, size_t depth);

private:
    Machine& m_;
    Object* root_;
    Functions functions_;
    std::unordered_map<Object*, uint16_t> seen_;
};

class AmfReader {
public:
    explicit AmfReader(Machine& m) : m_(m), objects_(m) {}

    Value value(const data::AmfValue& v);
    // Members in stored order; set last to first so that for..in meets them as stored.
    void fill(Object* target, const std::vector<std::pair<std::string, data::AmfValue>>& members);

private:
    Machine& m_;
    RootedValues objects_;
};

} // namespace swf::avm1
