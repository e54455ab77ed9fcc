#include "engine/format/JpegDecoder.h"

#include "engine/format/Error.h"
#include "engine/format/JpegStream.h"

#include <array>
#include <bit>
#include <csetjmp>
#include <cstdio>
#include <string>

#include <jpeglib.h>

namespace swf {

namespace {

// libjpeg reports fatal errors through error_exit, which must not return. We jump back to
// the guarded call that started the work; only plain C data lives in the frames skipped.
struct JumpingErrorManager {
    jpeg_error_mgr base;  // first, so that cinfo->err can be cast back
    std::jmp_buf jump;
    std::array<char, JMSG_LENGTH_MAX> message;
};

void jumpOnError(j_common_ptr info)
{
    auto* errors = reinterpret_cast<JumpingErrorManager*>(info->err);
    errors->base.format_message(info, errors->message.data());
    std::longjmp(errors->jump, 1);
}

// Warnings (corrupt or missing data) are normal for movie JPEGs; keep them off stderr.
void stayQuiet(j_common_ptr) {}

// A progressive JPEG may hold any number of scans, each a pass over the whole image; a
// hostile one with thousands would decode for minutes. Real encoders write about ten.
constexpr int kMaxScans = 256;

void limitScans(j_common_ptr info)
{
    if (!info->is_decompressor)
        return;
    if (reinterpret_cast<j_decompress_ptr>(info)->input_scan_number <= kMaxScans)
        return;
    auto* errors = reinterpret_cast<JumpingErrorManager*>(info->err);
    std::snprintf(errors->message.data(), errors->message.size(), "more than %d scans", kMaxScans);
    std::longjmp(errors->jump, 1);
}

// 4-byte output in the byte order of our native 0xAARRGGBB words.
constexpr J_COLOR_SPACE kNativeArgb = std::endian::native == std::endian::little ? JCS_EXT_BGRA : JCS_EXT_ARGB;

// One decompression. The guarded steps call libjpeg under setjmp and report failure by
// returning false; they keep all state in members, never in locals that a jump would skip.
class JpegSession {
public:
    explicit JpegSession(std::span<const uint8_t> stream) : stream_(stream)
    {
        info_.err = jpeg_std_error(&errors_.base);
        errors_.base.error_exit = jumpOnError;
        errors_.base.output_message = stayQuiet;
        errors_.message[0] = '\0';
        progress_.progress_monitor = limitScans;
    }
    ~JpegSession()
    {
        if (created_)
            jpeg_destroy_decompress(&info_);
    }
    JpegSession(const JpegSession&) = delete;
    JpegSession& operator=(const JpegSession&) = delete;

    BitmapData decode()
    {
        if (!readHeader())
            fail();
        checkArea(info_.image_width, info_.image_height);
        cmyk_ = info_.jpeg_color_space == JCS_CMYK || info_.jpeg_color_space == JCS_YCCK;
        info_.out_color_space = cmyk_ ? JCS_CMYK : kNativeArgb;
        if (!start())
            fail();
        BitmapData out = makeBitmap(info_.output_width, info_.output_height);
        std::vector<uint8_t> cmykRow(cmyk_ ? size_t{info_.output_width} * 4 : 0);
        pixels_ = out.pixels.data();
        cmykRow_ = cmykRow.data();
        if (!readRows() && rowsDone_ == 0)
            fail();
        return out;
    }

private:
    bool readHeader()
    {
        if (setjmp(errors_.jump))
            return false;
        jpeg_create_decompress(&info_);
        created_ = true;
        info_.progress = &progress_;  // after creation, which clears the struct
        jpeg_mem_src(&info_, stream_.data(), static_cast<unsigned long>(stream_.size()));
        jpeg_read_header(&info_, TRUE);
        return true;
    }

    bool start()
    {
        if (setjmp(errors_.jump))
            return false;
        jpeg_start_decompress(&info_);
        return true;
    }

    bool readRows()
    {
        if (setjmp(errors_.jump))
            return false;
        while (info_.output_scanline < info_.output_height) {
            const size_t y = info_.output_scanline;
            row_ = reinterpret_cast<JSAMPROW>(pixels_ + y * info_.output_width);
            if (cmyk_)
                row_ = cmykRow_;
            if (jpeg_read_scanlines(&info_, &row_, 1) != 1)
                return false;
            if (cmyk_)
                convertCmykRow(pixels_ + y * info_.output_width);
            rowsDone_ = info_.output_scanline;
        }
        return true;
    }

    // Adobe's encoders store CMYK inverted (0 = full ink); others store it plainly.
    void convertCmykRow(uint32_t* dst) const
    {
        const bool inverted = info_.saw_Adobe_marker;
        for (JDIMENSION x = 0; x < info_.output_width; ++x) {
            const JSAMPLE* p = cmykRow_ + size_t{x} * 4;
            auto level = [&](int i) { return inverted ? uint32_t{p[i]} : 255u - p[i]; };
            const uint32_t k = level(3);
            dst[x] = pixel::pack(255, level(0) * k / 255, level(1) * k / 255, level(2) * k / 255);
        }
    }

    static void checkArea(JDIMENSION width, JDIMENSION height)
    {
        if (int64_t{width} * int64_t{height} > kMaxBitmapPixels)
            throw FormatError("bitmap: JPEG image of " + std::to_string(width) + "x" + std::to_string(height)
                              + " is too large");
    }

    [[noreturn]] void fail() const
    {
        throw FormatError(std::string("bitmap: JPEG data could not be decoded (") + errors_.message.data() + ")");
    }

    std::span<const uint8_t> stream_;
    jpeg_decompress_struct info_{};
    JumpingErrorManager errors_{};
    jpeg_progress_mgr progress_{};
    bool created_ = false;
    bool cmyk_ = false;
    uint32_t* pixels_ = nullptr;
    JSAMPLE* cmykRow_ = nullptr;
    JSAMPROW row_ = nullptr;
    JDIMENSION rowsDone_ = 0;
};

} // namespace

BitmapData decodeJpeg(std::span<const uint8_t> tables, std::span<const uint8_t> image)
{
    const std::array<std::span<const uint8_t>, 2> parts{tables, image};
    const std::vector<uint8_t> stream = joinJpegParts(parts);
    JpegSession session(stream);
    return session.decode();
}

} // namespace swf
