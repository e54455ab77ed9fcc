#pragma once

// Embedded-font glyphs rasterised once per font, glyph, device size, quarter-pixel
// position and colour, and then drawn as small images: filling a page of glyph outlines
// every frame costs tens of milliseconds, copying their pictures well under one.
//
// Only for text whose transform to the device neither rotates nor skews; the caller
// fills outlines otherwise.

#include "engine/format/Font.h"
#include "engine/render/TextPaths.h"

#include <QImage>
#include <QPainter>

#include <cstdint>
#include <memory>
#include <unordered_map>

namespace swf::render {

class GlyphBitmaps {
public:
    // Draws glyph `index` of `font`, `height` twips tall, with its origin at device
    // point (x, y), scaled by (sx, sy) device pixels per twip, in `color`'s RGB (the
    // caller gives its alpha as the painter's opacity). The painter's transform must be
    // the identity.
    void draw(QPainter& painter, GlyphCache& outlines, const std::shared_ptr<const FontDef>& font, uint32_t index,
              double height, double x, double y, double sx, double sy, const QColor& color);

    // Whether glyphs of this device size are drawn from pictures (larger ones are
    // filled as outlines: their pictures would cost more memory than they save).
    static bool suits(double sx, double sy, double height);

    size_t bytes() const { return bytes_; }
    void clear();

private:
    struct Key {
        const FontDef* font;
        uint32_t index;
        int32_t width64;   // device size of the em, 1/64 pixel
        int32_t height64;
        uint8_t subX;      // quarter pixels
        uint8_t subY;
        bool smooth;
        QRgb rgb;
        friend bool operator==(const Key&, const Key&) = default;
    };
    struct KeyHash {
        size_t operator()(const Key& k) const;
    };
    struct Picture {
        QImage image;   // empty for a glyph that covers no pixel
        QPoint offset;  // of its top left from the glyph origin's pixel
    };

    const Picture& picture(const Key& key, GlyphCache& outlines, const std::shared_ptr<const FontDef>& font);

    std::unordered_map<Key, Picture, KeyHash> pictures_;
    // Keeps the fonts the keys point at alive, so no other font takes their address.
    std::unordered_map<const FontDef*, std::shared_ptr<const FontDef>> fonts_;
    size_t bytes_ = 0;
};

} // namespace swf::render
