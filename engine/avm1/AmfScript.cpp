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
    // In the order for..in meets them, newest first.
    std::vector<std::string> names = m_.enumerableNames(o);
    std::reverse(names.begin(), names.end());
    for (const std::string& name : names) {
        const Value member = m_.getMember(Value(o), name);
        if (member.asObject() && member.asObject()->function())
            continue;
        out.members.emplace_back(name, value(member, depth + 1));
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
        if (functions_ == Functions::Dropped)
            return {};
        if (seen_.size() < 0xFFFF)
            seen_.emplace(o, static_cast<uint16_t>(seen_.size()));
        return data::AmfValue::makeObject();
    }
    if (auto it = seen_.find(o); it != seen_.end()) {
        data::AmfValue ref;
        ref.type = data::AmfValue::Type::Reference;
        ref.reference = it->second;
        return ref;
    }
    if (const DateObject* date = o->as<DateObject>()) {
        data::AmfValue d;
        d.type = data::AmfValue::Type::Date;
        d.number = m_.toNumber(date->primitive());
        return d;
    }
    // An XML document travels as its text.
    if (Object* xml = m_.getMember(Value(m_.global()), "XML").asObject(); xml && m_.instanceOf(v, xml)) {
        data::AmfValue text;
        text.type = data::AmfValue::Type::Xml;
        text.text = m_.toString(v);
        return text;
    }
    if (seen_.size() < 0xFFFF)
        seen_.emplace(o, static_cast<uint16_t>(seen_.size()));
    data::AmfValue out = members(o, depth);
    if (o->as<ArrayObject>())
        out.type = data::AmfValue::Type::EcmaArray;
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
        return m_.construct(m_.getMember(Value(m_.global()), "XML"), std::span(&text, 1));
    }
    case Type::Null: return Value(Null{});
    case Type::Undefined: return Value();
    case Type::Reference: return v.reference < objects_.size() ? objects_[v.reference] : Value();
    case Type::Date: {
        const Value time(v.number);
        return m_.construct(m_.getMember(Value(m_.global()), "Date"), std::span(&time, 1));
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
