#include "engine/render/VideoDraw.h"

#include "engine/format/Video.h"
#include "engine/render/BlendLayer.h"
#include "engine/render/StylePaint.h"

#include <QImage>
#include <QPainter>

namespace swf::render {

namespace {

// The part of the picture that belongs in the box. Codecs code whole 16-pixel blocks, so
// a decoded picture may be a little larger than the stream; that margin is cut off. A
// picture of another size altogether (a stream whose pictures changed size) is scaled.
QRectF sourceArea(const QImage& picture, const VideoStreamDef& def)
{
    const int w = picture.width();
    const int h = picture.height();
    if (def.width > 0 && def.height > 0 && w >= def.width && h >= def.height && w - def.width < 16 &&
        h - def.height < 16)
        return QRectF(0, 0, def.width, def.height);
    return QRectF(0, 0, w, h);
}

} // namespace

void drawVideo(QPainter& painter, const QImage& picture, const EmbeddedVideo& video, const Matrix& world,
               const ColorTransform& cx, bool smooth)
{
    if (picture.isNull() || video.def.width == 0 || video.def.height == 0)
        return;
    if (cx.aMul <= 0 && cx.aAdd <= 0)
        return;  // fully transparent
    const Rect box = video.bounds();
    const QRectF target(box.xMin, box.yMin, box.xMax - box.xMin, box.yMax - box.yMin);
    painter.save();
    painter.setTransform(toQTransform(world));
    painter.setRenderHint(QPainter::SmoothPixmapTransform, smooth && video.def.smoothing);
    if (cx.isIdentity()) {
        painter.drawImage(target, picture, sourceArea(picture, video.def));
    } else {
        const QRectF source = sourceArea(picture, video.def);
        QImage coloured = picture.copy(source.toRect()).convertToFormat(QImage::Format_ARGB32_Premultiplied);
        applyColorTransform(coloured, cx);
        painter.drawImage(target, coloured);
    }
    painter.restore();
}

QPainterPath videoMaskArea(const EmbeddedVideo& video, const Matrix& world)
{
    const Rect box = video.bounds();
    QPainterPath area;
    area.addRect(QRectF(box.xMin, box.yMin, box.xMax - box.xMin, box.yMax - box.yMin));
    return toQTransform(world).map(area);
}

} // namespace swf::render
