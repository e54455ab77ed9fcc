#pragma once

// The sound harness's input turned into a movie: a selector byte, then bytes for the
// sound tags it chooses. The regression tests wrap committed findings the same way.
//
//   0: a DefineSound body, started on frame 1 (its id is the body's first two bytes)
//   1: a SoundStreamHead2 body (4 bytes), then blocks, each a 16-bit length and data
//   2: a StartSound body, after a short uncompressed sound with id 1
//   3: a DefineButtonSound body

#include <algorithm>
#include <cstdint>
#include <span>
#include <vector>

namespace swf::fuzz {

inline void putTag(std::vector<uint8_t>& out, uint16_t code, std::span<const uint8_t> body)
{
    uint16_t header = static_cast<uint16_t>(code << 6 | 0x3f);
    out.push_back(static_cast<uint8_t>(header));
    out.push_back(static_cast<uint8_t>(header >> 8));
    auto length = static_cast<uint32_t>(body.size());
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<uint8_t>(length >> (8 * i)));
    out.insert(out.end(), body.begin(), body.end());
}

inline std::vector<uint8_t> soundMovie(std::span<const uint8_t> input)
{
    constexpr uint16_t kShowFrame = 1, kDefineSound = 14, kStartSound = 15, kDefineButtonSound = 17,
                       kSoundStreamBlock = 19, kSoundStreamHead2 = 45;
    // FWS, version 10, a 1x1 pixel stage, 10 frames a second; the length and the frame
    // count are filled in at the end.
    // The stage rectangle: 6-bit fields 0, 20, 0, 20 twips.
    std::vector<uint8_t> tags{'F', 'W', 'S', 10, 0, 0, 0, 0, 0x30, 0x0a, 0x00, 0x50, 0x00, 10, 0, 0};
    const std::vector<uint8_t> showFrame;
    int frames = 3;
    uint8_t selector = input.empty() ? 0 : input[0] % 4;
    std::span<const uint8_t> rest = input.empty() ? input : input.subspan(1);
    switch (selector) {
    case 0: {
        putTag(tags, kDefineSound, rest);
        std::vector<uint8_t> start{rest.size() > 0 ? rest[0] : uint8_t{0}, rest.size() > 1 ? rest[1] : uint8_t{0}, 0};
        putTag(tags, kStartSound, start);
        break;
    }
    case 1: {
        size_t head = std::min<size_t>(4, rest.size());
        putTag(tags, kSoundStreamHead2, rest.first(head));
        rest = rest.subspan(head);
        frames = 0;
        while (rest.size() >= 2 && frames < 64) {
            size_t length = std::min<size_t>(rest[0] | (rest[1] << 8), rest.size() - 2);
            putTag(tags, kSoundStreamBlock, rest.subspan(2, length));
            putTag(tags, kShowFrame, showFrame);
            rest = rest.subspan(2 + length);
            ++frames;
        }
        break;
    }
    case 2: {
        std::vector<uint8_t> sound{1, 0, 0x3e, 100, 0, 0, 0};
        for (int i = 0; i < 200; ++i)
            sound.push_back(static_cast<uint8_t>(i * 37));
        putTag(tags, kDefineSound, sound);
        putTag(tags, kStartSound, rest);
        break;
    }
    default: putTag(tags, kDefineButtonSound, rest); break;
    }
    for (int i = 0; i < 3; ++i)
        putTag(tags, kShowFrame, showFrame);
    frames += 3;
    tags.push_back(0);
    tags.push_back(0);
    tags[14] = static_cast<uint8_t>(frames);
    tags[15] = static_cast<uint8_t>(frames >> 8);
    auto length = static_cast<uint32_t>(tags.size());
    for (int i = 0; i < 4; ++i)
        tags[4 + static_cast<size_t>(i)] = static_cast<uint8_t>(length >> (8 * i));
    return tags;
}

} // namespace swf::fuzz
