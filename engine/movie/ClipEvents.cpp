#include "engine/movie/ClipEvents.h"

#include "engine/format/Reader.h"

namespace swf::movie {

std::vector<ClipEventHandler> parseClipEvents(std::span<const uint8_t> clipActions, int swfVersion)
{
    std::vector<ClipEventHandler> handlers;
    if (clipActions.empty())
        return handlers;
    try {
        ByteReader r(clipActions);
        bool wide = swfVersion >= 6;
        r.u16();  // reserved
        if (wide)
            r.u32();
        else
            r.u16();  // the union of all masks
        while (!r.atEnd()) {
            uint32_t events = wide ? r.u32() : r.u16();
            if (events == 0)
                break;
            uint32_t size = r.u32();
            if (size > r.remaining())
                break;
            std::span<const uint8_t> code = r.bytes(size);
            // A key-press handler starts with its key code.
            if (wide && (events & 0x20000) && !code.empty())
                code = code.subspan(1);
            handlers.push_back({events, code});
        }
    } catch (const FormatError&) {
    }
    return handlers;
}

bool clipActionsWellFormed(std::span<const uint8_t> clipActions, int swfVersion)
{
    if (clipActions.empty())
        return true;
    try {
        ByteReader r(clipActions);
        bool wide = swfVersion >= 6;
        r.u16();  // reserved
        if (wide)
            r.u32();
        else
            r.u16();  // the union of all masks
        // A list that stops short of its closing mask still loads.
        while (r.remaining() >= (wide ? 4u : 2u)) {
            uint32_t events = wide ? r.u32() : r.u16();
            if (events == 0)
                return true;
            uint32_t size = r.u32();
            if (size > r.remaining() || (wide && (events & 0x20000) && size == 0))
                return false;
            r.skip(size);
        }
        return true;
    } catch (const FormatError&) {
        return false;
    }
}

} // namespace swf::movie
