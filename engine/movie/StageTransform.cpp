#include "engine/movie/StageTransform.h"

#include <algorithm>

namespace swf::movie {

Matrix stageToDevice(const Rect& stage, const DeviceArea& area, StageScale scale)
{
    double stageWidth = stage.width() / kTwipsPerPixel;
    double stageHeight = stage.height() / kTwipsPerPixel;
    double sx = 1, sy = 1;
    if (stageWidth > 0 && stageHeight > 0) {
        double fitX = area.width / stageWidth;
        double fitY = area.height / stageHeight;
        switch (scale) {
        case StageScale::ShowAll: sx = sy = std::min(fitX, fitY); break;
        case StageScale::NoBorder: sx = sy = std::max(fitX, fitY); break;
        case StageScale::ExactFit:
            sx = fitX;
            sy = fitY;
            break;
        case StageScale::NoScale: break;
        }
    }
    double offsetX = area.x + (area.width - stageWidth * sx) / 2;
    double offsetY = area.y + (area.height - stageHeight * sy) / 2;
    Matrix m;
    m.a = sx / kTwipsPerPixel;
    m.d = sy / kTwipsPerPixel;
    m.tx = offsetX - stage.xMin * m.a;
    m.ty = offsetY - stage.yMin * m.d;
    return m;
}

} // namespace swf::movie
