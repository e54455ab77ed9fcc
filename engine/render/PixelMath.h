#pragma once

#include <cstdint>

namespace swf::render {

// Each channel of premultiplied ARGB `x` times `a` / 255, rounded as Qt's raster
// engine blends, two channels at a time; the fills that write pixels themselves use
// it so their pixels match what Qt would have drawn.
inline uint32_t byteMul(uint32_t x, uint32_t a)
{
    uint32_t t = (x & 0xff00ffu) * a;
    t = ((t + ((t >> 8) & 0xff00ffu) + 0x800080u) >> 8) & 0xff00ffu;
    uint32_t u = ((x >> 8) & 0xff00ffu) * a;
    u = (u + ((u >> 8) & 0xff00ffu) + 0x800080u) & 0xff00ff00u;
    return u | t;
}

} // namespace swf::render
