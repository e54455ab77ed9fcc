#include "engine/movie/ClipEvents.h"

#include "engine/format/Reader.h"

namespace swf::movie {

namespace {

// Walks the event records, handing each to `take`; false at damage (a record running
// past the list, a key-press handler without its key code). A list that stops short
// of its closing mask ends there undamaged.
template <class Take>
bool walkClipEvents(std::span<const uint8_t> clipActions, int swfVersion, Take take)
{
    if (clipActions.empty())
        return true;
    try {
        ByteReader r(clipActions);
        const bool wide = swfVersion >= 6;
        const size_t maskSize = wide ? 4 : 2;
        r.skip(2 + maskSize);  // reserved, then the union of all masks
        while (r.remaining() >= maskSize) {
            uint32_t events = wide ? r.u32() : r.u16();
            if (events == 0)
                return true;
            uint32_t size = r.u32();
            const bool keyPress = wide && (events & 0x20000);
            if (size > r.remaining() || (keyPress && size == 0))
                return false;
            std::span<const uint8_t> code = r.bytes(size);
            // A key-press handler starts with its key code.
            take(ClipEventHandler{events, keyPress ? code.subspan(1) : code});
        }
        return true;
    } catch (const FormatError&) {
        return false;
    }
}

} // namespace

std::vector<ClipEventHandler> parseClipEvents(std::span<const uint8_t> clipActions, int swfVersion)
{
    std::vector<ClipEventHandler> handlers;
    walkClipEvents(clipActions, swfVersion, [&](const ClipEventHandler& h) { handlers.push_back(h); });
    return handlers;
}

bool clipActionsWellFormed(std::span<const uint8_t> clipActions, int swfVersion)
{
    return walkClipEvents(clipActions, swfVersion, [](const ClipEventHandler&) {});
}

} // namespace swf::movie
