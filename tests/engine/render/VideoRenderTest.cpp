// Video objects in the render tree: the picture fills the stream's box under the
// object's matrix, takes colour transforms, is clipped by masks and clips as one, and
// draws nothing without a picture.

#include "RenderFixture.h"
#include "engine/format/Video.h"
#include "tests/support/ShapeWriter.h"

namespace {

using namespace swf;
using namespace swf::render;
using namespace lanfan::test;

const QColor kWhite(255, 255, 255);

// Hands out one fixed picture for every frame, and counts what was asked.
class FixedPictures : public VideoSource {
public:
    explicit FixedPictures(QImage picture) : picture_(std::move(picture)) {}
    QImage picture(const std::shared_ptr<const EmbeddedVideo>&, int frame) override
    {
        lastFrame = frame;
        ++requests;
        return picture_;
    }
    int lastFrame = -1;
    int requests = 0;

private:
    QImage picture_;
};

// Left half red, right half blue.
QImage halves(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.setPixel(x, y, x < width / 2 ? qRgb(255, 0, 0) : qRgb(0, 0, 255));
    return image;
}

RenderNode videoNode(uint16_t width, uint16_t height, int frame = 0, uint16_t depth = 1)
{
    auto video = std::make_shared<EmbeddedVideo>();
    video->def.width = width;
    video->def.height = height;
    video->def.codecId = 2;
    RenderNode node;
    node.depth = depth;
    node.video = std::move(video);
    node.videoFrame = frame;
    return node;
}

std::shared_ptr<const ShapeDef> box(int32_t x0, int32_t y0, int32_t x1, int32_t y1)
{
    StyleArrays styles(32);
    uint32_t fill = styles.solid({0, 0, 0, 255});
    RecordWriter w;
    w.fill0(fill).rect(x0, y0, x1, y1);
    return buildShape(32, {x0, x1, y0, y1}, styles, w);
}

TEST(VideoRender, ThePictureFillsTheStreamBoxUnderTheMatrix)
{
    FixedPictures pictures(halves(8, 4));
    Renderer renderer;
    renderer.setVideoSource(&pictures);
    RenderNode node = videoNode(8, 4, 17);
    node.matrix = {5, 0, 0, 5, 200, 400};  // five times as large, at (10, 20) pixels
    Canvas c(100, 100);
    c.draw(renderer, rootOf({node}));
    EXPECT_EQ(pictures.lastFrame, 17);
    EXPECT_TRUE(near(c.at(12, 22), QColor(255, 0, 0)));
    EXPECT_TRUE(near(c.at(28, 38), QColor(255, 0, 0)));
    EXPECT_TRUE(near(c.at(32, 22), QColor(0, 0, 255)));
    EXPECT_TRUE(near(c.at(48, 38), QColor(0, 0, 255)));
    for (auto [x, y] : {std::pair{8, 30}, {52, 30}, {30, 18}, {30, 42}})
        EXPECT_TRUE(near(c.at(x, y), kWhite)) << x << "," << y;
}

TEST(VideoRender, ColourTransformsApplyToThePicture)
{
    FixedPictures pictures(halves(8, 4));
    Renderer renderer;
    renderer.setVideoSource(&pictures);
    RenderNode node = videoNode(8, 4);
    node.matrix = scale(10, 10);
    node.colorTransform.rMul = 0;
    node.colorTransform.gAdd = 255;
    RenderNode faded = videoNode(8, 4, 0, 2);
    faded.matrix = {10, 0, 0, 10, 0, 1000};
    faded.colorTransform.aMul = 0.5;
    Canvas c(100, 100);
    c.draw(renderer, rootOf({node, faded}));
    EXPECT_TRUE(near(c.at(10, 10), QColor(0, 255, 0)));
    EXPECT_TRUE(near(c.at(50, 10), QColor(0, 255, 255)));
    EXPECT_TRUE(near(c.at(10, 70), QColor(255, 128, 128), 4));
}

TEST(VideoRender, MasksClipVideoAndVideoMasksClipByItsBox)
{
    FixedPictures pictures(halves(8, 4));
    Renderer renderer;
    renderer.setVideoSource(&pictures);
    // A shape mask over the top half clips a video below it.
    RenderNode mask = shapeNode(box(0, 0, 2000, 400), 1);
    mask.clipDepth = 2;
    RenderNode masked = videoNode(8, 4, 0, 2);
    masked.matrix = scale(10, 10);
    // A video used as a mask lets through its box only, and is not drawn.
    RenderNode videoMask = videoNode(2, 2, 0, 3);
    videoMask.matrix = {10, 0, 0, 10, 0, 1200};
    videoMask.clipDepth = 4;
    RenderNode under = shapeNode(box(0, 1000, 2000, 2000), 4);
    Canvas c(100, 100);
    c.draw(renderer, rootOf({mask, masked, videoMask, under}));
    EXPECT_TRUE(near(c.at(10, 10), QColor(255, 0, 0)));
    EXPECT_TRUE(near(c.at(10, 30), kWhite));
    EXPECT_TRUE(near(c.at(10, 70), QColor(0, 0, 0)));   // inside the 20 x 20 box at y 60
    EXPECT_TRUE(near(c.at(30, 70), kWhite));            // beside it
    EXPECT_TRUE(near(c.at(10, 55), kWhite));            // above it
}

TEST(VideoRender, CodedMarginsAreCutAndOtherSizesScaled)
{
    // A 16 x 16 picture for a 12 x 10 stream: the codec's margin, cut off. The picture's
    // left 8 columns are red, so the box's left two thirds are.
    FixedPictures coded(halves(16, 16));
    Renderer renderer;
    renderer.setVideoSource(&coded);
    RenderNode node = videoNode(12, 10);
    node.matrix = scale(5, 5);
    Canvas c(100, 100);
    c.draw(renderer, rootOf({node}));
    EXPECT_TRUE(near(c.at(35, 20), QColor(255, 0, 0)));  // column 7 of 12
    EXPECT_TRUE(near(c.at(45, 20), QColor(0, 0, 255)));  // column 9

    // A 4 x 4 picture for a 40 x 40 stream is stretched over the box.
    FixedPictures small(halves(4, 4));
    renderer.setVideoSource(&small);
    Canvas d(100, 100);
    d.draw(renderer, rootOf({videoNode(40, 40)}));
    EXPECT_TRUE(near(d.at(15, 30), QColor(255, 0, 0)));
    EXPECT_TRUE(near(d.at(25, 30), QColor(0, 0, 255)));
}

TEST(VideoRender, NothingIsDrawnWithoutAPictureOrASource)
{
    Canvas c(50, 50);
    RenderNode node = videoNode(40, 40);
    c.draw(rootOf({node}));  // no source
    EXPECT_TRUE(near(c.at(20, 20), kWhite));
    FixedPictures none{QImage()};
    Renderer renderer;
    renderer.setVideoSource(&none);
    c.draw(renderer, rootOf({node}));
    EXPECT_EQ(none.requests, 1);
    EXPECT_TRUE(near(c.at(20, 20), kWhite));
}

} // namespace
