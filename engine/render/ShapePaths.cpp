#include "engine/render/ShapePaths.h"

#include <algorithm>
#include <bit>
#include <unordered_map>

namespace swf::render {

namespace {

struct Edge {
    Point from;
    Point control;
    Point to;
    bool curved = false;

    Edge reversed() const { return {to, control, from, curved}; }
};

struct PointHash {
    size_t operator()(Point p) const
    {
        uint64_t hx = std::bit_cast<uint64_t>(p.x + 0.0);  // + 0.0 folds -0 into 0
        uint64_t hy = std::bit_cast<uint64_t>(p.y + 0.0);
        return static_cast<size_t>(hx * 0x9E3779B97F4A7C15ull ^ (hy + 0x632BE59BD9B4E019ull + (hx << 6)));
    }
};

void appendEdge(QPainterPath& path, const Edge& e)
{
    if (e.curved)
        path.quadTo(e.control.x, e.control.y, e.to.x, e.to.y);
    else
        path.lineTo(e.to.x, e.to.y);
}

// Chains one style's edges into contours. Every edge already has the style on the same
// side, so the chained contours wind consistently: outlines one way, holes the other.
QPainterPath joinContours(const std::vector<Edge>& edges, bool nonZero)
{
    QPainterPath path;
    path.setFillRule(nonZero ? Qt::WindingFill : Qt::OddEvenFill);
    std::unordered_multimap<Point, uint32_t, PointHash> byStart;
    byStart.reserve(edges.size());
    for (uint32_t i = 0; i < edges.size(); ++i)
        byStart.emplace(edges[i].from, i);
    std::vector<bool> used(edges.size(), false);

    auto take = [&](uint32_t i) {
        used[i] = true;
        auto [begin, end] = byStart.equal_range(edges[i].from);
        for (auto it = begin; it != end; ++it) {
            if (it->second == i) {
                byStart.erase(it);
                break;
            }
        }
    };
    auto findNext = [&](uint32_t current) -> int64_t {
        // Edges are usually written in drawing order, so the next one is the likely match.
        const Point at = edges[current].to;
        if (current + 1 < edges.size() && !used[current + 1] && edges[current + 1].from == at)
            return current + 1;
        auto it = byStart.find(at);
        return it == byStart.end() ? -1 : static_cast<int64_t>(it->second);
    };

    for (uint32_t first = 0; first < edges.size(); ++first) {
        if (used[first])
            continue;
        const Point start = edges[first].from;
        path.moveTo(start.x, start.y);
        uint32_t current = first;
        take(current);
        appendEdge(path, edges[current]);
        while (edges[current].to != start) {
            int64_t next = findNext(current);
            if (next < 0)
                break;
            current = static_cast<uint32_t>(next);
            take(current);
            appendEdge(path, edges[current]);
        }
        path.closeSubpath();
    }
    return path;
}

// A stroke is drawn as the edges came, broken where the pen jumps; a run that ends
// where it began is closed so that its ends join instead of getting caps.
class StrokeBuilder {
public:
    explicit StrokeBuilder(bool closeLoops) : closeLoops_(closeLoops) {}

    void add(const Edge& e)
    {
        if (!open_ || e.from != last_) {
            finishRun();
            path_.moveTo(e.from.x, e.from.y);
            runStart_ = e.from;
            open_ = true;
        }
        appendEdge(path_, e);
        last_ = e.to;
    }

    void breakRun() { finishRun(); }

    QPainterPath take()
    {
        finishRun();
        return std::move(path_);
    }

private:
    void finishRun()
    {
        if (open_ && closeLoops_ && last_ == runStart_)
            path_.closeSubpath();
        open_ = false;
    }

    QPainterPath path_;
    Point runStart_, last_;
    bool open_ = false;
    bool closeLoops_;
};

} // namespace

ShapePaths buildShapePaths(const ShapeDef& shape)
{
    std::vector<std::vector<Edge>> fillEdges(shape.fillStyles.size());
    std::vector<StrokeBuilder> strokes;
    strokes.reserve(shape.lineStyles.size());
    for (const LineStyle& line : shape.lineStyles)
        strokes.emplace_back(!line.noClose);

    Point pen;
    uint32_t fill0 = 0, fill1 = 0, line = 0;
    for (const ShapeRecord& rec : shape.records) {
        if (rec.kind == ShapeRecordKind::StyleChange) {
            if (rec.movesTo)
                pen = rec.to;
            if (rec.setsFill0)
                fill0 = rec.fill0;
            if (rec.setsFill1)
                fill1 = rec.fill1;
            if (rec.setsLine && rec.line != line) {
                if (line != 0 && line <= strokes.size())
                    strokes[line - 1].breakRun();
                line = rec.line;
            }
            continue;
        }
        Edge edge{pen, rec.control, rec.to, rec.kind == ShapeRecordKind::CurvedEdge};
        pen = rec.to;
        // The style on an edge's left as drawn is fill1, on its right fill0; turning the
        // fill0 edges round puts every style on the same side of all its edges.
        if (fill1 != 0 && fill1 <= fillEdges.size())
            fillEdges[fill1 - 1].push_back(edge);
        if (fill0 != 0 && fill0 <= fillEdges.size())
            fillEdges[fill0 - 1].push_back(edge.reversed());
        if (line != 0 && line <= strokes.size())
            strokes[line - 1].add(edge);
    }

    ShapePaths out;
    for (const StyleLayer& layer : shape.layers) {
        for (uint32_t i = layer.firstFill; i < layer.firstFill + layer.fillCount && i < fillEdges.size(); ++i) {
            if (!fillEdges[i].empty())
                out.paths.push_back({PathRole::Fill, i, joinContours(fillEdges[i], shape.nonZeroWinding)});
        }
        for (uint32_t i = layer.firstLine; i < layer.firstLine + layer.lineCount && i < strokes.size(); ++i) {
            QPainterPath path = strokes[i].take();
            if (!path.isEmpty())
                out.paths.push_back({PathRole::Stroke, i, std::move(path)});
        }
    }
    return out;
}

QPainterPath filledArea(const ShapePaths& paths)
{
    QPainterPath area;
    bool first = true;
    for (const StylePath& p : paths.paths) {
        if (p.role != PathRole::Fill)
            continue;
        area = first ? p.path : area.united(p.path);
        first = false;
    }
    return area;
}

} // namespace swf::render
