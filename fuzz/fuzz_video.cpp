// Embedded video: a stream definition and its pictures, decoded through libavcodec and
// drawn. Input: codec selector, flags, width and height (a byte each), then pictures,
// each a 16-bit little-endian length and that many bytes. Every picture is shown in
// order, then some again out of order (a seek), then the stream is drawn.

#include "engine/format/Video.h"
#include "engine/render/Renderer.h"
#include "engine/video/VideoLibrary.h"
#include "fuzz/FuzzSupport.h"

#include <QPainter>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>
#include <span>

namespace {

constexpr size_t kMaxPictures = 64;

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 4)
        return 0;
    auto video = std::make_shared<swf::EmbeddedVideo>();
    video->def.codecId = static_cast<uint8_t>(2 + data[0] % 5);
    video->def.deblocking = static_cast<uint8_t>((data[1] >> 1) & 7);
    video->def.smoothing = data[1] & 1;
    video->def.width = static_cast<uint16_t>(1 + data[2]);
    video->def.height = static_cast<uint16_t>(1 + data[3]);
    std::span<const uint8_t> rest(data + 4, size - 4);
    while (rest.size() >= 2 && video->frames.size() < kMaxPictures) {
        const size_t length = std::min<size_t>(rest[0] | rest[1] << 8, rest.size() - 2);
        video->frames.push_back({0, static_cast<uint16_t>(video->frames.size()), rest.subspan(2, length)});
        rest = rest.subspan(2 + length);
    }
    video->finish();
    try {
        swf::video::VideoLibrary library;
        const int count = static_cast<int>(video->frames.size());
        for (int n = 0; n < count; ++n)
            (void)library.picture(video, n);
        for (int n : {count / 2, 0, count - 1, count / 3, count + 5})
            (void)library.picture(video, n);

        lanfan::fuzz::ensureGuiApplication();
        QImage canvas = lanfan::fuzz::smallCanvas();
        QPainter painter(&canvas);
        swf::render::RenderNode root;
        swf::render::RenderNode node;
        node.depth = 1;
        node.video = video;
        node.videoFrame = count / 2;
        node.colorTransform.rMul = 0.5f;
        root.children.push_back(std::move(node));
        swf::render::Renderer renderer;
        renderer.setVideoSource(&library);
        renderer.render(painter, root, swf::Matrix{0.05, 0, 0, 0.05, 0, 0}, swf::render::Quality::High);
    } catch (const std::bad_alloc&) {
    }
    return 0;
}
