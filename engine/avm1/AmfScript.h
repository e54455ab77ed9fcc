#pragma once

// Script values to AMF0 trees and back: what shared objects keep on disk, what a
// LocalConnection message carries and what NetConnection.call sends to a server. An
// object met twice becomes a reference to its first appearance; XML objects travel as
// XML text and arrive as XML objects again; clips and text fields do not travel (they
// arrive undefined). An array holding only its elements travels as a strict array of
// `length` values (holes undefined), one with other members as an ECMA array; an
// object whose constructor Object.registerClass named travels typed, under the alias
// registered last for it.

#include "engine/avm1/Machine.h"
#include "engine/data/Amf0.h"

#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>

namespace swf::avm1 {

class AmfWriter {
public:
    // Where the values go. The channels differ as the reference player's do: a
    // function is dropped from shared objects and remoting calls but keeps its place
    // in a LocalConnection message as an empty object, and a LocalConnection message
    // repeats arrays and typed objects met twice rather than referring back to them.
    enum class Channel { SharedObject, LocalConnection, Remoting };

    // `root` is the data object itself when writing a shared object: its members are
    // the file's top level, which is no object a reference could point back to.
    AmfWriter(Machine& m, Object* root, Channel channel = Channel::SharedObject)
        : m_(m), root_(root), channel_(channel)
    {
    }

    data::AmfValue members(Object* o, size_t depth);
    data::AmfValue value(const Value& v, size_t depth);

private:
    // Gives `o` the next place in the reference table.
    void remember(Object* o);
    // The alias Object.registerClass gave `o`'s constructor last, or empty.
    std::string aliasOf(Object* o);
    // An array as a strict array, or nothing when it has members besides its elements.
    std::optional<data::AmfValue> strictArray(Object* array, const std::vector<std::string>& names, size_t depth);

    Machine& m_;
    Object* root_;
    Channel channel_;
    std::unordered_map<Object*, uint16_t> seen_;
    uint32_t places_ = 0;
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
