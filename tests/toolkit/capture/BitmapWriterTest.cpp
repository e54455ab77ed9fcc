#include "tests/support/QtApp.h"
#include "tests/toolkit/capture/BmpBytes.h"

#include "toolkit/Exceptions.h"
#include "toolkit/TBitmap.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>

#include <algorithm>
#include <functional>
#include <set>

#include <unistd.h>

using namespace lanfan;
using lanfan::test::byteAt;
using lanfan::test::fileBytes;
using lanfan::test::pixelOffset;
using lanfan::test::u16At;
using lanfan::test::u32At;

namespace {

QImage solidImage(int width, int height, QRgb colour)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(colour);
    return image;
}

// Three columns, two rows, every pixel different, so row order and channel order show.
QImage knownImage()
{
    QImage image(3, 2, QImage::Format_RGB32);
    image.setPixel(0, 0, qRgb(255, 0, 0));
    image.setPixel(1, 0, qRgb(0, 255, 0));
    image.setPixel(2, 0, qRgb(0, 0, 255));
    image.setPixel(0, 1, qRgb(8, 16, 24));
    image.setPixel(1, 1, qRgb(255, 255, 255));
    image.setPixel(2, 1, qRgb(1, 2, 3));
    return image;
}

QString saveImage(const QImage& image, int bitsPerPixel, const QString& path)
{
    TBitmap bitmap;
    bitmap.setHandle(image, bitsPerPixel);
    bitmap.SaveToFile(path);
    return path;
}

// The message a failing save raised, with the class it was raised as.
template <class Error>
QString messageOf(const std::function<void()>& action)
{
    try {
        action();
    } catch (const Error& e) {
        return e.message();
    } catch (const std::exception& e) {
        return QStringLiteral("wrong error: ") + QString::fromUtf8(e.what());
    }
    return QStringLiteral("no error");
}

QStringList entriesOf(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}

class BitmapWriterTest : public ::testing::Test {
protected:
    void SetUp() override { lanfan::test::qtApp(); }
    void TearDown() override { TBitmap::setTestWriteLimit(std::nullopt); }

    QString pathOf(const QString& name) const { return dir.filePath(name); }
    void writeOldFile(const QString& path) const
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("old contents");
    }

    QTemporaryDir dir;
};

// ---- Headers and sizes -----------------------------------------------------------------

struct DepthCase {
    int bitsPerPixel;
    uint32_t rowBytes;
};

class BitmapHeaderTest : public BitmapWriterTest, public ::testing::WithParamInterface<DepthCase> {};

TEST_P(BitmapHeaderTest, PlayerAreaOfTheDefaultWindowHasTheFieldsOfItsDepth)
{
    const auto [bits, rowBytes] = GetParam();
    const QByteArray bytes = fileBytes(saveImage(solidImage(518, 282, qRgb(10, 20, 30)), bits, pathOf("a.bmp")));
    const uint32_t imageBytes = 282 * rowBytes;

    ASSERT_EQ(bytes.size(), qsizetype(54 + imageBytes));
    EXPECT_EQ(bytes.left(2), QByteArray("BM"));
    EXPECT_EQ(u32At(bytes, 2), 54 + imageBytes);  // bfSize
    EXPECT_EQ(u32At(bytes, 6), 0u);               // both reserved words
    EXPECT_EQ(u32At(bytes, 10), 54u);             // bfOffBits
    EXPECT_EQ(u32At(bytes, 14), 40u);
    EXPECT_EQ(u32At(bytes, 18), 518u);
    EXPECT_EQ(u32At(bytes, 22), 282u);
    EXPECT_EQ(u16At(bytes, 26), 1u);
    EXPECT_EQ(u16At(bytes, 28), uint32_t(bits));
    EXPECT_EQ(u32At(bytes, 30), 0u);  // BI_RGB
    EXPECT_EQ(u32At(bytes, 34), imageBytes);
    for (int offset = 38; offset < 54; offset += 4)
        EXPECT_EQ(u32At(bytes, offset), 0u) << "field at " << offset;
}

INSTANTIATE_TEST_SUITE_P(Depths, BitmapHeaderTest,
                         ::testing::Values(DepthCase{32, 2072}, DepthCase{24, 1556}, DepthCase{16, 1036}),
                         [](const auto& depth) { return std::to_string(depth.param.bitsPerPixel) + "bit"; });

