#pragma once

// Reading back what the BMP writer stored: the file's bytes and its little-endian fields.

#include <QByteArray>
#include <QFile>
#include <QString>

#include <cstdint>

namespace lanfan::test {

inline QByteArray fileBytes(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

inline uint32_t u16At(const QByteArray& bytes, qsizetype offset)
{
    return uint32_t(uint8_t(bytes[offset])) | uint32_t(uint8_t(bytes[offset + 1])) << 8;
}

inline uint32_t u32At(const QByteArray& bytes, qsizetype offset)
{
    return u16At(bytes, offset) | u16At(bytes, offset + 2) << 16;
}

inline uint8_t byteAt(const QByteArray& bytes, qsizetype offset)
{
    return uint8_t(bytes[offset]);
}

// Offset of pixel byte `column` of image row `row` (0 = top) in a bottom-up file.
inline qsizetype pixelOffset(const QByteArray& bytes, int row, qsizetype column)
{
    const uint32_t height = u32At(bytes, 22);
    const uint32_t rowBytes = u32At(bytes, 34) / height;
    return qsizetype(u32At(bytes, 10)) + qsizetype(height - 1 - uint32_t(row)) * rowBytes + column;
}

} // namespace lanfan::test
