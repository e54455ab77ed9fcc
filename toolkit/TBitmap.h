#pragma once

// The bitmap image object of the capture command. It takes a picture grabbed from the
// screen together with the display's bits per pixel, and writes it as a Windows BMP file
// (14-byte file header, 40-byte info header, colour table for 8 bits or fewer, rows
// bottom-up padded to four bytes) at that depth.
//
// Saving never leaves a half-written or emptied file behind: the bytes go to a temporary
// file beside the target, which replaces the target only once everything is written.

#include <QImage>
#include <QString>

#include <cstdint>
#include <optional>
#include <vector>

namespace lanfan {

// A device-independent copy of a picture, laid out as a BMP file stores it.
struct DeviceIndependentBitmap {
    int width = 0;
    int height = 0;
    int bitsPerPixel = 0;
    // Entries as 0x00RRGGBB; empty above 8 bits per pixel.
    std::vector<uint32_t> colourTable;
    // Bytes per stored row, padded to a multiple of four.
    uint32_t rowBytes = 0;
    // height rows of rowBytes each, bottom row first.
    std::vector<uint8_t> pixels;

    // Makes the copy of `image` at `bitsPerPixel` (1, 2, 4, 8, 16, 24 or 32). Raises
    // EOutOfResources when the pixel buffer cannot be had.
    static DeviceIndependentBitmap fromImage(const QImage& image, int bitsPerPixel);

    // The file header and the info header (54 bytes) for this copy.
    std::vector<uint8_t> headers() const;
    uint32_t fileSize() const;
};

// The palette used for a depth of 8 bits or fewer: black and white at 1 bit, four greys at
// 2, the sixteen classic colours at 4, a 6x6x6 colour cube and 40 greys at 8.
std::vector<uint32_t> paletteForDepth(int bitsPerPixel);

class TBitmap {
public:
    TBitmap() = default;

    // Takes the grabbed picture and the display's bits per pixel. Raises
    // EInvalidOperation for a depth a BMP file cannot hold.
    void setHandle(QImage image, int bitsPerPixel);

    bool Empty() const { return image_.isNull() || image_.width() <= 0 || image_.height() <= 0; }
    // Raises the "nothing to save" error for an image without pixels.
    void CheckNotEmpty() const;
    int Width() const { return image_.width(); }
    int Height() const { return image_.height(); }
    int bitsPerPixel() const { return bitsPerPixel_; }

    // Writes the picture to `fileName`, replacing any file of that name. Raises
    // EInvalidOperation for an empty picture, EOutOfResources when the copy cannot be
    // made, EFCreateError when the file cannot be created and EWriteError when fewer
    // bytes are stored than asked; in every one of these cases the target stays as it was.
    void SaveToFile(const QString& fileName);

    // The device-independent copy made by the last save, kept with the image.
    const std::optional<DeviceIndependentBitmap>& deviceIndependentCopy() const { return dib_; }

    // Test seam: after this many bytes in total, each save's writes store nothing more,
    // as on a full disk. std::nullopt lifts the limit.
    static void setTestWriteLimit(std::optional<int64_t> bytes);

private:
    QImage image_;
    int bitsPerPixel_ = 0;
    std::optional<DeviceIndependentBitmap> dib_;
};

} // namespace lanfan
