#pragma once

// The pixels of a script-made bitmap (flash.display.BitmapData): 32-bit ARGB stored
// with premultiplied colour, as the reference player keeps them, so that a colour
// written with partial alpha reads back with the same rounding its player shows.
// Every operation clips to the bitmap; no coordinate from a script reaches memory
// unchecked.

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <utility>
#include <vector>

namespace swf::avm1 {

// Whole-pixel rectangle, possibly empty or outside any bitmap.
struct PixelRect {
    int x = 0, y = 0, width = 0, height = 0;
};

// ARGB <-> premultiplied ARGB, with the player's rounding (half up when multiplying,
// half down when dividing back).
uint32_t premultiply(uint32_t argb);
uint32_t unpremultiply(uint32_t premultiplied);

// The order pixelDissolve walks an area in: a shift register of `bits` bits (2-26)
// whose value goes through every number from 1 to 2^bits - 1 once, and the fewest
// bits whose register covers `area` numbers.
uint32_t dissolveStep(uint32_t state, int bits);
int dissolveBits(uint64_t area);

class BitmapPixels {
public:
    // Largest sides and pixel counts a script may ask for: SWF 10 and later allow 8191
    // pixels a side and fewer than 2^24 pixels; earlier movies 2880 a side.
    static bool sizeAllowed(int width, int height, int swfVersion);

    BitmapPixels(int width, int height, bool transparent, uint32_t fillArgb);
    // Pixels already premultiplied, width x height of them, row by row.
    BitmapPixels(int width, int height, bool transparent, std::vector<uint32_t> premultiplied);

    int width() const { return width_; }
    int height() const { return height_; }
    bool transparent() const { return transparent_; }
    PixelRect bounds() const { return {0, 0, width_, height_}; }
    // `rect` cut to the bitmap.
    PixelRect clip(PixelRect rect) const;
    bool contains(int x, int y) const { return x >= 0 && y >= 0 && x < width_ && y < height_; }

    // Unpremultiplied ARGB; 0 outside the bitmap.
    uint32_t getPixel32(int x, int y) const;
    // Stores ARGB (alpha forced opaque on an opaque bitmap); outside does nothing.
    void setPixel32(int x, int y, uint32_t argb);
    // Replaces the colour and keeps the pixel's alpha.
    void setPixel(int x, int y, uint32_t rgb);
    // Every pixel, premultiplied, row by row.
    const std::vector<uint32_t>& premultipliedPixels() const { return pixels_; }
    // The same pixels to draw on; an opaque bitmap's must be left opaque.
    std::span<uint32_t> drawablePixels() { return pixels_; }
    uint32_t raw(int x, int y) const { return pixels_[static_cast<size_t>(y) * static_cast<size_t>(width_) + static_cast<size_t>(x)]; }
    void setRaw(int x, int y, uint32_t premultiplied)
    {
        pixels_[static_cast<size_t>(y) * static_cast<size_t>(width_) + static_cast<size_t>(x)] = premultiplied;
    }

    void fillRect(PixelRect rect, uint32_t argb);
    // Copies `source`'s `rect` to (destX, destY); with `mergeAlpha` the source is laid
    // over what is there (only where this bitmap keeps alpha).
    void copyPixels(const BitmapPixels& source, PixelRect rect, int destX, int destY, bool mergeAlpha);
    // Like copyPixels, with each pixel's alpha also multiplied by the alpha of `alphaSource`
    // at the matching place (alphaX, alphaY being where `rect`'s corner falls there).
    void copyPixelsWithAlpha(const BitmapPixels& source, PixelRect rect, int destX, int destY,
                             const BitmapPixels& alphaSource, int alphaX, int alphaY, bool mergeAlpha);
    // Channels are 1 red, 2 green, 4 blue, 8 alpha.
    void copyChannel(const BitmapPixels& source, PixelRect rect, int destX, int destY, int sourceChannel,
                     int destChannel);
    // Moves the content by (dx, dy); what moves in from outside keeps the old pixels.
    void scroll(int dx, int dy);
    // Multipliers and offsets, red, green, blue, alpha.
    void colorTransform(PixelRect rect, const std::array<double, 4>& mul, const std::array<double, 4>& add);
    // The smallest rectangle holding every pixel whose (ARGB & mask) == color, or whose
    // value differs from it when `find` is false.
    PixelRect colorBounds(uint32_t mask, uint32_t color, bool find) const;
    // Fills the area of the pixel's colour reachable from (x, y) in four directions.
    void floodFill(int x, int y, uint32_t argb);

    // Pixels that pass `operation` (one of <, <=, >, >=, ==, !=) comparing (pixel & mask)
    // with (threshold & mask) become `color` (or, with copySource false, keep the
    // source's); the others the source's when copySource. Returns how many passed.
    enum class Test { Less, LessEqual, Greater, GreaterEqual, Equal, NotEqual };
    int threshold(const BitmapPixels& source, PixelRect rect, int destX, int destY, Test test, uint32_t threshold,
                  uint32_t color, uint32_t mask, bool copySource);

    // Each channel of the pixels in `rect` from `other` blended by the multipliers (0-256).
    void merge(const BitmapPixels& source, PixelRect rect, int destX, int destY, const std::array<int, 4>& mul);
    // Each channel through its own table of 256 entries (ARGB values that are summed).
    void paletteMap(const BitmapPixels& source, PixelRect rect, int destX, int destY,
                    const std::array<std::optional<std::array<uint32_t, 256>>, 4>& maps);
    // Random values in [low, high] for the chosen channels, or one grey for all three,
    // from the reference player's generator, so a seed gives the picture it gives there.
    void noise(uint32_t seed, int low, int high, int channels, bool grey);

    // Replaces pixels of `rect` (placed at destX, destY) one by one in an order that
    // looks random but visits each pixel once: with the source's pixel, or with
    // `fillArgb` when `fill` (the source being this bitmap). `seed` picks where the
    // walk starts; `numPixels` + 1 pixels change, all of them when it is negative or
    // reaches the area. Returns the seed that goes on where this call stopped (the
    // seed itself when numPixels is 0 or nothing lies inside both bitmaps).
    uint32_t pixelDissolve(const BitmapPixels& source, PixelRect rect, int destX, int destY, uint32_t seed,
                           int numPixels, uint32_t fillArgb, bool fill);

    // Perlin's gradient noise summed over octaves into the chosen channels (1 red,
    // 2 green, 4 blue, 8 alpha), or one grey for the three colours, with the
    // reference player's tables, so a seed gives the picture it gives there. `baseX`,
    // `baseY` are the sizes of the coarsest octave's cells in pixels (0: no change
    // that way); each further octave halves them and counts half as much. Fractal
    // noise maps the sum around mid-grey; otherwise (turbulence) the absolute values
    // are summed up from black. `stitch` makes the noise repeat seamlessly across the
    // bitmap's edges. `offsets` moves each octave, in pixels.
    struct PerlinOptions {
        double baseX = 0, baseY = 0;
        int octaves = 0;
        int32_t seed = 0;
        bool stitch = false;
        bool fractal = false;
        int channels = 7;
        bool grey = false;
        std::vector<std::pair<double, double>> offsets;
    };
    void perlinNoise(const PerlinOptions& options);

private:
    int width_;
    int height_;
    bool transparent_;
    std::vector<uint32_t> pixels_;
};

} // namespace swf::avm1
