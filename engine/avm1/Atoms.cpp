#include "engine/avm1/Atoms.h"

#include <atomic>
#include <cstring>

namespace swf::avm1 {

namespace {

char fold(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

} // namespace

AtomTable::AtomTable(bool caseSensitive) : caseSensitive_(caseSensitive)
{
    // Machines are made on one thread at a time in the player, but tests and tools
    // may run several side by side.
    static std::atomic<uint32_t> lastSerial{0};
    uint32_t serial = ++lastSerial;
    if (serial == 0)
        serial = ++lastSerial;
    serial_ = serial;
}

uint64_t AtomTable::hashOf(std::string_view name) const
{
    // FNV-1a: names are short, and this runs once per lookup.
    uint64_t h = 0xcbf29ce484222325ull;
    if (caseSensitive_) {
        for (char c : name)
            h = (h ^ static_cast<unsigned char>(c)) * 0x100000001b3ull;
    } else {
        for (char c : name)
            h = (h ^ static_cast<unsigned char>(fold(c))) * 0x100000001b3ull;
    }
    return h;
}

bool AtomTable::sameText(const std::string& key, std::string_view name) const
{
    if (key.size() != name.size())
        return false;
    if (caseSensitive_)
        return key == name;
    for (size_t i = 0; i < name.size(); ++i) {
        if (key[i] != fold(name[i]))
            return false;
    }
    return true;
}

bool AtomTable::matches(const Slot& slot, uint64_t hash, std::string_view name) const
{
    return slot.hash == hash && sameText(keys_[slot.atom], name);
}

size_t AtomTable::slotOf(uint64_t hash, std::string_view name) const
{
    size_t mask = slots_.size() - 1;
    for (size_t i = hash & mask;; i = (i + 1) & mask) {
        const Slot& slot = slots_[i];
        if (slot.atom == kNoAtom || matches(slot, hash, name))
            return i;
    }
}

Atom AtomTable::findInTable(std::string_view name) const
{
    Atom atom = slots_[slotOf(hashOf(name), name)].atom;
    // Long names are not kept: copying them would cost more than the hash saves.
    if (name.size() <= kMaxKept) {
        // The new entry goes first; the one it displaces moves to the second way.
        Recent* set = recentSet(name);
        for (size_t way = kWays - 1; way > 0; --way)
            set[way] = set[way - 1];
        Recent& recent = set[0];
        if (!name.empty())
            std::memcpy(recent.text, name.data(), name.size());
        recent.length = static_cast<uint32_t>(name.size());
        recent.atom = atom;
        recent.generation = count_;
    }
    return atom;
}

Atom AtomTable::intern(std::string_view name)
{
    if (Atom known = find(name); known != kNoAtom)
        return known;
    uint64_t hash = hashOf(name);
    size_t i = slotOf(hash, name);
    if (slots_[i].atom != kNoAtom)
        return slots_[i].atom;
    Slot& slot = slots_[i];
    slot.hash = hash;
    slot.atom = static_cast<Atom>(count_++);
    std::string& key = keys_.emplace_back(name);
    if (!caseSensitive_) {
        for (char& c : key)
            c = fold(c);
    }
    Atom atom = slot.atom;
    // At most half full, so probes stay short and always end at an empty slot.
    if (count_ * 2 > slots_.size())
        grow();
    return atom;
}

void AtomTable::grow()
{
    std::vector<Slot> old = std::move(slots_);
    slots_ = std::vector<Slot>(old.size() * 2);
    size_t mask = slots_.size() - 1;
    for (const Slot& s : old) {
        if (s.atom == kNoAtom)
            continue;
        size_t i = s.hash & mask;
        while (slots_[i].atom != kNoAtom)
            i = (i + 1) & mask;
        slots_[i] = s;
    }
}

} // namespace swf::avm1
