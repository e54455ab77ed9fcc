// A player over a movie built in a test, collecting its trace lines.

#pragma once

#include "engine/Player.h"
#include "tests/support/SwfWriter.h"

#include <string>
#include <utility>
#include <vector>

namespace swf::test {

struct Traced {
    Player player;
    std::vector<std::string> lines;

    explicit Traced(const SwfWriter& movie, Compression compression = Compression::None)
    {
        player.loadBytes(movie.build(compression));
        player.setTraceSink([this](const std::string& line) { lines.push_back(line); });
    }
    void advance(int frames = 1)
    {
        for (int i = 0; i < frames; ++i)
            player.advance();
    }
    // The lines collected since the last call.
    std::vector<std::string> take() { return std::exchange(lines, {}); }
};

} // namespace swf::test
