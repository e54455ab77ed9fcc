#pragma once

// Interned property names. Every name a movie's objects hold gets a number once; a
// lookup turns its name into that number with one hash (without building a string, and
// with the case folded first before SWF 7, where names ignore case), then compares
// numbers all along the prototype chain. A name never interned cannot be a member of
// anything, which ends such lookups at once.

#include "engine/avm1/Value.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace swf::avm1 {

using Atom = uint32_t;
constexpr Atom kNoAtom = UINT32_MAX;

class AtomTable {
public:
    explicit AtomTable(bool caseSensitive);
    AtomTable(const AtomTable&) = delete;
    AtomTable& operator=(const AtomTable&) = delete;

    // The number of `name`, or kNoAtom when no object has ever held it. The answer for
    // a name asked for again from the same buffer comes from the recent-name cache
    // here, inline; anything else goes through the table.
    Atom find(std::string_view name) const
    {
        const Recent* set = recentSet(name);
        for (size_t way = 0; way < kWays; ++way) {
            const Recent& recent = set[way];
            if (recent.length == name.size() && sameBytes(recent.text, name.data(), name.size()) &&
                (recent.atom != kNoAtom || recent.generation == count_))
                return recent.atom;
        }
        return findInTable(name);
    }
    // The number of a script string used as a name. The string remembers the number
    // once found, so a name pushed again from a constant pool costs one compare of
    // this table's serial number, not a look at its characters.
    Atom find(const StringBody& name) const
    {
        if (Atom known = name.atomIn(serial_); known != kNoAtom)
            return known;
        Atom atom = find(std::string_view(name.str()));
        if (atom != kNoAtom)
            name.rememberAtom(serial_, atom);
        return atom;
    }
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
    // An entry is one cache line with its text inline, so the check touches nothing
    // else; names longer than that are not kept. An unused entry holds no atom and a
    // generation count_ never reaches, so it answers nothing.
    static constexpr size_t kMaxKept = 48;
    struct alignas(64) Recent {
        size_t generation = SIZE_MAX;  // count_ when a miss was remembered; unused for hits
        uint32_t length = 0;
        Atom atom = kNoAtom;
        char text[kMaxKept] = {};
    };
    // Two entries per set, the newer first: names whose buffers land on the same set
    // (string literals sit side by side) would otherwise evict each other on every
    // lookup of a loop that asks for both.
    static constexpr size_t kRecent = 64;
    static constexpr size_t kWays = 2;

    // Equal bytes, compared a word at a time: names are short, and this check runs on
    // every lookup the cache answers. The last word (or half-word, for names under
    // eight bytes) overlaps the one before it instead of ending in a loop of bytes.
    static bool sameBytes(const char* a, const char* b, size_t n)
    {
        if (n >= sizeof(uint64_t)) {
            for (; n > sizeof(uint64_t); n -= sizeof(uint64_t), a += sizeof(uint64_t), b += sizeof(uint64_t)) {
                if (load<uint64_t>(a) != load<uint64_t>(b))
                    return false;
            }
            return load<uint64_t>(a + n - sizeof(uint64_t)) == load<uint64_t>(b + n - sizeof(uint64_t));
        }
        if (n >= sizeof(uint32_t))
            return load<uint32_t>(a) == load<uint32_t>(b) &&
                load<uint32_t>(a + n - sizeof(uint32_t)) == load<uint32_t>(b + n - sizeof(uint32_t));
        for (; n > 0; --n) {
            if (*a++ != *b++)
                return false;
        }
        return true;
    }
    template <class Word>
    static Word load(const char* p)
    {
        Word w;
        std::memcpy(&w, p, sizeof w);
        return w;
    }
    Recent* recentSet(std::string_view name) const
    {
        auto address = reinterpret_cast<uintptr_t>(name.data());
        size_t set = ((address >> 3) ^ (address >> 11) ^ name.size()) & (kRecent / kWays - 1);
        return &recent_[set * kWays];
    }
    Atom findInTable(std::string_view name) const;

    uint64_t hashOf(std::string_view name) const;
    bool sameText(const std::string& key, std::string_view name) const;
    bool matches(const Slot& slot, uint64_t hash, std::string_view name) const;
    size_t slotOf(uint64_t hash, std::string_view name) const;
    void grow();

    bool caseSensitive_;
    // Tells this table from every other one a string may have met (never 0, which a
    // string that has met none holds).
    uint32_t serial_;
    std::vector<Slot> slots_ = std::vector<Slot>(64);
    std::vector<std::string> keys_;  // by atom, folded
    size_t count_ = 0;
    mutable std::vector<Recent> recent_ = std::vector<Recent>(kRecent);
};

} // namespace swf::avm1
