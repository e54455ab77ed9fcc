#pragma once

// Interned property names. Every name a movie's objects hold gets a number once; a
// lookup turns its name into that number with one hash (without building a string, and
// with the case folded first before SWF 7, where names ignore case), then compares
// numbers all along the prototype chain. A name never interned cannot be a member of
// anything, which ends such lookups at once.

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>

namespace swf::avm1 {

using Atom = uint32_t;
constexpr Atom kNoAtom = UINT32_MAX;

class AtomTable {
public:
    explicit AtomTable(bool caseSensitive) : caseSensitive_(caseSensitive) {}

    // The number of `name`, or kNoAtom when no object has ever held it.
    Atom find(std::string_view name) const;
    // The number of `name`, made on first use.
    Atom intern(std::string_view name);
    size_t size() const { return ids_.size(); }

private:
    struct Hash {
        using is_transparent = void;
        size_t operator()(std::string_view s) const { return std::hash<std::string_view>{}(s); }
    };
    struct Equal {
        using is_transparent = void;
        bool operator()(std::string_view a, std::string_view b) const { return a == b; }
    };
    // The key `name` is filed under: itself, or lower-cased where case does not count.
    std::string_view folded(std::string_view name) const;

    bool caseSensitive_;
    std::unordered_map<std::string, Atom, Hash, Equal> ids_;
    mutable std::string scratch_;
};

} // namespace swf::avm1
