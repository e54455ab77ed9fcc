#pragma once

// One corpus case: where its files are, how long to run it, what to compare; and
// running it in this process against the engine.

#include "engine/Player.h"
#include "tests/conformance/TraceMatch.h"

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

namespace lanfan::conformance {

struct PictureCheck {
    int tolerance = 0;
    long maxOutliers = 0;
};

struct CaseSpec {
    std::string name;  // folder relative to the corpus root, e.g. "avm1/avm1/add_swf4"
    std::filesystem::path dir;
    int frames = 1;
    std::filesystem::path expectedTrace;  // may not exist: then no output is expected
    // How far numbers in the trace may stray from the recorded ones.
    TraceApproximation approximation;
    std::vector<PictureCheck> pictureChecks;  // empty: no picture check
    std::filesystem::path expectedPicture;
    // The quality the reference picture was drawn at ("low" draws without
    // anti-aliasing); high where the case does not say.
    swf::RenderQuality quality = swf::RenderQuality::High;
    // The size of the window the picture was taken in, in pixels; 0: the stage's size.
    int viewportWidth = 0;
    int viewportHeight = 0;
    // The reference run logged the movie's network requests among its trace lines.
    bool logRequests = false;
};

enum class Outcome { Pass, Fail, NotApplicable };

struct CaseResult {
    Outcome trace = Outcome::Fail;
    Outcome picture = Outcome::NotApplicable;
    std::string note;  // why it failed, in a few words
};

// Every folder under `corpus` holding a test.swf, sorted by name.
std::vector<CaseSpec> discoverCases(const std::filesystem::path& corpus);

CaseSpec readCase(const std::filesystem::path& corpus, const std::filesystem::path& dir);

// Loads and steps the movie headless; stops early (failing) past `budget`.
CaseResult runCase(const CaseSpec& spec, std::chrono::milliseconds budget);

} // namespace lanfan::conformance
