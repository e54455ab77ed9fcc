#include "engine/avm1/ActionReader.h"

namespace swf::avm1 {

std::optional<ActionRecord> ActionReader::next()
{
    if (ended_ || pos_ >= code_.size()) {
        ended_ = true;
        return std::nullopt;
    }
    ActionRecord record;
    record.offset = pos_;
    record.code = code_[pos_];
    size_t at = pos_ + 1;
    if (record.code >= 0x80) {
        if (code_.size() - at < 2) {
            ended_ = true;
            return std::nullopt;
        }
        size_t length = code_[at] | (size_t{code_[at + 1]} << 8);
        at += 2;
        if (length > code_.size() - at) {
            ended_ = true;
            return std::nullopt;
        }
        record.payload = code_.subspan(at, length);
        at += length;
    }
    record.nextOffset = at;
    pos_ = at;
    if (record.is(ActionCode::End))
        ended_ = true;
    return record;
}

bool ActionReader::jumpTo(size_t offset)
{
    if (offset > code_.size()) {
        ended_ = true;
        return false;
    }
    pos_ = offset;
    return true;
}

} // namespace swf::avm1
