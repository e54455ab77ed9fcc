#pragma once

// Runs one block of actions (a frame's DoAction) against a timeline. The stack,
// constant pool and step budget live for one block; the budget keeps a looping script
// from hanging the player.

#include "engine/avm1/ActionReader.h"
#include "engine/avm1/TimelineControl.h"
#include "engine/avm1/Value.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace swf::avm1 {

struct ExecutionLimits {
    size_t maxActions = 200000;   // per block
    size_t maxStackDepth = 65536;
};

enum class ExecutionResult { Finished, BudgetExhausted };

class Executor {
public:
    explicit Executor(int swfVersion, ExecutionLimits limits = {}) : version_(swfVersion), limits_(limits) {}

    ExecutionResult run(std::span<const uint8_t> code, TimelineControl& timeline);
    // Actions carried out by the last run().
    size_t actionsRun() const { return actionsRun_; }
    void setLimits(ExecutionLimits limits) { limits_ = limits; }

private:
    // Carries out one record; returns false when the block ends here.
    bool step(const ActionRecord& action, ActionReader& reader, TimelineControl& timeline);
    void push(std::span<const uint8_t> payload);
    void readConstantPool(std::span<const uint8_t> payload);
    void pushValue(Value value);
    Value pop();

    int version_;
    ExecutionLimits limits_;
    std::vector<Value> stack_;
    std::vector<std::string> constants_;
    size_t actionsRun_ = 0;
};

} // namespace swf::avm1
