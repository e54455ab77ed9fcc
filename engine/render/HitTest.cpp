#include "engine/render/HitTest.h"

#include "engine/render/ShapePaths.h"

namespace swf::render {

bool ShapeHitTester::contains(const std::shared_ptr<const ShapeDef>& shape, Point local)
{
    if (!shape)
        return false;
    const Rect& bounds = shape->bounds;
    if (local.x < bounds.xMin || local.x > bounds.xMax || local.y < bounds.yMin || local.y > bounds.yMax)
        return false;
    auto it = areas_.find(shape.get());
    if (it == areas_.end())
        it = areas_.emplace(shape.get(), Entry{shape, filledArea(buildShapePaths(*shape))}).first;
    return it->second.area.contains(QPointF(local.x, local.y));
}

} // namespace swf::render
