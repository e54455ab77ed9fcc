#pragma once

// Interned property names. Every name a movie's objects hold gets a number once; a
// lookup turns its name into that number with one hash (without building a string, and
// with the case folded first before SWF 7, where names ignore case), then compares
// numbers all along the prototype chain. A name never interned cannot be a member of
// anything, which ends such lookups at once.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

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
    size_t size() const { return count_; }

private:
    // Open addressing with linear probing over a power-of-two table; the hash is
    // taken over the folded characters, so no folded copy of a name is ever built.
    struct Slot {
        uint64_t hash = 0;
        Atom atom = kNoAtom;  // kNoAtom: empty; else the index of its text in keys_
    };
    // Names mostly come from the same buffers again (a constant pool, a string value
    // pushed again): a small cache indexed by a name's address and length skips the
    // hash. An entry holds the exact text it was made for, so a buffer reused for other
    // text only misses, and the check is one compare of bytes even where case folds.
    // Misses are remembered too (a script asking again and again for a member nothing
    // has), for as long as no name has been interned since.
    struct Recent {
        std::string text;
        Atom atom = kNoAtom;
        size_t generation = SIZE_MAX;  // count_ when a miss was remembered; unused for hits
        bool used = false;
    };
    static constexpr size_t kRecent = 64;

    uint64_t hashOf(std::string_view name) const;
    bool sameText(const std::string& key, std::string_view name) const;
    bool matches(const Slot& slot, uint64_t hash, std::string_view name) const;
    size_t slotOf(uint64_t hash, std::string_view name) const;
    void grow();

    bool caseSensitive_;
    std::vector<Slot> slots_ = std::vector<Slot>(64);
    std::vector<std::string> keys_;  // by atom, folded
    size_t count_ = 0;
    mutable std::vector<Recent> recent_ = std::vector<Recent>(kRecent);
};

} // namespace swf::avm1
