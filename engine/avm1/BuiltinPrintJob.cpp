// PrintJob. The player has no printer to offer, so a job never starts: start() answers
// false as it does when the user cancels the print dialog, addPage() then refuses every
// page and send() has nothing to send. The page and paper sizes and the orientation
// read 0, as they do before a job has started, and writes to them are ignored.
// Movies before version 7 see the class without its methods, its prototype hanging
// off nothing (so objects of it convert as "[type Object]").

#include "engine/avm1/Machine.h"
#include "engine/avm1/Native.h"

namespace swf::avm1 {

namespace {

Value printJobStart(Machine&, Value, std::span<const Value>)
{
    return Value(false);
}

Value printJobAddPage(Machine&, Value, std::span<const Value>)
{
    return Value(false);
}

Value printJobSend(Machine&, Value, std::span<const Value>)
{
    return Value();
}

const NativeMethod kPrintJobMethods[] = {
    {"start", printJobStart},
    {"addPage", printJobAddPage},
    {"send", printJobSend},
};

// The job keeps nothing of its own: all it answers comes from its prototype.
Value printJobCall(Machine& m, Value self, std::span<const Value>)
{
    markNativeState(m, self);
    return Value();
}

} // namespace

void installPrintJobClass(Machine& m)
{
    Object* proto = m.newObject();
    if (m.version() < 7)
        proto->setProto(nullptr);
    m.protos().setNamed("PrintJob", proto);
    m.newClass("PrintJob", proto, printJobCall);
    if (m.version() >= 7)
        defineMethods(m, proto, kPrintJobMethods);
    // Sizes and orientation: read-only accessors, listed by for..in.
    Object* zero = m.newNativeFunction("", [](Machine&, Value, std::span<const Value>) { return Value(0.0); });
    Object* ignore = m.newNativeFunction("", [](Machine&, Value, std::span<const Value>) { return Value(); });
    for (const char* name : {"paperHeight", "paperWidth", "pageHeight", "pageWidth", "orientation"}) {
        Property& p = proto->ensure(name);
        p.getter = zero;
        p.setter = ignore;
        p.flags = PropertyFlag::DontDelete;
    }
}

} // namespace swf::avm1
