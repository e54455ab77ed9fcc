#include "engine/avm1/Atoms.h"

namespace swf::avm1 {

std::string_view AtomTable::folded(std::string_view name) const
{
    if (caseSensitive_)
        return name;
    bool hasUpper = false;
    for (char c : name)
        hasUpper |= c >= 'A' && c <= 'Z';
    if (!hasUpper)
        return name;
    scratch_.assign(name);
    for (char& c : scratch_) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return scratch_;
}

Atom AtomTable::find(std::string_view name) const
{
    auto it = ids_.find(folded(name));
    return it == ids_.end() ? kNoAtom : it->second;
}

Atom AtomTable::intern(std::string_view name)
{
    std::string_view key = folded(name);
    auto it = ids_.find(key);
    if (it != ids_.end())
        return it->second;
    auto id = static_cast<Atom>(ids_.size());
    ids_.emplace(std::string(key), id);
    return id;
}

} // namespace swf::avm1
