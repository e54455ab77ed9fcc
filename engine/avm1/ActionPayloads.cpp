#include "engine/avm1/ActionPayloads.h"

#include "engine/format/Error.h"
#include "engine/format/Reader.h"

namespace swf::avm1 {

namespace {

// Every parameter takes at least one byte, so a count larger than what is left of the
// payload is a lie; refusing it early keeps a hostile count from reserving memory.
void checkCount(unsigned count, const ByteReader& r)
{
    if (count > r.remaining())
        throw FormatError("function parameter count larger than its record");
}

} // namespace

FunctionHeader readFunctionHeader(std::span<const uint8_t> payload, bool version2)
{
    ByteReader r(payload);
    FunctionHeader h;
    h.name = r.cstring();
    unsigned count = r.u16();
    checkCount(count, r);
    if (version2) {
        h.registerCount = r.u8();
        h.flags = r.u16();
        for (unsigned i = 0; i < count; ++i) {
            h.paramRegisters.push_back(r.u8());
            h.params.push_back(r.cstring());
        }
    } else {
        for (unsigned i = 0; i < count; ++i)
            h.params.push_back(r.cstring());
    }
    h.codeSize = r.u16();
    return h;
}

TryHeader readTryHeader(std::span<const uint8_t> payload)
{
    ByteReader r(payload);
    TryHeader h;
    uint8_t flags = r.u8();
    h.hasCatch = flags & 1;
    h.hasFinally = flags & 2;
    h.catchInRegister = flags & 4;
    h.trySize = r.u16();
    h.catchSize = r.u16();
    h.finallySize = r.u16();
    if (h.catchInRegister)
        h.catchRegister = r.u8();
    else
        h.catchName = r.cstring();
    return h;
}

bool PushReader::next(PushItem& item)
{
    if (atEnd())
        return false;
    ByteReader r(payload_);
    r.seek(pos_);
    uint8_t type = r.u8();
    if (type > static_cast<uint8_t>(PushType::Constant16))
        throw FormatError("unknown push type");
    item.type = static_cast<PushType>(type);
    switch (item.type) {
    case PushType::String: item.text = r.cstring(); break;
    case PushType::Float: item.number = r.f32(); break;
    case PushType::Null:
    case PushType::Undefined: break;
    case PushType::Register: item.index = r.u8(); break;
    case PushType::Boolean: item.boolean = r.u8() != 0; break;
    case PushType::Double: item.number = r.f64Swapped(); break;
    case PushType::Integer: item.number = r.s32(); break;
    case PushType::Constant8: item.index = r.u8(); break;
    case PushType::Constant16: item.index = r.u16(); break;
    }
    pos_ = r.position();
    return true;
}

} // namespace swf::avm1
