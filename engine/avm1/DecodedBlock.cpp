#include "engine/avm1/DecodedBlock.h"

#include "engine/avm1/InterpreterSupport.h"
#include "engine/format/Error.h"
#include "engine/format/Reader.h"

#include <algorithm>
#include <cstring>

namespace swf::avm1 {

namespace {

// The values of a Push record, as far as they decode; false when the payload holds an
// unknown type or ends inside a value.
bool decodePush(std::span<const uint8_t> payload, std::vector<PushOperand>& out)
{
    PushReader reader(payload);
    PushItem item;
    try {
        while (reader.next(item)) {
            PushOperand& operand = out.emplace_back();
            operand.type = item.type;
            switch (item.type) {
            case PushType::String: operand.value = Value(std::move(item.text)); break;
            case PushType::Float:
            case PushType::Double:
            case PushType::Integer: operand.value = Value(item.number); break;
            case PushType::Null: operand.value = Value(Null{}); break;
            case PushType::Undefined: break;
            case PushType::Boolean: operand.value = Value(item.boolean); break;
            case PushType::Register:
            case PushType::Constant8:
            case PushType::Constant16: operand.index = item.index; break;
            }
        }
    } catch (const FormatError&) {
        return false;
    }
    return true;
}

// A constant pool's strings; null when the payload ends before its count or inside a
// string.
std::shared_ptr<const ConstantStrings> decodePool(std::span<const uint8_t> payload)
{
    try {
        ByteReader r(payload);
        auto pool = std::make_shared<ConstantStrings>();
        unsigned count = r.u16();
        for (unsigned i = 0; i < count && !r.atEnd(); ++i)
            pool->push_back(Value(r.cstring()));
        return pool;
    } catch (const FormatError&) {
        return nullptr;
    }
}

} // namespace

DecodedBlock::DecodedBlock(std::span<const uint8_t> code, std::shared_ptr<size_t> meter, size_t maxFootprint)
    : code_(code), meter_(std::move(meter)), maxFootprint_(maxFootprint)
{
}

void DecodedBlock::charge(const DecodedAction& action, size_t tableBytes)
{
    size_t bytes = sizeof(DecodedAction) + tableBytes;
    if (action.payload) {
        bytes += sizeof(DecodedAction::Payload) + action.payload->operands.capacity() * sizeof(PushOperand);
        for (const PushOperand& operand : action.payload->operands) {
            if (operand.value.isString())
                bytes += sizeof(StringBody) + operand.value.asString().capacity();
        }
        if (action.payload->pool) {
            bytes += sizeof(ConstantStrings) + action.payload->pool->capacity() * sizeof(Value);
            for (const Value& v : *action.payload->pool)
                bytes += v.isString() ? sizeof(StringBody) + v.asString().capacity() : 0;
        }
    }
    footprint_ += bytes;
    if (meter_)
        *meter_ += bytes;
    if (footprint_ > maxFootprint_)
        throw ScriptAbort{};
}

DecodedAction DecodedBlock::decode(size_t offset) const
{
    DecodedAction a;
    a.record.offset = offset;
    ActionReader reader(code_);
    std::optional<ActionRecord> record = reader.jumpTo(offset) ? reader.next() : std::nullopt;
    if (!record) {
        a.endOfStream = true;
        return a;
    }
    a.record = *record;
    if (record->is(ActionCode::Push)) {
        auto payload = std::make_unique<DecodedAction::Payload>();
        a.malformed = !decodePush(record->payload, payload->operands);
        a.payload = std::move(payload);
    } else if (record->is(ActionCode::ConstantPool)) {
        auto payload = std::make_unique<DecodedAction::Payload>();
        payload->pool = decodePool(record->payload);
        a.malformed = !payload->pool;
        a.payload = std::move(payload);
    } else if ((record->is(ActionCode::Jump) || record->is(ActionCode::If)) && record->payload.size() >= 2) {
        auto distance = static_cast<int16_t>(record->payload[0] | (record->payload[1] << 8));
        a.branchOffset = support::relative(record->nextOffset, distance);
    }
    return a;
}

void DecodedBlock::extendTo(size_t offset)
{
    while (!sequenceDone_ && sequenceEnd_ <= offset) {
        auto index = static_cast<uint32_t>(actions_.size());
        const DecodedAction& a = actions_.push_back(decode(sequenceEnd_));
        if (!sequence_.empty())
            actions_[sequence_.back()].next = index;
        sequence_.push_back(index);
        charge(a, sizeof(uint32_t));
        if (a.endOfStream)
            sequenceDone_ = true;
        else
            sequenceEnd_ = a.record.nextOffset;
    }
}

uint32_t DecodedBlock::at(size_t offset)
{
    if (offset > code_.size())
        return kOutside;
    extendTo(offset);
    auto it = std::lower_bound(sequence_.begin(), sequence_.end(), offset,
                               [this](uint32_t i, size_t o) { return actions_[i].record.offset < o; });
    if (it != sequence_.end() && actions_[*it].record.offset == offset)
        return *it;
    if (auto found = inside_.find(offset); found != inside_.end())
        return found->second;
    auto index = static_cast<uint32_t>(actions_.size());
    actions_.push_back(decode(offset));
    inside_.emplace(offset, index);
    // A node of the map of offsets inside records, with its bucket.
    constexpr size_t kInsideEntry = 4 * sizeof(void*);
    charge(actions_.back(), kInsideEntry);
    return index;
}

uint32_t DecodedBlock::following(uint32_t i)
{
    DecodedAction& a = actions_[i];
    if (a.next == DecodedAction::kUnlinked)
        a.next = at(a.record.nextOffset);
    return a.next;
}

uint32_t DecodedBlock::branchTarget(uint32_t i)
{
    DecodedAction& a = actions_[i];
    if (a.branch == DecodedAction::kUnlinked)
        a.branch = at(a.branchOffset);
    return a.branch;
}

std::shared_ptr<DecodedBlock> DecodedBlockCache::get(std::span<const uint8_t> code)
{
    Key key{code.data(), code.size()};
    auto it = entries_.find(key);
    if (it != entries_.end()) {
        const std::vector<uint8_t>& bytes = it->second.bytes;
        if (code.empty() || std::memcmp(bytes.data(), code.data(), code.size()) == 0)
            return it->second.block;
        bytes_ -= bytes.size();
        entries_.erase(it);
    }
    if (bytes_ + *decoded_ + code.size() > kMaxBytes) {
        entries_.clear();
        bytes_ = 0;
        decoded_ = std::make_shared<size_t>(0);
    }
    auto block = std::make_shared<DecodedBlock>(code, decoded_);
    entries_.emplace(key, Entry{std::vector<uint8_t>(code.begin(), code.end()), block});
    bytes_ += code.size();
    return block;
}

} // namespace swf::avm1
