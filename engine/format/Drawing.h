#pragma once

// What scripts draw into a clip with the MovieClip drawing methods (moveTo, lineTo,
// beginFill ...), recorded as an ordinary shape so that the renderer draws it exactly
// like a DefineShape: the same fill rules, gradients, strokes and masks.
//
// Every beginFill starts a style layer of its own, so a later fill covers the fills and
// strokes drawn before it, as the player draws them. An open fill is closed back to the
// point its outline started from when the fill ends (endFill, the next beginFill, a
// moveTo or clear), and that edge is stroked in the current line style like any other.

#include "engine/format/Shape.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

namespace swf {

struct BitmapData;

class Drawing {
public:
    // Commands a clip keeps; later ones are ignored, so a script looping over the
    // drawing methods cannot exhaust memory. `clear` starts the count again.
    static constexpr size_t kMaxCommands = 100000;

    // Coordinates are in twips. Points that are not finite are ignored.
    void clear();
    // Lines drawn from now on use `style`; nullopt draws no lines.
    void setLineStyle(const std::optional<LineStyle>& style);
    // Paints the current line style's strokes with `fill` (lineGradientStyle); without a
    // current line style it does nothing.
    void setLineFill(const FillStyle& fill);
    // Closes the open fill, if any, and starts one with `fill` at the pen.
    void beginFill(const FillStyle& fill);
    void endFill();
    void moveTo(Point to);
    void lineTo(Point to);
    void curveTo(Point control, Point to);

    bool empty() const { return state_.records.empty(); }
    size_t commandCount() const { return commands_; }
    Point pen() const { return pen_; }
    // The drawing as a shape (fills still open are shown closed). The same object is
    // returned until the drawing changes, so it can key a cache.
    std::shared_ptr<const ShapeDef> shape() const;
    // Bounds in twips with strokes (all zero when nothing is drawn).
    Rect bounds() const;

    friend bool operator==(const Drawing& a, const Drawing& b)
    {
        return a.commands_ == b.commands_ && a.pen_ == b.pen_ && a.fillOpen_ == b.fillOpen_
            && a.fillStart_ == b.fillStart_ && a.fill_ == b.fill_ && a.line_ == b.line_
            && a.state_.records == b.state_.records && a.state_.fillStyles == b.state_.fillStyles
            && a.state_.lineStyles == b.state_.lineStyles;
    }

private:
    bool admit();
    // Appends a style change when the selected fill or line is not yet in effect.
    void select(uint32_t fill, uint32_t line);
    void addEdge(ShapeRecordKind kind, Point control, Point to, uint32_t line);
    // Draws the edge back to where the open fill's outline began, in the current line
    // style: the reference player strokes the side endFill adds like any other.
    void closeOutline();
    void changed() { published_.reset(); }
    bool scriptBitmapsChanged() const;

    ShapeDef state_;  // records and styles so far; bounds filled in when published
    size_t commands_ = 0;
    Point pen_;
    bool fillOpen_ = false;
    Point fillStart_;
    bool outlineHasEdges_ = false;
    uint32_t fill_ = 0;  // 1-based into state_.fillStyles; 0 when no fill is open
    uint32_t line_ = 0;  // 1-based into state_.lineStyles; 0 draws no lines
    // What the records so far leave selected, so that changes are written only once.
    uint32_t recordedFill_ = 0;
    uint32_t recordedLine_ = 0;
    bool penRecorded_ = true;
    // What the edges cover in twips, grown by half of each edge's line width.
    struct Extent {
        double xMin = 0, yMin = 0, xMax = 0, yMax = 0;
        bool any = false;
        void add(double x, double y, double pad);
    };
    Extent bounds_;
    mutable std::shared_ptr<const ShapeDef> published_;
    // The pictures of the script bitmaps its fills showed when published, in fill order.
    mutable std::vector<std::shared_ptr<const BitmapData>> shownBitmaps_;
};

// The matrix scripts give for a gradient box (`matrixType: "box"`): the gradient square
// scaled to `width` x `height` pixels, turned by `rotation` radians about its centre and
// placed with its top-left corner at x, y (pixels). The result maps the gradient square
// in twips into shape twips.
Matrix gradientBoxMatrix(double x, double y, double width, double height, double rotation);

} // namespace swf
