#include "engine/format/Tags.h"

#include <algorithm>

namespace swf {

std::optional<Tag> TagReader::next()
{
    if (ended_ || bytes_.remaining() < 2) {
        ended_ = true;
        return std::nullopt;
    }
    Tag tag;
    tag.offset = bytes_.position();
    uint16_t codeAndLength = bytes_.u16();
    tag.code = codeAndLength >> 6;
    size_t length = codeAndLength & 0x3F;
    if (length == 0x3F) {
        if (bytes_.remaining() < 4) {
            ended_ = true;
            return std::nullopt;
        }
        length = bytes_.u32();
    }
    if (length > bytes_.remaining()) {
        length = bytes_.remaining();
        tag.clipped = true;
    }
    tag.body = bytes_.bytes(length);
    if (tag.is(TagCode::End))
        ended_ = true;
    return tag;
}

} // namespace swf
