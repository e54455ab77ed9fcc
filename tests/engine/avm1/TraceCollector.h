#pragma once

// A timeline that only keeps what scripts trace, for running action blocks in tests.

#include "engine/avm1/Executor.h"
#include "engine/avm1/TimelineControl.h"
#include "tests/support/SwfWriter.h"

#include <string>
#include <string_view>
#include <vector>

namespace swf::test {

class TraceCollector : public avm1::TimelineControl {
public:
    std::vector<std::string> lines;
    void play() override {}
    void stop() override {}
    void nextFrame() override {}
    void prevFrame() override {}
    void gotoFrame(int) override {}
    bool gotoLabel(std::string_view) override { return false; }
    void toggleQuality() override {}
    void stopSounds() override {}
    void getUrl(const std::string&, const std::string&) override {}
    void trace(const std::string& line) override { lines.push_back(line); }
};

// What one action block traces when run alone at SWF `version`.
inline std::vector<std::string> traceOf(const ActionBuilder& actions, int version)
{
    TraceCollector collector;
    avm1::Executor(version, {}).run(actions.build(), collector);
    return collector.lines;
}

} // namespace swf::test
