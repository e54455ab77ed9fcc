#include "engine/format/Header.h"

namespace swf {

void readHeaderTail(ByteReader& body, Header& header)
{
    header.stage = readRect(body);
    // 8.8 fixed point stored little-endian: the low byte is the fraction.
    header.frameRate = body.u16() / 256.0;
    header.frameCount = body.u16();
}

} // namespace swf
