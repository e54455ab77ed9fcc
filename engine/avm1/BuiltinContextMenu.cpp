// ContextMenu and ContextMenuItem: the objects a movie describes its right-click menu
// with. A menu keeps the callback it hears before opening (onSelect), the player's own
// items it shows (builtInItems, all on until hideBuiltInItems), and the movie's items
// (customItems); an item keeps its caption, callback, separator and states. Both copy.

#include "engine/avm1/Machine.h"
#include "engine/avm1/Native.h"

namespace swf::avm1 {

namespace {

// The player's own entries, as builtInItems names them.
const char* const kBuiltInItems[] = {"forward_back", "loop", "play", "print", "quality", "rewind", "save", "zoom"};

Object* newBuiltInItems(Machine& m, Object* from)
{
    Object* items = m.newObject();
    for (const char* name : kBuiltInItems)
        items->put(name, from ? Value(m.toBoolean(m.getMember(Value(from), name))) : Value(true));
    return items;
}

// new ContextMenu([onSelect])
Value menuConstruct(Machine& m, Value thisValue, std::span<const Value> args)
{
    Object* menu = thisValue.asObject();
    if (!menu)
        return Value();
    menu->put("onSelect", arg(args, 0));
    menu->put("customItems", Value(m.newArray()));
    menu->put("builtInItems", Value(newBuiltInItems(m, nullptr)));
    return Value();
}

Value menuHideBuiltInItems(Machine& m, Value thisValue, std::span<const Value>)
{
    Object* items = m.getMember(thisValue, "builtInItems").asObject();
    if (!items)
        return Value();
    for (const char* name : kBuiltInItems)
        m.setMember(Value(items), name, Value(false));
    return Value();
}

// new ContextMenuItem(caption, onSelect [, separatorBefore [, enabled [, visible]]])
Value itemConstruct(Machine& m, Value thisValue, std::span<const Value> args)
{
    Object* item = thisValue.asObject();
    if (!item)
        return Value();
    item->put("caption", arg(args, 0));
    item->put("onSelect", arg(args, 1));
    item->put("separatorBefore", Value(args.size() > 2 && m.toBoolean(args[2])));
    item->put("enabled", Value(args.size() <= 3 || m.toBoolean(args[3])));
    item->put("visible", Value(args.size() <= 4 || m.toBoolean(args[4])));
    return Value();
}

Value constructNamed(Machine& m, const char* className, std::span<const Value> args)
{
    const Property* cls = m.global()->findOwn(className);
    return cls ? m.construct(cls->value, args) : Value();
}

Value itemCopy(Machine& m, Value thisValue, std::span<const Value>)
{
    if (!thisValue.isObject())
        return Value();
    const Value args[] = {m.getMember(thisValue, "caption"), m.getMember(thisValue, "onSelect"),
                          m.getMember(thisValue, "separatorBefore"), m.getMember(thisValue, "enabled"),
                          m.getMember(thisValue, "visible")};
    return constructNamed(m, "ContextMenuItem", args);
}

Value menuCopy(Machine& m, Value thisValue, std::span<const Value>)
{
    if (!thisValue.isObject())
        return Value();
    const Value callback[] = {m.getMember(thisValue, "onSelect")};
    Value copy = constructNamed(m, "ContextMenu", callback);
    Object* copied = copy.asObject();
    if (!copied)
        return copy;
    if (Object* builtIn = m.getMember(thisValue, "builtInItems").asObject())
        copied->put("builtInItems", Value(newBuiltInItems(m, builtIn)));
    const Value custom = m.getMember(thisValue, "customItems");
    Object* items = m.getMember(copy, "customItems").asObject();
    if (items && custom.isObject()) {
        const int count = m.toInt32(m.getMember(custom, "length"));
        for (int i = 0; i < count; ++i) {
            const Value item = m.getMember(custom, std::to_string(i));
            const Value copiedItem[] = {item.isObject() ? m.callMethod(item, "copy", {}) : item};
            m.callMethod(Value(items), "push", copiedItem);
        }
    }
    return copy;
}

const NativeMethod kMenuMethods[] = {
    {"copy", menuCopy},
    {"hideBuiltInItems", menuHideBuiltInItems},
};

const NativeMethod kItemMethods[] = {
    {"copy", itemCopy},
};

} // namespace

void installContextMenuClasses(Machine& m)
{
    Object* menu = m.newObject();
    m.protos().setNamed("ContextMenu", menu);
    m.newClass("ContextMenu", menu, menuConstruct);
    defineMethods(m, menu, kMenuMethods);

    Object* item = m.newObject();
    m.protos().setNamed("ContextMenuItem", item);
    m.newClass("ContextMenuItem", item, itemConstruct);
    defineMethods(m, item, kItemMethods);
}

} // namespace swf::avm1
