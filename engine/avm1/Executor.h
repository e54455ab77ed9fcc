#pragma once

// Runs one block of actions against a bare timeline, on a machine of its own: the way
// to run a script where there is no movie around it (tools, tests). Movies use the
// Machine directly, with one host per clip.

#include "engine/avm1/Machine.h"
#include "engine/avm1/TimelineControl.h"

#include <cstddef>
#include <cstdint>
#include <span>

namespace swf::avm1 {

struct ExecutionLimits {
    size_t maxActions = 200000;   // per block
    size_t maxStackDepth = 65536;
};

class Executor {
public:
    explicit Executor(int swfVersion, ExecutionLimits limits = {}) : version_(swfVersion), limits_(limits) {}

    ExecutionResult run(std::span<const uint8_t> code, TimelineControl& timeline);
    // Actions carried out by the last run().
    size_t actionsRun() const { return actionsRun_; }
    void setLimits(ExecutionLimits limits) { limits_ = limits; }

private:
    int version_;
    ExecutionLimits limits_;
    size_t actionsRun_ = 0;
};

} // namespace swf::avm1
