// Inputs the fuzz harnesses once crashed or hung on, replayed through the whole player
// path. The file name says which harness found it: container- and player- inputs are
// movie files; tags- inputs are tag streams and shape- inputs shape tag bodies (after
// a byte choosing the tag), each wrapped here into a movie that shows them; sound-
// inputs are wrapped as the sound harness wraps them.

#include "fuzz/SoundInput.h"
#include "tests/engine/regression/Hostile.h"
#include "tests/support/SwfWriter.h"

#include <gtest/gtest.h>

#include <array>

namespace swf::test {
namespace {

std::vector<uint8_t> asMovie(const std::string& name, std::vector<uint8_t> bytes)
{
    if (name.starts_with("tags-")) {
        SwfWriter movie;
        movie.rawBytes(bytes);
        return movie.build();
    }
    if (name.starts_with("sound-"))
        return fuzz::soundMovie(bytes);
    if (name.starts_with("shape-") && !bytes.empty()) {
        // The same choice of tag as the shape harness makes.
        constexpr std::array<uint16_t, 6> kTagCodes{2, 22, 32, 83, 46, 84};
        uint16_t code = kTagCodes[bytes[0] % kTagCodes.size()];
        BitWriter tag;
        tag.u16(1);
        tag.bytes(std::span(bytes).subspan(1));
        SwfWriter movie;
        Place shown;
        shown.characterId = 1;
        shown.ratio = 30000;
        movie.tag(code, tag.take(), true).placeObject2(shown).showFrame();
        return movie.build();
    }
    return bytes;
}

TEST(FuzzFindings, EveryCommittedInputPlaysOrIsRefused)
{
    auto inputs = regressionInputs();
    for (const auto& name : inputs) {
        SCOPED_TRACE(name.string());
        auto bytes = asMovie(name.string(), regressionInput(name.string()));
        ASSERT_FALSE(bytes.empty());
        PlayOutcome outcome = playThreeFramesAndPaint(bytes);
        if (outcome.loadError)
            EXPECT_FALSE(outcome.loadError->empty());
        else
            EXPECT_GE(outcome.frameCount, 1);
    }
}

} // namespace
} // namespace swf::test