TEST_F(BitmapWriterTest, EightBitFileCarriesItsColourTableInHeaderAndSizes)
{
    const QByteArray bytes = fileBytes(saveImage(solidImage(518, 3, qRgb(255, 0, 0)), 8, pathOf("a.bmp")));
    const uint32_t imageBytes = 3 * 520;  // 518 one-byte pixels padded to 520

    ASSERT_EQ(bytes.size(), qsizetype(54 + 1024 + imageBytes));
    EXPECT_EQ(u32At(bytes, 2), 54 + 1024 + imageBytes);
    EXPECT_EQ(u32At(bytes, 10), 54u + 1024u);
    EXPECT_EQ(u16At(bytes, 28), 8u);
    EXPECT_EQ(u32At(bytes, 34), imageBytes);
    EXPECT_EQ(u32At(bytes, 46), 256u);  // biClrUsed
    EXPECT_EQ(u32At(bytes, 50), 0u);

    // Every entry is blue, green, red, 0 and the table is the palette in order.
    const std::vector<uint32_t> palette = paletteForDepth(8);
    ASSERT_EQ(palette.size(), 256u);
    for (size_t i = 0; i < palette.size(); ++i) {
        const qsizetype at = 54 + qsizetype(4 * i);
        EXPECT_EQ(byteAt(bytes, at), palette[i] & 0xFF);
        EXPECT_EQ(byteAt(bytes, at + 1), (palette[i] >> 8) & 0xFF);
        EXPECT_EQ(byteAt(bytes, at + 2), (palette[i] >> 16) & 0xFF);
        EXPECT_EQ(byteAt(bytes, at + 3), 0u);
    }
    // The red pixels point at a pure red entry.
    const uint8_t index = byteAt(bytes, pixelOffset(bytes, 0, 0));
    EXPECT_EQ(palette[index], 0xFF0000u);
}

TEST_F(BitmapWriterTest, EightBitPaletteHoldsTheColourCubeAndDistinctGreys)
{
    const std::vector<uint32_t> palette = paletteForDepth(8);
    EXPECT_EQ(std::set<uint32_t>(palette.begin(), palette.end()).size(), 256u) << "no entry wasted on a duplicate";
    for (uint32_t colour : {0x000000u, 0xFFFFFFu, 0xFF0000u, 0x00FF00u, 0x0000FFu, 0x336699u})
        EXPECT_NE(std::find(palette.begin(), palette.end(), colour), palette.end()) << std::hex << colour;
}

// ---- Pixel data --------------------------------------------------------------------------

TEST_F(BitmapWriterTest, ThirtyTwoBitRowsAreBottomUpInBlueGreenRedZero)
{
    const QByteArray bytes = fileBytes(saveImage(knownImage(), 32, pathOf("a.bmp")));
    ASSERT_EQ(bytes.size(), 54 + 2 * 12);
    // The first stored row is the image's bottom row.
    const QByteArray bottomFirst = QByteArray::fromHex("18100800" "ffffff00" "03020100"
                                                       "0000ff00" "00ff0000" "ff000000");
    EXPECT_EQ(bytes.mid(54).toHex(), bottomFirst.toHex());
}

TEST_F(BitmapWriterTest, TwentyFourBitRowsArePaddedToFourBytesWithZeros)
{
    const QByteArray bytes = fileBytes(saveImage(knownImage(), 24, pathOf("a.bmp")));
    ASSERT_EQ(bytes.size(), 54 + 2 * 12);  // 9 bytes of pixels, 3 of padding per row
    EXPECT_EQ(bytes.mid(54).toHex(), QByteArray("181008" "ffffff" "030201" "000000"
                                                 "0000ff" "00ff00" "ff0000" "000000"));
}

TEST_F(BitmapWriterTest, SixteenBitPixelsAreFiveBitsEachWithBlueLowestAndTopBitClear)
{
    const QByteArray bytes = fileBytes(saveImage(knownImage(), 16, pathOf("a.bmp")));
    ASSERT_EQ(bytes.size(), 54 + 2 * 8);  // 6 bytes of pixels, 2 of padding per row
    EXPECT_EQ(u16At(bytes, pixelOffset(bytes, 0, 0)), 0x7C00u);  // red
    EXPECT_EQ(u16At(bytes, pixelOffset(bytes, 0, 2)), 0x03E0u);  // green
    EXPECT_EQ(u16At(bytes, pixelOffset(bytes, 0, 4)), 0x001Fu);  // blue
    EXPECT_EQ(u16At(bytes, pixelOffset(bytes, 1, 0)), (1u << 10) | (2u << 5) | 3u);
    EXPECT_EQ(u16At(bytes, pixelOffset(bytes, 1, 2)), 0x7FFFu);  // white: top bit clear
    EXPECT_EQ(u16At(bytes, pixelOffset(bytes, 1, 4)), 0u);       // below one step of five bits
    EXPECT_EQ(u16At(bytes, pixelOffset(bytes, 0, 6)), 0u);       // padding
}

