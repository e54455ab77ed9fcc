#pragma once

// A block of action bytes decoded once for the interpreter: each record's code, payload
// and next offset, Push operands made into ready values (strings shared, so a push costs
// a reference count), constant pools made into their string values, and branch targets
// computed. The running loop then steps from action to action by index, following links
// it fills in the first time each is taken, instead of reading the bytes again.
//
// Decoding reads the records in sequence from the start, as far as the running code
// reaches (a long block whose tail never runs costs nothing for it). An offset that falls inside a
// record (some movies jump into the middle of an action) is decoded on first use from
// that byte, exactly as a fresh reader would read it there. A record whose length runs
// past the end of the code ends the stream where it starts, as does the end of the code.
// A payload that does not decode is remembered as malformed; carrying it out fails the
// way reading it at run time would (after the Push operands before the fault).

#include "engine/avm1/ActionPayloads.h"
#include "engine/avm1/ActionReader.h"
#include "engine/avm1/FunctionObject.h"
#include "engine/avm1/Value.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <unordered_map>
#include <vector>

namespace swf::avm1 {

// One value of a Push record.
struct PushOperand {
    PushType type = PushType::Undefined;
    unsigned index = 0;  // Register, Constant8, Constant16
    Value value;         // the others, ready to push
};

struct DecodedAction {
    static constexpr uint32_t kUnlinked = UINT32_MAX;

    ActionRecord record;
    // No record starts here: the code ends, or the record's length runs past its end.
    bool endOfStream = false;
    // The payload does not decode (Push, ConstantPool); carrying it out is a FormatError.
    bool malformed = false;
    // Index of the action at record.nextOffset, once the loop has gone there.
    uint32_t next = kUnlinked;
    // Jump and If: where the branch goes (wrapped round past the end when before the
    // code, see support::relative), and its index once taken.
    size_t branchOffset = SIZE_MAX;
    uint32_t branch = kUnlinked;
    // What Push and ConstantPool carry, decoded; null for other actions.
    struct Payload {
        std::vector<PushOperand> operands;
        std::shared_ptr<const ConstantStrings> pool;
    };
    std::unique_ptr<const Payload> payload;

    std::span<const PushOperand> operands() const
    {
        return payload ? std::span<const PushOperand>(payload->operands) : std::span<const PushOperand>();
    }
    const std::shared_ptr<const ConstantStrings>& pool() const
    {
        static const std::shared_ptr<const ConstantStrings> none;
        return payload ? payload->pool : none;
    }
};

// The memory a block's decoded form takes is counted as it grows (each record costs
// about seventy bytes, a push its values too, so a block of one-byte actions decodes
// to many times its size). Past `maxFootprint` the running script stops, as when it
// makes too many objects; a cache counts every block it holds against its own limit.
class DecodedBlock {
public:
    static constexpr uint32_t kOutside = UINT32_MAX;
    static constexpr size_t kMaxFootprint = size_t{32} << 20;

    // `meter`, when given, is charged with every byte this block's decoding takes.
    explicit DecodedBlock(std::span<const uint8_t> code, std::shared_ptr<size_t> meter = nullptr,
                          size_t maxFootprint = kMaxFootprint);
    DecodedBlock(const DecodedBlock&) = delete;
    DecodedBlock& operator=(const DecodedBlock&) = delete;

    std::span<const uint8_t> code() const { return code_; }
    // The action starting at `offset` (an end-of-stream entry at or past the end of the
    // code); kOutside when `offset` lies beyond the code.
    uint32_t at(size_t offset);
    // The action after action `i`, and the target of its branch.
    uint32_t following(uint32_t i);
    uint32_t branchTarget(uint32_t i);
    // Stays valid while the block lives: entries decoded later never move earlier ones.
    const DecodedAction& action(uint32_t i) const { return actions_[i]; }
    // How many actions have been decoded so far (those in sequence plus those decoded
    // from inside another record).
    size_t size() const { return actions_.size(); }
    // Bytes the decoded records, their payloads and the lookup tables hold, roughly.
    size_t footprint() const { return footprint_; }

private:
    DecodedAction decode(size_t offset) const;
    // Counts a newly decoded record's memory; throws ScriptAbort past the bound.
    void charge(const DecodedAction& action, size_t tableBytes);
    // Reads the sequence on until it covers `offset` or the stream ends.
    void extendTo(size_t offset);

    std::span<const uint8_t> code_;
    // The decoded records in chunks of a fixed power-of-two size: an entry never moves
    // once made, and finding entry i is a shift and a mask (the running loop does it
    // for every action).
    class ActionStore {
    public:
        static constexpr unsigned kChunkBits = 4;
        static constexpr size_t kChunk = size_t{1} << kChunkBits;
        DecodedAction& operator[](size_t i) { return chunks_[i >> kChunkBits][i & (kChunk - 1)]; }
        const DecodedAction& operator[](size_t i) const { return chunks_[i >> kChunkBits][i & (kChunk - 1)]; }
        size_t size() const { return size_; }
        DecodedAction& back() { return (*this)[size_ - 1]; }
        DecodedAction& push_back(DecodedAction action)
        {
            if ((size_ & (kChunk - 1)) == 0)
                chunks_.push_back(std::make_unique<DecodedAction[]>(kChunk));
            DecodedAction& slot = (*this)[size_];
            slot = std::move(action);
            ++size_;
            return slot;
        }

    private:
        std::vector<std::unique_ptr<DecodedAction[]>> chunks_;
        size_t size_ = 0;
    };
    ActionStore actions_;
    std::vector<uint32_t> sequence_;               // indices of the records read in sequence
    size_t sequenceEnd_ = 0;                       // where the next record in sequence starts
    bool sequenceDone_ = false;                    // the sequence has reached its end of stream
    std::unordered_map<size_t, uint32_t> inside_;  // offsets inside records of the sequence
    std::shared_ptr<size_t> meter_;
    size_t maxFootprint_;
    size_t footprint_ = 0;
};

// Decoded blocks by the code they came from, so that a frame script run every frame or
// a function defined again is decoded once. An entry keeps a copy of its bytes and is
// used only when the code still holds them: a buffer freed and reused for other code
// (a movie unloaded and another loaded) is decoded afresh.
class DecodedBlockCache {
public:
    std::shared_ptr<DecodedBlock> get(std::span<const uint8_t> code);
    size_t entries() const { return entries_.size(); }
    // What the cached blocks hold: their copies of the code and their decoded forms.
    size_t bytes() const { return bytes_ + *decoded_; }

private:
    struct Key {
        const uint8_t* data;
        size_t size;
        friend bool operator==(const Key&, const Key&) = default;
    };
    struct KeyHash {
        size_t operator()(const Key& k) const
        {
            return std::hash<const void*>()(k.data) ^ (k.size * 0x9E3779B97F4A7C15ull);
        }
    };
    struct Entry {
        std::vector<uint8_t> bytes;
        std::shared_ptr<DecodedBlock> block;
    };
    // Past this many bytes of cached code and decoded records everything is dropped and
    // decoded again on demand; running blocks keep theirs alive through their own
    // reference (and charge a meter the cache no longer reads).
    static constexpr size_t kMaxBytes = size_t{32} << 20;

    std::unordered_map<Key, Entry, KeyHash> entries_;
    size_t bytes_ = 0;                                              // copies of the code
    std::shared_ptr<size_t> decoded_ = std::make_shared<size_t>(0);  // the blocks' decoding
};

} // namespace swf::avm1
