// Local FLV files as NetStream reads them: any bytes after an FLV signature go through
// the demuxer, the script-tag reader and the sound decoders, then every picture is
// decoded in order and again after jumps, as playing and seeking do.

#include "engine/video/FlvMedia.h"
#include "engine/video/VideoFrames.h"

#include <cstddef>
#include <cstdint>
#include <new>
#include <span>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // The signature is given, so that the fuzzer spends its time past it.
    std::vector<uint8_t> bytes{'F', 'L', 'V'};
    bytes.insert(bytes.end(), data, data + size);
    try {
        swf::video::FlvLimits limits;
        limits.maxPackets = 2000;
        limits.maxPictureBytes = size_t{16} << 20;
        limits.maxPcmBytes = size_t{64} << 20;
        const swf::video::FlvMedia media = swf::video::readFlv(bytes, limits);
        (void)media.keyFrameAtOrBefore(media.duration / 2);
        if (media.video) {
            swf::video::VideoFrames frames(media.video);
            const int count = static_cast<int>(media.video->frames.size());
            for (int n = 0; n < count && n < 64; ++n)
                (void)frames.picture(n);
            for (int n : {count / 2, 0, count - 1, count / 3})
                (void)frames.picture(n);
        }
    } catch (const swf::video::FlvError&) {
    } catch (const std::bad_alloc&) {
    }
    return 0;
}
