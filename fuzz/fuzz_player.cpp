// The whole path a user's file takes: load, enter three frames, paint into a small
// image. Any exception other than LoadError escaping the player is a fault.

#include "engine/Player.h"
#include "fuzz/FuzzSupport.h"

#include <QPainter>
#include <QRectF>

#include <cstddef>
#include <cstdint>
#include <span>

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    lanfan::fuzz::ensureGuiApplication();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    swf::Player player;
    try {
        player.loadBytes(std::span<const uint8_t>(data, size));
    } catch (const swf::LoadError&) {
        return 0;
    }
    for (int frame = 0; frame < 3; ++frame)
        player.advance();
    QImage canvas = lanfan::fuzz::smallCanvas();
    QPainter painter(&canvas);
    player.paint(painter, QRectF(0, 0, canvas.width(), canvas.height()), swf::ScaleMode::ShowAll,
                 swf::RenderQuality::High);
    return 0;
}
