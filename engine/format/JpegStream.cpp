#include "engine/format/JpegStream.h"

#include "engine/format/Error.h"

#include <algorithm>
#include <cstddef>

namespace swf {

namespace {

constexpr uint8_t kMarker = 0xFF;
constexpr uint8_t kSoi = 0xD8;
constexpr uint8_t kEoi = 0xD9;
constexpr uint8_t kSos = 0xDA;
constexpr uint8_t kTem = 0x01;

constexpr bool isRestart(uint8_t m) { return m >= 0xD0 && m <= 0xD7; }
// Markers that stand alone, without a length field.
constexpr bool isStandalone(uint8_t m) { return m == kSoi || m == kEoi || m == kTem || isRestart(m); }

// Copies marker segments from each part into one stream, tracking whether the image has
// been closed.
class JpegJoiner {
public:
    JpegJoiner() { out_ = {kMarker, kSoi}; }

    void add(std::span<const uint8_t> part)
    {
        size_t pos = 0;
        while (!finished_ && pos < part.size())
            pos = step(part, pos);
    }

    std::vector<uint8_t> finish()
    {
        if (!sawScan_)
            throw FormatError("bitmap: JPEG data holds no image scan");
        out_.push_back(kMarker);
        out_.push_back(kEoi);
        return std::move(out_);
    }

private:
    // Handles the marker at or after `pos`; returns where to continue.
    size_t step(std::span<const uint8_t> part, size_t pos)
    {
        if (part[pos] != kMarker)
            return pos + 1;  // junk between segments: skip to the next marker
        while (pos < part.size() && part[pos] == kMarker)
            ++pos;  // fill bytes before the marker code
        if (pos >= part.size())
            return pos;
        const uint8_t marker = part[pos++];
        if (marker == 0)
            return pos;  // a stuffed zero outside any scan means nothing
        if (isStandalone(marker)) {
            if (marker == kEoi && sawScan_)
                finished_ = true;
            return pos;  // SOI/EOI of the separate blocks, stray restarts: dropped
        }
        return copySegment(part, marker, pos);
    }

    size_t copySegment(std::span<const uint8_t> part, uint8_t marker, size_t pos)
    {
        if (part.size() - pos < 2)
            return part.size();  // length cut off
        const size_t length = (size_t{part[pos]} << 8) | part[pos + 1];
        if (length < 2)
            return part.size();  // a segment cannot be shorter than its length field
        const size_t end = std::min(part.size(), pos + length);
        out_.push_back(kMarker);
        out_.push_back(marker);
        out_.insert(out_.end(), part.begin() + static_cast<std::ptrdiff_t>(pos),
                    part.begin() + static_cast<std::ptrdiff_t>(end));
        if (marker != kSos)
            return end;
        sawScan_ = true;
        return copyScanData(part, end);
    }

    // Entropy-coded data runs until a marker other than a stuffed zero or a restart.
    size_t copyScanData(std::span<const uint8_t> part, size_t pos)
    {
        const size_t start = pos;
        while (pos < part.size()) {
            if (part[pos] != kMarker || pos + 1 >= part.size()) {
                ++pos;
                continue;
            }
            const uint8_t next = part[pos + 1];
            if (next == 0 || isRestart(next))
                pos += 2;
            else if (next == kMarker)
                ++pos;
            else
                break;
        }
        out_.insert(out_.end(), part.begin() + static_cast<std::ptrdiff_t>(start),
                    part.begin() + static_cast<std::ptrdiff_t>(pos));
        return pos;
    }

    std::vector<uint8_t> out_;
    bool sawScan_ = false;
    bool finished_ = false;
};

} // namespace

std::vector<uint8_t> joinJpegParts(std::span<const std::span<const uint8_t>> parts)
{
    JpegJoiner joiner;
    for (std::span<const uint8_t> part : parts)
        joiner.add(part);
    return joiner.finish();
}

} // namespace swf
