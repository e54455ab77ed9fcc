#include "engine/movie/DisplayList.h"

#include <algorithm>

namespace swf::movie {

namespace {

auto lowerBound(std::vector<DisplayObject>& children, int32_t depth)
{
    return std::ranges::lower_bound(children, depth, {}, &DisplayObject::depth);
}

} // namespace

DisplayObject* ClipState::find(int32_t depth)
{
    auto it = lowerBound(children, depth);
    return it != children.end() && it->depth == depth ? &*it : nullptr;
}

const DisplayObject* ClipState::find(int32_t depth) const
{
    return const_cast<ClipState*>(this)->find(depth);
}

DisplayObject& ClipState::insert(DisplayObject object)
{
    auto it = lowerBound(children, object.depth);
    return *children.insert(it, std::move(object));
}

bool ClipState::remove(int32_t depth)
{
    auto it = lowerBound(children, depth);
    if (it == children.end() || it->depth != depth)
        return false;
    children.erase(it);
    return true;
}

DisplayObject duplicateOf(const DisplayObject& original, int32_t depth, std::string name)
{
    DisplayObject copy;
    copy.depth = depth;
    copy.characterId = original.characterId;
    copy.character = original.character;
    copy.matrix = original.matrix;
    copy.colorTransform = original.colorTransform;
    copy.visible = original.visible;
    copy.name = std::move(name);
    return copy;
}

} // namespace swf::movie