TEST_F(BitmapWriterTest, SmallDepthsPackPaletteIndexesFromTheMostSignificantBit)
{
    // Ten pixels, alternately white and black: at 1 bit 1010101010 in a 4-byte row.
    QImage stripes(10, 1, QImage::Format_RGB32);
    for (int x = 0; x < 10; ++x)
        stripes.setPixel(x, 0, x % 2 == 0 ? qRgb(255, 255, 255) : qRgb(0, 0, 0));
    QByteArray one = fileBytes(saveImage(stripes, 1, pathOf("one.bmp")));
    ASSERT_EQ(one.size(), 54 + 2 * 4 + 4);
    EXPECT_EQ(u32At(one, 46), 2u);
    EXPECT_EQ(one.mid(62).toHex(), QByteArray("aa800000"));

    // At 4 bits two pixels share a byte, the left one high: white is entry 15, black 0.
    QByteArray four = fileBytes(saveImage(stripes, 4, pathOf("four.bmp")));
    ASSERT_EQ(four.size(), 54 + 16 * 4 + 8);
    EXPECT_EQ(u32At(four, 46), 16u);
    EXPECT_EQ(four.mid(54 + 64).toHex(), QByteArray("f0f0f0f0f0000000"));
}

TEST_F(BitmapWriterTest, QtsReaderSeesThePicturesThatWereSaved)
{
    // An independent decoder reads each depth back as the colours written, to the
    // precision the depth keeps.
    const QImage source = knownImage();
    for (int bits : {32, 24, 16}) {
        QImage read(saveImage(source, bits, pathOf(QStringLiteral("%1.bmp").arg(bits))));
        ASSERT_EQ(read.size(), source.size()) << bits;
        const int tolerance = bits == 16 ? 8 : 0;
        for (int y = 0; y < 2; ++y)
            for (int x = 0; x < 3; ++x) {
                QRgb want = source.pixel(x, y), got = read.pixel(x, y);
                EXPECT_NEAR(qRed(got), qRed(want), tolerance) << bits << " bits at " << x << "," << y;
                EXPECT_NEAR(qGreen(got), qGreen(want), tolerance) << bits << " bits at " << x << "," << y;
                EXPECT_NEAR(qBlue(got), qBlue(want), tolerance) << bits << " bits at " << x << "," << y;
            }
    }
    QImage eight(saveImage(source, 8, pathOf("8.bmp")));
    ASSERT_EQ(eight.size(), source.size());
    EXPECT_EQ(eight.pixel(0, 0), qRgb(255, 0, 0));
    EXPECT_EQ(eight.pixel(1, 1), qRgb(255, 255, 255));
    EXPECT_EQ(qRed(eight.pixel(0, 1)), qGreen(eight.pixel(0, 1))) << "a near-black grey maps to a grey";
}

TEST_F(BitmapWriterTest, GreysMapToTheNearestGreyAtEightBits)
{
    QImage greys(3, 1, QImage::Format_RGB32);
    greys.setPixel(0, 0, qRgb(128, 128, 128));
    greys.setPixel(1, 0, qRgb(20, 20, 20));
    greys.setPixel(2, 0, qRgb(130, 126, 128));
    const QImage read(saveImage(greys, 8, pathOf("g.bmp")));
    // The greys lie about 6 apart, so the nearest is within 3 of the channels' mean.
    const int means[] = {128, 20, 128};
    for (int x = 0; x < 3; ++x) {
        const QRgb got = read.pixel(x, 0);
        EXPECT_EQ(qRed(got), qGreen(got)) << x;
        EXPECT_EQ(qGreen(got), qBlue(got)) << x;
        EXPECT_NEAR(qRed(got), means[x], 3) << x;
    }
}

// ---- Replacing and failing -------------------------------------------------------------

TEST_F(BitmapWriterTest, ExistingFileIsReplacedWholeWithoutLeftovers)
{
    const QString path = pathOf("shot.bmp");
    writeOldFile(path);
    saveImage(solidImage(4, 4, qRgb(1, 2, 3)), 32, path);
    const QByteArray bytes = fileBytes(path);
    EXPECT_EQ(bytes.size(), 54 + 64);
    EXPECT_EQ(bytes.left(2), QByteArray("BM"));
    EXPECT_EQ(entriesOf(dir.path()), QStringList{"shot.bmp"});
}

TEST_F(BitmapWriterTest, FolderOfTheTargetsNameCannotBeCreatedAndIsLeftAlone)
{
    const QString path = pathOf("shot.bmp");
    ASSERT_TRUE(QDir(dir.path()).mkdir("shot.bmp"));
    const QString message = messageOf<EFCreateError>([&] { saveImage(knownImage(), 32, path); });
    EXPECT_EQ(message, QStringLiteral("Cannot create file \"%1\". Is a directory").arg(QDir::toNativeSeparators(path)));
    EXPECT_TRUE(QFileInfo(path).isDir());
    EXPECT_EQ(entriesOf(dir.path()), QStringList{"shot.bmp"});
}

