// flash.net.FileReference and flash.net.FileReferenceList (SWF 8 and later): the
// classes through which a movie asks the user to pick files to upload or a place to
// save a download. The player never opens a file dialog for a movie, so browse()
// behaves as a browse the user cancelled: it answers true, and on the next frame the
// object's listeners hear onCancel (one browse at a time: another one before then
// answers false). download() and upload(), which need a dialog or a chosen file,
// answer false. The file's details (name, size, type, dates, creator) stay undefined,
// as they are before any file was chosen.
//
// Both prototypes are broadcasters (addListener, removeListener, broadcastMessage);
// every object gets its own listener list when it is made.

#include "engine/avm1/AsBroadcaster.h"
#include "engine/avm1/Machine.h"
#include "engine/avm1/Native.h"
#include "engine/avm1/Packages.h"

namespace swf::avm1 {

namespace {

constexpr uint16_t kHidden = PropertyFlag::DontEnum;

// A request that needs the file dialog: refused.
Value refusedWithoutDialog(Machine&, Value, std::span<const Value>)
{
    return Value(false);
}

// Marks an object whose browse is waiting for its onCancel.
constexpr std::string_view kBrowsingSlot = "FileReference.browsing";

Value browseCancelled(Machine& m, Value self, std::span<const Value>)
{
    Object* o = self.asObject();
    if (!o || o == m.global() || o->findOwn(kBrowsingSlot))
        return Value(false);
    o->put(kBrowsingSlot, Value(true), PropertyFlag::DontEnum);
    m.addFrameTask(o, [o](Machine& machine, double) {
        machine.removeFrameTask(o);
        o->erase(kBrowsingSlot);
        const Value args[] = {Value("onCancel"), Value(o)};
        machine.callMethod(Value(o), "broadcastMessage", args);
    });
    return Value(true);
}

// Nothing is ever in progress, so there is nothing to stop.
Value fileReferenceCancel(Machine&, Value, std::span<const Value>)
{
    return Value();
}

const NativeMethod kFileReferenceMethods[] = {
    {"browse", browseCancelled, kHidden},
    {"upload", refusedWithoutDialog, kHidden},
    {"download", refusedWithoutDialog, kHidden},
    {"cancel", fileReferenceCancel, kHidden},
    {"convertToPPT", refusedWithoutDialog, kHidden},
    {"deleteConvertedPPT", refusedWithoutDialog, kHidden},
};

const NativeMethod kFileReferenceListMethods[] = {
    {"browse", browseCancelled, kHidden},
};

// The object's own members are listed by for..in, as the reference player's are.
void giveOwnListeners(Machine& m, Object* target)
{
    target->put("_listeners", Value(m.newArray()));
}

// new FileReference(), or super() in a subclass: an object holding a file reference,
// with the chosen file's details read-only and unset.
Value fileReferenceCall(Machine& m, Value self, std::span<const Value>)
{
    Object* target = stateTarget(m, self);
    if (!target)
        return Value();
    markNativeState(m, self);
    for (const char* detail : {"name", "type", "size", "modificationDate", "creationDate", "creator"})
        target->put(detail, Value(), PropertyFlag::ReadOnly);
    target->put("postData", Value());
    giveOwnListeners(m, target);
    return Value();
}

// new FileReferenceList(): an ordinary object with an empty list of chosen files.
Value fileReferenceListCall(Machine& m, Value self, std::span<const Value>)
{
    Object* target = self.asObject();
    if (!target || target == m.global())
        return Value();
    target->put("fileList", Value(m.newArray()));
    giveOwnListeners(m, target);
    return Value();
}

} // namespace

void installFileReferenceClasses(Machine& m)
{
    if (m.version() < 8)
        return;
    Object* listProto = m.newObject();
    initializeBroadcaster(m, listProto);
    defineMethods(m, listProto, kFileReferenceListMethods);
    definePackageClass(m, "flash.net", "FileReferenceList", listProto, fileReferenceListCall);

    Object* proto = m.newObject();
    initializeBroadcaster(m, proto);
    defineMethods(m, proto, kFileReferenceMethods);
    definePackageClass(m, "flash.net", "FileReference", proto, fileReferenceCall);
}

} // namespace swf::avm1
