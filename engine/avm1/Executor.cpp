#include "engine/avm1/Executor.h"

#include "engine/format/Reader.h"

namespace swf::avm1 {

ExecutionResult Executor::run(std::span<const uint8_t> code, TimelineControl& timeline)
{
    stack_.clear();
    constants_.clear();
    actionsRun_ = 0;
    ActionReader reader(code);
    for (; actionsRun_ < limits_.maxActions; ++actionsRun_) {
        auto action = reader.next();
        if (!action)
            return ExecutionResult::Finished;
        try {
            if (!step(*action, reader, timeline))
                return ExecutionResult::Finished;
        } catch (const FormatError&) {
            // A malformed payload ends the block, as the reference player does.
            return ExecutionResult::Finished;
        }
    }
    return ExecutionResult::BudgetExhausted;
}

bool Executor::step(const ActionRecord& action, ActionReader& reader, TimelineControl& timeline)
{
    ByteReader payload(action.payload);
    switch (static_cast<ActionCode>(action.code)) {
    case ActionCode::End: return false;
    case ActionCode::NextFrame: timeline.nextFrame(); break;
    case ActionCode::PrevFrame: timeline.prevFrame(); break;
    case ActionCode::Play: timeline.play(); break;
    case ActionCode::Stop: timeline.stop(); break;
    case ActionCode::ToggleQuality: timeline.toggleQuality(); break;
    case ActionCode::StopSounds: timeline.stopSounds(); break;
    case ActionCode::GotoFrame: timeline.gotoFrame(payload.u16()); break;
    case ActionCode::GotoLabel: timeline.gotoLabel(payload.cstring()); break;
    case ActionCode::GetUrl: {
        std::string url = payload.cstring();
        std::string target = payload.cstring();
        timeline.getUrl(url, target);
        break;
    }
    case ActionCode::WaitForFrame:
        // The whole movie is in memory, so every frame is loaded: nothing to skip.
        break;
    case ActionCode::ConstantPool: readConstantPool(action.payload); break;
    case ActionCode::Push: push(action.payload); break;
    case ActionCode::Pop: pop(); break;
    case ActionCode::Not: pushValue(Value(!pop().toBoolean(version_))); break;
    case ActionCode::Trace: timeline.trace(pop().toString(version_)); break;
    case ActionCode::Jump: {
        int16_t offset = payload.s16();
        return reader.jumpTo(static_cast<size_t>(static_cast<std::ptrdiff_t>(action.nextOffset) + offset));
    }
    case ActionCode::If: {
        int16_t offset = payload.s16();
        if (pop().toBoolean(version_))
            return reader.jumpTo(static_cast<size_t>(static_cast<std::ptrdiff_t>(action.nextOffset) + offset));
        break;
    }
    default:
        // Not handled yet: skipped by its length, which the reader has already done.
        break;
    }
    return true;
}

void Executor::readConstantPool(std::span<const uint8_t> payload)
{
    ByteReader r(payload);
    constants_.clear();
    unsigned count = r.u16();
    for (unsigned i = 0; i < count && !r.atEnd(); ++i)
        constants_.push_back(r.cstring());
}

void Executor::push(std::span<const uint8_t> payload)
{
    ByteReader r(payload);
    while (!r.atEnd()) {
        switch (r.u8()) {
        case 0: pushValue(Value(r.cstring())); break;
        case 1: pushValue(Value(static_cast<double>(r.f32()))); break;
        case 2: pushValue(Value(Null{})); break;
        case 3: pushValue(Value(Undefined{})); break;
        case 4:
            r.u8();  // registers arrive with the function machinery
            pushValue(Value(Undefined{}));
            break;
        case 5: pushValue(Value(r.u8() != 0)); break;
        case 6: pushValue(Value(r.f64Swapped())); break;
        case 7: pushValue(Value(static_cast<double>(r.s32()))); break;
        case 8:
        case 9: {
            bool wide = payload[r.position() - 1] == 9;
            unsigned index = wide ? r.u16() : r.u8();
            pushValue(index < constants_.size() ? Value(constants_[index]) : Value(Undefined{}));
            break;
        }
        default: throw FormatError("unknown push type");
        }
    }
}

void Executor::pushValue(Value value)
{
    // A script that only ever pushes would grow without end; past the limit the new
    // values are dropped.
    if (stack_.size() < limits_.maxStackDepth)
        stack_.push_back(std::move(value));
}

Value Executor::pop()
{
    if (stack_.empty())
        return Value(Undefined{});
    Value v = std::move(stack_.back());
    stack_.pop_back();
    return v;
}

} // namespace swf::avm1
