#include "engine/format/Bitmap.h"

#include "engine/format/BitmapInflate.h"
#include "engine/format/BitmapLossless.h"
#include "engine/format/GifDecoder.h"
#include "engine/format/JpegDecoder.h"
#include "engine/format/PngDecoder.h"

#include <string>

namespace swf {

namespace {

enum class BitmapTag : int {
    Bits = 6,
    Lossless = 20,
    Jpeg2 = 21,
    Jpeg3 = 35,
    Lossless2 = 36,
    Jpeg4 = 90,
};

// JPEG2/3/4 may hold a PNG or GIF file instead of JPEG data; the signature tells which.
BitmapData decodeEmbeddedImage(std::span<const uint8_t> image, std::span<const uint8_t> tables)
{
    if (looksLikePng(image))
        return decodePng(image);
    if (looksLikeGif(image))
        return decodeGif(image);
    return decodeJpeg(tables, image);
}

// The alpha plane of JPEG3/4: one byte a pixel, zlib-compressed. The colours in the JPEG
// are stored premultiplied by this alpha (transparent areas are dark in the JPEG itself),
// so they are clamped to it rather than multiplied again.
void applyAlphaPlane(std::span<const uint8_t> compressed, BitmapData& image)
{
    if (compressed.empty())
        return;  // no alpha written: the image stays opaque
    const std::vector<uint8_t> alpha = inflateExactly(compressed, image.pixels.size(), "alpha plane");
    for (size_t i = 0; i < alpha.size(); ++i) {
        const uint32_t p = image.pixels[i];
        if (pixel::alphaOf(p) != 255)
            continue;  // a row the JPEG decoder could not reach stays transparent
        image.pixels[i] = pixel::clampToAlpha(alpha[i], (p >> 16) & 255, (p >> 8) & 255, p & 255);
    }
}

// JPEG3 and JPEG4: image data of a given length, then (JPEG4) a deblocking strength, then
// the alpha plane, which applies to JPEG data only.
BitmapData decodeJpegWithAlpha(ByteReader& body, bool hasDeblocking)
{
    const uint32_t imageSize = body.u32();
    // The deblocking filter strength is a hint for smoothing JPEG block edges at display
    // time; the image is shown without it.
    if (hasDeblocking)
        body.u16();
    if (imageSize > body.remaining())
        throw FormatError("bitmap: JPEG data size " + std::to_string(imageSize) + " runs past the tag");
    const std::span<const uint8_t> image = body.bytes(imageSize);
    if (looksLikePng(image) || looksLikeGif(image))
        return decodeEmbeddedImage(image, {});
    BitmapData out = decodeJpeg({}, image);
    applyAlphaPlane(body.rest(), out);
    return out;
}

BitmapData decode(BitmapTag tag, ByteReader& body, std::span<const uint8_t> jpegTables)
{
    switch (tag) {
    case BitmapTag::Bits:
        return decodeJpeg(jpegTables, body.rest());
    case BitmapTag::Jpeg2:
        return decodeEmbeddedImage(body.rest(), {});
    case BitmapTag::Jpeg3:
        return decodeJpegWithAlpha(body, false);
    case BitmapTag::Jpeg4:
        return decodeJpegWithAlpha(body, true);
    case BitmapTag::Lossless:
        return decodeLossless(body, LosslessAlpha::Opaque);
    case BitmapTag::Lossless2:
        return decodeLossless(body, LosslessAlpha::Premultiplied);
    }
    throw FormatError("bitmap: tag " + std::to_string(static_cast<int>(tag)) + " is not a bitmap");
}

} // namespace

void checkBitmapSize(int64_t width, int64_t height)
{
    if (width <= 0 || height <= 0)
        throw FormatError("bitmap: empty image (" + std::to_string(width) + "x" + std::to_string(height) + ")");
    if (width > kMaxBitmapPixels / height)
        throw FormatError("bitmap: image of " + std::to_string(width) + "x" + std::to_string(height)
                          + " pixels is too large");
}

BitmapData makeBitmap(int64_t width, int64_t height)
{
    checkBitmapSize(width, height);
    BitmapData out;
    out.width = static_cast<int>(width);
    out.height = static_cast<int>(height);
    out.pixels.assign(static_cast<size_t>(width * height), 0);
    return out;
}

bool isBitmapTag(int tagCode)
{
    switch (static_cast<BitmapTag>(tagCode)) {
    case BitmapTag::Bits:
    case BitmapTag::Lossless:
    case BitmapTag::Jpeg2:
    case BitmapTag::Jpeg3:
    case BitmapTag::Lossless2:
    case BitmapTag::Jpeg4:
        return true;
    }
    return false;
}

std::shared_ptr<const BitmapData> decodeBitmapTag(int tagCode, ByteReader& body, std::span<const uint8_t> jpegTables)
{
    if (!isBitmapTag(tagCode))
        throw FormatError("bitmap: tag " + std::to_string(tagCode) + " is not a bitmap");
    return std::make_shared<const BitmapData>(decode(static_cast<BitmapTag>(tagCode), body, jpegTables));
}

} // namespace swf
