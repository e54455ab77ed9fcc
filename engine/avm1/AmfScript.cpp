#include "engine/avm1/AmfScript.h"

#include "engine/avm1/ArrayObject.h"
#include "engine/avm1/BoxedObject.h"
#include "engine/avm1/MovieClipObject.h"
#include "engine/avm1/TextFieldObject.h"

#include <algorithm>

namespace swf::avm1 {

data::AmfValue AmfWriter::members(Object* o, size_t depth)
{
    data::AmfValue out;
    out.type = data::AmfValue::Type::Object;
    // Stored files and messages list the members in the order for..in meets them,
    // newest first; a remoting call sends them oldest first, as they were made.
    std::vector<std::string> names = m_.enumerableNames(o);
    if (channel_ != Channel::Remoting)
        std::reverse(names.begin(), names.end());
    for (const std::string& name : names) {
        const Value member = m_.getMember(Value(o), name);
        if (member.asObject() && member.asObject()->function())
            continue;
        out.members.emplace_back(name, value(member, depth + 1));
    }
    return out;
}

void AmfWriter::remember(Object* o)
{
    // Past the table's 16-bit places an object is written again in full.
    if (places_ < 0xFFFF)
        seen_.emplace(o, static_cast<uint16_t>(places_));
    ++places_;
}

std::string AmfWriter::aliasOf(Object* o)
{
    // The class `new` recorded on the object itself (a `constructor` set on it by a
    // script counts first); a prototype borrowed through __proto__ makes no instance.
    Object* constructor = nullptr;
    for (const char* name : {"constructor", "__constructor__"}) {
        const Property* own = o->findOwn(name);
        if (own && !own->isAccessor() && own->value.asObject()) {
            constructor = own->value.asObject();
            break;
        }
    }
    if (!constructor)
        return {};
    const auto& order = m_.classAliasOrder();
    for (auto it = order.rbegin(); it != order.rend(); ++it) {
        auto found = m_.registeredClasses().find(*it);
        if (found != m_.registeredClasses().end() && found->second == constructor)
            return *it;
    }
    return {};
}

std::optional<data::AmfValue> AmfWriter::strictArray(Object* array, const std::vector<std::string>& names, size_t depth)
{
    // The array's own length: one a script hid behind addProperty is not asked (its
    // getter is not run); the elements then reach as far as the last index.
    uint32_t length = m_.arrayLength(array);
    if (const Property* own = array->findOwn("length"); own && own->isAccessor()) {
        length = 0;
        for (const Property& p : array->properties()) {
            if (auto index = arrayIndex(p.name); index && *index < 0xFFFFFFFEu)
                length = std::max(length, *index + 1);
        }
    }
    // A length far past what could be held is written by its members instead.
    constexpr uint32_t kMaxStrictLength = 1u << 20;
    if (length > kMaxStrictLength)
        return std::nullopt;
    for (const std::string& name : names) {
        const auto index = arrayIndex(name);
        if (index && *index < length)
            continue;
        // Functions do not travel, so they make no array mixed.
        const Property* own = array->findOwn(name);
        const bool function = own && !own->isAccessor() && own->value.asObject() && own->value.asObject()->function();
        if (name != "length" && !function)
            return std::nullopt;
    }
    data::AmfValue out;
    out.type = data::AmfValue::Type::StrictArray;
    out.elements.resize(length);
    for (uint32_t i = 0; i < length; ++i) {
        // The elements as stored: an element made by addProperty is no element, and
        // its getter is not run.
        const Property* p = array->findOwn(std::to_string(i));
        if (p && !p->isAccessor() && !(p->flags & PropertyFlag::DontEnum))
            out.elements[i] = value(p->value, depth + 1);
    }
    return out;
}

data::AmfValue AmfWriter::value(const Value& v, size_t depth)
{
    if (v.isNumber())
        return data::AmfValue::makeNumber(v.asNumber());
    if (v.isBool())
        return data::AmfValue::makeBoolean(v.asBool());
    if (v.isString())
        return data::AmfValue::makeString(v.asString());
    if (v.isNull())
        return data::AmfValue::makeNull();
    Object* o = v.asObject();
    // Clips and text fields belong to their movie: they arrive undefined.
    if (!o || o == root_ || depth > 60 || o->as<MovieClipObject>() || o->as<TextFieldObject>())
        return {};
    if (o->function()) {
        if (channel_ != Channel::LocalConnection)
            return {};
        remember(o);
        return data::AmfValue::makeObject();
    }
    if (auto it = seen_.find(o); it != seen_.end()) {
        data::AmfValue ref;
        ref.type = data::AmfValue::Type::Reference;
        ref.reference = it->second;
        return ref;
    }
    if (const DateObject* date = o->as<DateObject>()) {
        remember(o);
        data::AmfValue d;
        d.type = data::AmfValue::Type::Date;
        d.number = m_.toNumber(date->primitive());
        return d;
    }
    // An XML document travels as its text.
    if (Object* xml = m_.getMember(Value(m_.global()), "XML").asObject(); xml && m_.instanceOf(v, xml)) {
        remember(o);
        data::AmfValue text;
        text.type = data::AmfValue::Type::Xml;
        text.text = m_.toString(v);
        return text;
    }
    const bool array = o->as<ArrayObject>() != nullptr;
    std::string alias = array ? std::string() : aliasOf(o);
    if (channel_ != Channel::LocalConnection || (!array && alias.empty()))
        remember(o);
    else
        ++places_;
    if (array) {
        std::vector<std::string> names = m_.enumerableNames(o);
        if (auto strict = strictArray(o, names, depth))
            return *strict;
        data::AmfValue out = members(o, depth);
        out.type = data::AmfValue::Type::EcmaArray;
        out.count = m_.arrayLength(o);
        return out;
    }
    data::AmfValue out = members(o, depth);
    if (!alias.empty()) {
        out.type = data::AmfValue::Type::TypedObject;
        out.text = std::move(alias);
    }
    return out;
}

Value AmfReader::value(const data::AmfValue& v)
{
    using Type = data::AmfValue::Type;
    switch (v.type) {
    case Type::Number: return Value(v.number);
    case Type::Boolean: return Value(v.boolean);
    case Type::String: return Value(v.text);
    case Type::Xml: {
        const Value text(v.text);
        const Value xml = m_.construct(m_.getMember(Value(m_.global()), "XML"), std::span(&text, 1));
        objects_.push_back(xml);
        return xml;
    }
    case Type::Null: return Value(Null{});
    case Type::Undefined: return Value();
    case Type::Reference: return v.reference < objects_.size() ? objects_[v.reference] : Value();
    case Type::Date: {
        const Value time(v.number);
        const Value date = m_.construct(m_.getMember(Value(m_.global()), "Date"), std::span(&time, 1));
        objects_.push_back(date);
        return date;
    }
    case Type::StrictArray: {
        Object* array = m_.newArray();
        objects_.push_back(Value(array));
        for (size_t i = 0; i < v.elements.size(); ++i)
            m_.arraySet(array, static_cast<uint32_t>(i), value(v.elements[i]));
        return Value(array);
    }
    case Type::Object:
    case Type::EcmaArray:
    case Type::TypedObject: {
        Object* o = v.type == Type::EcmaArray ? m_.newArray() : m_.newObject();
        objects_.push_back(Value(o));
        fill(o, v.members);
        return Value(o);
    }
    }
    return Value();
}

void AmfReader::fill(Object* target, const std::vector<std::pair<std::string, data::AmfValue>>& members)
{
    RootedValues values(m_);
    for (const auto& member : members)
        values.push_back(value(member.second));
    for (size_t i = members.size(); i-- > 0;)
        m_.setMember(Value(target), members[i].first, values[i]);
}

} // namespace swf::avm1
