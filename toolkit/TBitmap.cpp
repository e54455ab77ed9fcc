#include "toolkit/TBitmap.h"

#include "toolkit/Exceptions.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>

#include <algorithm>
#include <limits>
#include <new>
#include <system_error>

namespace lanfan {

namespace {

constexpr uint32_t fileHeaderBytes = 14;
constexpr uint32_t infoHeaderBytes = 40;

std::optional<int64_t>& testWriteLimit()
{
    static std::optional<int64_t> limit;
    return limit;
}

bool isSupportedDepth(int bitsPerPixel)
{
    switch (bitsPerPixel) {
    case 1: case 2: case 4: case 8: case 16: case 24: case 32:
        return true;
    default:
        return false;
    }
}

// ---- Palettes ------------------------------------------------------------------------

constexpr uint32_t rgb(int r, int g, int b)
{
    return (uint32_t(r) << 16) | (uint32_t(g) << 8) | uint32_t(b);
}

constexpr int cubeLevels = 6;
constexpr int cubeStep = 51;  // 255 / (cubeLevels - 1)
constexpr int greyCount = 40;

// The greys of the 8-bit palette lie between black and white, which the cube already
// has, so none of the 256 entries is wasted on a duplicate.
int greyLevel(int i)
{
    return (255 * (i + 1) + (greyCount + 1) / 2) / (greyCount + 1);
}

std::vector<uint32_t> eightBitPalette()
{
    std::vector<uint32_t> palette;
    palette.reserve(256);
    for (int r = 0; r < cubeLevels; ++r)
        for (int g = 0; g < cubeLevels; ++g)
            for (int b = 0; b < cubeLevels; ++b)
                palette.push_back(rgb(r * cubeStep, g * cubeStep, b * cubeStep));
    for (int i = 0; i < greyCount; ++i)
        palette.push_back(rgb(greyLevel(i), greyLevel(i), greyLevel(i)));
    return palette;
}

int squaredDistance(QRgb colour, uint32_t entry)
{
    int dr = qRed(colour) - int((entry >> 16) & 0xFF);
    int dg = qGreen(colour) - int((entry >> 8) & 0xFF);
    int db = qBlue(colour) - int(entry & 0xFF);
    return dr * dr + dg * dg + db * db;
}

// Nearest palette entry by brute force; used for the small palettes.
uint8_t nearestIndex(const std::vector<uint32_t>& palette, QRgb colour)
{
    size_t best = 0;
    int bestDistance = std::numeric_limits<int>::max();
    for (size_t i = 0; i < palette.size(); ++i) {
        int d = squaredDistance(colour, palette[i]);
        if (d < bestDistance) {
            bestDistance = d;
            best = i;
        }
    }
    return uint8_t(best);
}

// Nearest entry of the 8-bit palette without a search: the cube is separable, so each
// channel rounds to its own level; the nearest grey is the one nearest the channels'
// mean. The closer of the two wins.
uint8_t nearestEightBitIndex(const std::vector<uint32_t>& palette, QRgb colour)
{
    auto level = [](int c) { return (c + cubeStep / 2) / cubeStep; };
    int cube = level(qRed(colour)) * 36 + level(qGreen(colour)) * 6 + level(qBlue(colour));
    int mean = (qRed(colour) + qGreen(colour) + qBlue(colour) + 1) / 3;
    int grey = std::clamp((mean * (greyCount + 1) + 127) / 255 - 1, 0, greyCount - 1);
    int greyIndex = cubeLevels * cubeLevels * cubeLevels + grey;
    return uint8_t(squaredDistance(colour, palette[size_t(greyIndex)]) < squaredDistance(colour, palette[size_t(cube)])
                       ? greyIndex
                       : cube);
}

// ---- Pixel rows ----------------------------------------------------------------------

void encodeRow(const QRgb* source, int width, int bitsPerPixel, const std::vector<uint32_t>& palette,
               uint8_t* row)
{
    switch (bitsPerPixel) {
    case 32:
        for (int x = 0; x < width; ++x, row += 4) {
            row[0] = uint8_t(qBlue(source[x]));
            row[1] = uint8_t(qGreen(source[x]));
            row[2] = uint8_t(qRed(source[x]));
            row[3] = 0;
        }
        return;
    case 24:
        for (int x = 0; x < width; ++x, row += 3) {
            row[0] = uint8_t(qBlue(source[x]));
            row[1] = uint8_t(qGreen(source[x]));
            row[2] = uint8_t(qRed(source[x]));
        }
        return;
    case 16:
        // Five bits each of blue (lowest), green and red; the top bit stays clear.
        for (int x = 0; x < width; ++x, row += 2) {
            auto value = uint16_t(((qRed(source[x]) >> 3) << 10) | ((qGreen(source[x]) >> 3) << 5) |
                                  (qBlue(source[x]) >> 3));
            row[0] = uint8_t(value & 0xFF);
            row[1] = uint8_t(value >> 8);
        }
        return;
    default:
        // Palette indexes, the leftmost pixel in the most significant bits of a byte.
        for (int x = 0; x < width; ++x) {
            uint8_t index = bitsPerPixel == 8 ? nearestEightBitIndex(palette, source[x])
                                              : nearestIndex(palette, source[x]);
            int bit = x * bitsPerPixel;
            row[bit / 8] |= uint8_t(index << (8 - bitsPerPixel - bit % 8));
        }
        return;
    }
}

void putU16(std::vector<uint8_t>& out, uint32_t value)
{
    out.push_back(uint8_t(value & 0xFF));
    out.push_back(uint8_t((value >> 8) & 0xFF));
}

void putU32(std::vector<uint8_t>& out, uint32_t value)
{
    putU16(out, value & 0xFFFF);
    putU16(out, value >> 16);
}

// ---- File ----------------------------------------------------------------------------

// The platform's text for an error, as the error message shows it: without trailing
// blanks, control characters or full stops.
QString trimmedReason(QString reason)
{
    while (!reason.isEmpty() && (reason.back() <= QChar(' ') || reason.back() == QChar('.')))
        reason.chop(1);
    return reason;
}

[[noreturn]] void raiseCreateError(const QString& absolutePath, const QString& reason)
{
    throw EFCreateError(QStringLiteral("Cannot create file \"%1\". %2").arg(absolutePath, trimmedReason(reason)));
}

// The temporary file is created happily beside a folder of the target's name, or beside
// a read-only target; the rename at the end would then replace what opening the target
// itself refuses. Such targets are refused up front, with the platform's reason for
// refusing to open them for writing.
std::optional<QString> reasonTargetCannotBeReplaced(const QFileInfo& target)
{
    auto reason = [](std::errc code) { return QString::fromStdString(std::make_error_code(code).message()); };
    if (target.isDir())
        return reason(std::errc::is_a_directory);
    if (target.exists() && !target.isWritable())
        return reason(std::errc::permission_denied);
    return std::nullopt;
}

// Writes all of `bytes`, honouring the test limit; a short store is a write error.
void writeAll(QSaveFile& file, const uint8_t* bytes, int64_t count, int64_t& writtenSoFar)
{
    int64_t allowed = count;
    if (auto& limit = testWriteLimit())
        allowed = std::clamp<int64_t>(*limit - writtenSoFar, 0, count);
    qint64 stored = allowed > 0 ? file.write(reinterpret_cast<const char*>(bytes), allowed) : 0;
    if (stored > 0)
        writtenSoFar += stored;
    if (stored != count)
        throw EWriteError(messages::streamWriteError);
}

// Headers, colour table and pixels, in file order.
void writeBitmapFile(QSaveFile& file, const DeviceIndependentBitmap& dib)
{
    int64_t written = 0;
    const std::vector<uint8_t> headers = dib.headers();
    writeAll(file, headers.data(), int64_t(headers.size()), written);
    std::vector<uint8_t> table;
    for (uint32_t entry : dib.colourTable)
        putU32(table, entry);  // blue, green, red, 0 in file order
    writeAll(file, table.data(), int64_t(table.size()), written);
    writeAll(file, dib.pixels.data(), int64_t(dib.pixels.size()), written);
}

} // namespace

std::vector<uint32_t> paletteForDepth(int bitsPerPixel)
{
    switch (bitsPerPixel) {
    case 1:
        return {rgb(0, 0, 0), rgb(255, 255, 255)};
    case 2:
        return {rgb(0, 0, 0), rgb(85, 85, 85), rgb(170, 170, 170), rgb(255, 255, 255)};
    case 4:
        return {rgb(0, 0, 0),       rgb(128, 0, 0),   rgb(0, 128, 0),   rgb(128, 128, 0),
                rgb(0, 0, 128),     rgb(128, 0, 128), rgb(0, 128, 128), rgb(192, 192, 192),
                rgb(128, 128, 128), rgb(255, 0, 0),   rgb(0, 255, 0),   rgb(255, 255, 0),
                rgb(0, 0, 255),     rgb(255, 0, 255), rgb(0, 255, 255), rgb(255, 255, 255)};
    case 8:
        return eightBitPalette();
    default:
        return {};
    }
}

DeviceIndependentBitmap DeviceIndependentBitmap::fromImage(const QImage& image, int bitsPerPixel)
{
    DeviceIndependentBitmap dib;
    dib.width = image.width();
    dib.height = image.height();
    dib.bitsPerPixel = bitsPerPixel;
    dib.rowBytes = uint32_t((uint64_t(dib.width) * uint64_t(bitsPerPixel) + 31) / 32 * 4);
    // The file's size fields are 32 bits; a picture that does not fit them cannot be
    // copied, just as the platform would refuse so large a bitmap.
    uint64_t imageBytes = uint64_t(dib.rowBytes) * uint64_t(dib.height);
    if (imageBytes > std::numeric_limits<uint32_t>::max() - fileHeaderBytes - infoHeaderBytes - 4 * 256)
        throw EOutOfResources(messages::outOfResources);

    QImage source = image.convertToFormat(QImage::Format_RGB32);
    if (source.isNull())
        throw EOutOfResources(messages::outOfResources);
    try {
        dib.colourTable = paletteForDepth(bitsPerPixel);
        dib.pixels.assign(size_t(imageBytes), 0);
    } catch (const std::bad_alloc&) {
        throw EOutOfResources(messages::outOfResources);
    }
    for (int y = 0; y < dib.height; ++y) {
        // The first stored row is the bottom row of the picture.
        uint8_t* row = dib.pixels.data() + size_t(dib.height - 1 - y) * dib.rowBytes;
        encodeRow(reinterpret_cast<const QRgb*>(source.constScanLine(y)), dib.width, bitsPerPixel, dib.colourTable,
                  row);
    }
    return dib;
}

uint32_t DeviceIndependentBitmap::fileSize() const
{
    return fileHeaderBytes + infoHeaderBytes + uint32_t(4 * colourTable.size()) + uint32_t(pixels.size());
}

std::vector<uint8_t> DeviceIndependentBitmap::headers() const
{
    auto colours = uint32_t(colourTable.size());
    std::vector<uint8_t> out;
    out.reserve(fileHeaderBytes + infoHeaderBytes);
    out.push_back('B');
    out.push_back('M');
    putU32(out, fileSize());
    putU16(out, 0);
    putU16(out, 0);
    putU32(out, fileHeaderBytes + infoHeaderBytes + 4 * colours);
    putU32(out, infoHeaderBytes);
    putU32(out, uint32_t(width));
    putU32(out, uint32_t(height));  // positive: rows stored bottom-up
    putU16(out, 1);
    putU16(out, uint32_t(bitsPerPixel));
    putU32(out, 0);  // BI_RGB
    putU32(out, uint32_t(pixels.size()));
    putU32(out, 0);
    putU32(out, 0);
    putU32(out, colours);
    putU32(out, 0);
    return out;
}

void TBitmap::setTestWriteLimit(std::optional<int64_t> bytes)
{
    testWriteLimit() = bytes;
}

void TBitmap::setHandle(QImage image, int bitsPerPixel)
{
    if (!isSupportedDepth(bitsPerPixel))
        throw EInvalidOperation(QStringLiteral("不支持的颜色深度：%1 位").arg(bitsPerPixel));
    image_ = std::move(image);
    bitsPerPixel_ = bitsPerPixel;
    dib_.reset();
}

void TBitmap::CheckNotEmpty() const
{
    // A file with no pixels would be no picture at all; say so rather than leave an
    // empty file that looks like a saved capture.
    if (Empty())
        throw EInvalidOperation(QStringLiteral("截图区域为空（宽度或高度为 0），未保存文件"));
}

void TBitmap::SaveToFile(const QString& fileName)
{
    CheckNotEmpty();

    const QString absolutePath = QDir::toNativeSeparators(QDir::cleanPath(QFileInfo(fileName).absoluteFilePath()));
    if (!dib_)
        dib_ = DeviceIndependentBitmap::fromImage(image_, bitsPerPixel_);

    if (auto reason = reasonTargetCannotBeReplaced(QFileInfo(fileName)))
        raiseCreateError(absolutePath, *reason);

    // QSaveFile writes beside the target and renames over it on commit; destroying it
    // uncommitted removes the temporary file, which covers every error below.
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly))
        raiseCreateError(absolutePath, file.errorString());

    writeBitmapFile(file, *dib_);
    if (!file.flush())
        throw EWriteError(messages::streamWriteError);
    if (!file.commit()) {
        if (file.error() == QFileDevice::WriteError)
            throw EWriteError(messages::streamWriteError);
        raiseCreateError(absolutePath, file.errorString());
    }
}

} // namespace lanfan
