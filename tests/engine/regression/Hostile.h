#pragma once

// What every regression case does with its movie: load it, enter three frames and
// paint into a small image, as the player would show it. The case passes by coming
// back (no crash, no hang, no sanitizer report) with either a picture or a clear error.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace swf::test {

struct PlayOutcome {
    std::optional<std::string> loadError;  // set when the player refused the movie
    int frameCount = 0;
    int currentFrame = 0;
    std::vector<std::string> limits;  // what the player said about limits it hit
    bool reported(const std::string& words) const;
};

PlayOutcome playThreeFramesAndPaint(std::span<const uint8_t> movie);

// A committed input under tests/engine/regression/inputs/.
std::vector<uint8_t> regressionInput(const std::string& name);
std::vector<std::filesystem::path> regressionInputs();

} // namespace swf::test