TEST_F(BitmapWriterTest, MissingFolderNamesTheAbsolutePathAndThePlatformsReason)
{
    // A relative name is reported as the absolute path it stands for.
    const QString previous = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(dir.path()));
    const QString message = messageOf<EFCreateError>([&] { saveImage(knownImage(), 24, "missing/../missing/x.bmp"); });
    QDir::setCurrent(previous);
    EXPECT_EQ(message, QStringLiteral("Cannot create file \"%1\". No such file or directory")
                           .arg(QDir::toNativeSeparators(pathOf("missing/x.bmp"))));
    EXPECT_TRUE(entriesOf(dir.path()).isEmpty());
}

TEST_F(BitmapWriterTest, ReadOnlyFolderOrFileKeepsTheOldFile)
{
    if (geteuid() == 0)
        GTEST_SKIP() << "the superuser may write into a read-only folder";
    const QString path = pathOf("shot.bmp");
    writeOldFile(path);
    ASSERT_TRUE(QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::ExeOwner));
    const QString message = messageOf<EFCreateError>([&] { saveImage(knownImage(), 32, path); });
    QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    EXPECT_EQ(message, QStringLiteral("Cannot create file \"%1\". Permission denied").arg(QDir::toNativeSeparators(path)));
    EXPECT_EQ(fileBytes(path), QByteArray("old contents"));
    EXPECT_EQ(entriesOf(dir.path()), QStringList{"shot.bmp"});

    // A read-only file in a writable folder is not replaced either.
    ASSERT_TRUE(QFile::setPermissions(path, QFile::ReadOwner));
    EXPECT_EQ(messageOf<EFCreateError>([&] { saveImage(knownImage(), 32, path); }),
              QStringLiteral("Cannot create file \"%1\". Permission denied").arg(QDir::toNativeSeparators(path)));
    EXPECT_EQ(fileBytes(path), QByteArray("old contents"));
    EXPECT_EQ(entriesOf(dir.path()), QStringList{"shot.bmp"});
}

TEST_F(BitmapWriterTest, ShortWriteRaisesTheWriteErrorAndKeepsTheOldFile)
{
    const QString path = pathOf("shot.bmp");
    writeOldFile(path);
    // Cut off in the headers, and in the pixels.
    for (int64_t limit : {int64_t(0), int64_t(20), int64_t(54 + 100)}) {
        TBitmap::setTestWriteLimit(limit);
        const QString message = messageOf<EWriteError>([&] { saveImage(solidImage(50, 50, qRgb(9, 9, 9)), 32, path); });
        EXPECT_EQ(message, QStringLiteral("Stream write error")) << limit;
        EXPECT_EQ(fileBytes(path), QByteArray("old contents")) << limit;
        EXPECT_EQ(entriesOf(dir.path()), QStringList{"shot.bmp"}) << limit;
    }
    // Once the disk has room again, the same picture saves.
    TBitmap::setTestWriteLimit(std::nullopt);
    saveImage(solidImage(50, 50, qRgb(9, 9, 9)), 32, path);
    EXPECT_EQ(fileBytes(path).size(), 54 + 50 * 50 * 4);
}

TEST_F(BitmapWriterTest, EmptyCaptureIsRefusedAndWritesNothing)
{
    const QString path = pathOf("shot.bmp");
    const QString expected = QStringLiteral("截图区域为空（宽度或高度为 0），未保存文件");
    for (const QImage& image : {QImage(), solidImage(0, 5, 0), solidImage(5, 0, 0)}) {
        TBitmap bitmap;
        bitmap.setHandle(image, 32);
        EXPECT_EQ(messageOf<EInvalidOperation>([&] { bitmap.SaveToFile(path); }), expected);
    }
    EXPECT_TRUE(entriesOf(dir.path()).isEmpty());

    TBitmap neverHanded;
    EXPECT_EQ(messageOf<EInvalidOperation>([&] { neverHanded.SaveToFile(path); }), expected);
    writeOldFile(path);
    EXPECT_EQ(messageOf<EInvalidOperation>([&] { neverHanded.SaveToFile(path); }), expected);
    EXPECT_EQ(fileBytes(path), QByteArray("old contents"));
}

TEST_F(BitmapWriterTest, DepthsABitmapFileCannotHoldAreRefused)
{
    TBitmap bitmap;
    for (int bits : {0, 3, 15, 30, 64})
        EXPECT_THROW(bitmap.setHandle(knownImage(), bits), EInvalidOperation) << bits;
}

} // namespace
