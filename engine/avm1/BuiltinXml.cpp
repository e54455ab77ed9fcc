// XMLNode and XML: a tree of element and text nodes that scripts walk, change and
// write back as text. The parsing and writing of XML text live in engine/data; here
// the tree is made of script objects, so that nodes keep their identity (a node read
// twice is the same object) and can move between parents.

#include "engine/avm1/ArrayObject.h"
#include "engine/avm1/LoadHost.h"
#include "engine/avm1/Loading.h"
#include "engine/avm1/Machine.h"
#include "engine/avm1/Native.h"
#include "engine/data/Xml.h"

#include <algorithm>
#include <cctype>

namespace swf::avm1 {

namespace {

class XmlNodeObject : public Object {
protected:
    bool keepsNativeState() const override { return true; }

public:
    using Object::Object;

    int nodeType = 1;
    Value nodeName = Value(Null{});   // elements: their name; text nodes and documents: null
    Value nodeValue = Value(Null{});  // text nodes: their text
    Object* attributes = nullptr;
    XmlNodeObject* parent = nullptr;
    std::vector<XmlNodeObject*> children;
    Object* childArray = nullptr;  // childNodes, made on first read and kept in step

    void visitEdges(Visitor& visitor) override
    {
        Object::visitEdges(visitor);
        visitor.visit(nodeName);
        visitor.visit(nodeValue);
        visitor.visit(attributes);
        visitor.visit(parent);
        for (XmlNodeObject* c : children)
            visitor.visit(c);
        visitor.visit(childArray);
    }

    bool getComputed(Machine& m, std::string_view name, Value& out) override;
    bool hasComputed(Machine& m, std::string_view name) override
    {
        Value ignored;
        return getComputed(m, name, ignored);
    }
    bool setComputed(Machine& m, std::string_view name, const Value& value) override;

    void syncChildArray(Machine& m)
    {
        if (!childArray)
            return;
        std::vector<Value> items(children.begin(), children.end());
        m.arrayAssign(childArray, items);
    }

    // Where this node sits in its parent's list; kept by every change to that list, so
    // that a walk along siblings costs one step a node.
    size_t indexInParent = 0;

    XmlNodeObject* sibling(int offset) const
    {
        if (!parent)
            return nullptr;
        const auto& list = parent->children;
        const auto index = static_cast<std::ptrdiff_t>(indexInParent) + offset;
        if (index < 0 || index >= static_cast<std::ptrdiff_t>(list.size()))
            return nullptr;
        return list[static_cast<size_t>(index)];
    }

    // Numbers the children from `first` on after the list changed there.
    void renumberFrom(size_t first)
    {
        for (size_t i = first; i < children.size(); ++i)
            children[i]->indexInParent = i;
    }
};

Object* nodeProto(Machine& m)
{
    return m.protos().named("XMLNode");
}

Object* documentProto(Machine& m)
{
    return m.protos().named("XML");
}

bool sameName(const Object& o, std::string_view a, std::string_view b)
{
    if (o.caseSensitive())
        return a == b;
    return a.size() == b.size()
        && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y)); });
}

Value nodeOrNull(XmlNodeObject* node)
{
    return node ? Value(static_cast<Object*>(node)) : Value(Null{});
}

XmlNodeObject* nodeOf(const Value& v)
{
    Object* o = v.asObject();
    return o ? o->as<XmlNodeObject>() : nullptr;
}

bool XmlNodeObject::getComputed(Machine& m, std::string_view name, Value& out)
{
    if (sameName(*this, name, "nodeType"))
        out = Value(nodeType);
    else if (sameName(*this, name, "nodeName"))
        out = nodeName;
    else if (sameName(*this, name, "nodeValue"))
        out = nodeValue;
    else if (sameName(*this, name, "parentNode"))
        out = nodeOrNull(parent);
    else if (sameName(*this, name, "firstChild"))
        out = nodeOrNull(children.empty() ? nullptr : children.front());
    else if (sameName(*this, name, "lastChild"))
        out = nodeOrNull(children.empty() ? nullptr : children.back());
    else if (sameName(*this, name, "nextSibling"))
        out = nodeOrNull(sibling(1));
    else if (sameName(*this, name, "previousSibling"))
        out = nodeOrNull(sibling(-1));
    else if (sameName(*this, name, "attributes")) {
        if (!attributes)
            attributes = m.newObject();
        out = Value(attributes);
    } else if (sameName(*this, name, "childNodes")) {
        if (!childArray) {
            childArray = m.newArray();
            syncChildArray(m);
        }
        out = Value(childArray);
    } else if (sameName(*this, name, "localName") || sameName(*this, name, "prefix")) {
        if (nodeType != 1 || !nodeName.isString()) {
            out = Value(Null{});
            return true;
        }
        const std::string& full = nodeName.asString();
        const size_t colon = full.find(':');
        const bool wantsPrefix = sameName(*this, name, "prefix");
        if (colon == std::string::npos)
            out = wantsPrefix ? Value(std::string()) : nodeName;
        else
            out = Value(wantsPrefix ? full.substr(0, colon) : full.substr(colon + 1));
    } else {
        return false;
    }
    return true;
}

bool XmlNodeObject::setComputed(Machine& m, std::string_view name, const Value& value)
{
    // Writing undefined leaves a name or value as it was.
    if (sameName(*this, name, "nodeName")) {
        if (nodeType == 1 && !value.isUndefined())
            nodeName = value.isNull() ? Value(Null{}) : Value(m.toString(value));
        return true;
    }
    if (sameName(*this, name, "nodeValue")) {
        if (nodeType == 3 && !value.isUndefined())
            nodeValue = value.isNull() ? Value(Null{}) : Value(m.toString(value));
        return true;
    }
    if (sameName(*this, name, "attributes")) {
        if (Object* o = value.asObject())
            attributes = o;
        return true;
    }
    static constexpr std::string_view readOnly[] = {"nodeType", "parentNode", "firstChild", "lastChild", "nextSibling",
                                                    "previousSibling", "childNodes", "localName", "prefix"};
    return std::any_of(std::begin(readOnly), std::end(readOnly), [&](std::string_view n) { return sameName(*this, name, n); });
}

XmlNodeObject* makeNode(Machine& m, Object* proto, int type, const Value& nameOrValue)
{
    auto* node = m.make<XmlNodeObject>(proto);
    node->nodeType = type;
    if (type == 1)
        node->nodeName = nameOrValue;
    else
        node->nodeValue = nameOrValue;
    return node;
}

bool isAncestorOrSelf(const XmlNodeObject* maybeAncestor, const XmlNodeObject* node)
{
    for (size_t depth = 0; node && depth < 100000; node = node->parent, ++depth) {
        if (node == maybeAncestor)
            return true;
    }
    return false;
}

void detach(Machine& m, XmlNodeObject* node)
{
    XmlNodeObject* parent = node->parent;
    if (!parent)
        return;
    auto& list = parent->children;
    const size_t at = node->indexInParent < list.size() && list[node->indexInParent] == node
        ? node->indexInParent
        : static_cast<size_t>(std::find(list.begin(), list.end(), node) - list.begin());
    if (at < list.size())
        list.erase(list.begin() + static_cast<std::ptrdiff_t>(at));
    node->parent = nullptr;
    node->indexInParent = 0;
    parent->renumberFrom(at);
    parent->syncChildArray(m);
}

void insertChild(Machine& m, XmlNodeObject* parent, XmlNodeObject* child, XmlNodeObject* before)
{
    // A node cannot hold itself or one of its ancestors.
    if (isAncestorOrSelf(child, parent))
        return;
    detach(m, child);
    auto& list = parent->children;
    const size_t at = before && before->parent == parent ? before->indexInParent : list.size();
    list.insert(list.begin() + static_cast<std::ptrdiff_t>(at), child);
    child->parent = parent;
    parent->renumberFrom(at);
    parent->syncChildArray(m);
}

// Builds script nodes for parsed ones; elements with an "id" attribute are entered in
// `idMap` when given.
void adopt(Machine& m, XmlNodeObject* parent, const std::vector<data::XmlNode>& parsed, Object* idMap)
{
    Object* proto = nodeProto(m);
    for (const data::XmlNode& p : parsed) {
        const bool element = p.type == data::XmlNode::Type::Element;
        XmlNodeObject* node = makeNode(m, proto, element ? 1 : 3, Value(element ? p.name : p.value));
        if (element) {
            // Stored last to first: for..in walks the newest first, so scripts (and
            // the writer) meet attributes in document order.
            node->attributes = m.newObject();
            for (auto it = p.attributes.rbegin(); it != p.attributes.rend(); ++it) {
                node->attributes->put(it->first, Value(it->second));
                if (idMap && it->first == "id")
                    idMap->put(it->second, Value(static_cast<Object*>(node)));
            }
        }
        node->parent = parent;
        node->indexInParent = parent->children.size();
        parent->children.push_back(node);
        if (element)
            adopt(m, node, p.children, idMap);
    }
    parent->syncChildArray(m);
}

void writeNode(Machine& m, const XmlNodeObject* node, std::string& out, size_t depth)
{
    if (depth > 10000)
        return;
    if (node->nodeType == 3) {
        if (!node->nodeValue.isNullish())
            out += data::escapeXml(m.toString(node->nodeValue));
        return;
    }
    const bool named = !node->nodeName.isNullish();
    std::string name;
    if (named) {
        name = m.toString(node->nodeName);
        out += '<';
        out += name;
        if (node->attributes) {
            // In the order for..in meets them, newest first: parsed attributes were
            // stored last to first, so they come back in document order.
            std::vector<std::string> keys = m.enumerableNames(node->attributes);
            std::reverse(keys.begin(), keys.end());
            for (const std::string& key : keys) {
                const Value v = m.getMember(Value(node->attributes), key);
                out += ' ';
                out += key;
                out += "=\"";
                out += data::escapeXml(m.toString(v));
                out += '"';
            }
        }
        if (node->children.empty()) {
            out += " />";
            return;
        }
        out += '>';
    }
    for (const XmlNodeObject* child : node->children)
        writeNode(m, child, out, depth + 1);
    if (named) {
        out += "</";
        out += name;
        out += '>';
    }
}

XmlNodeObject* cloneNode(Machine& m, const XmlNodeObject* source, bool deep, size_t depth)
{
    auto* copy = m.make<XmlNodeObject>(source->proto());
    copy->nodeType = source->nodeType;
    copy->nodeName = source->nodeName;
    copy->nodeValue = source->nodeValue;
    if (source->attributes) {
        copy->attributes = m.newObject();
        for (const std::string& key : m.enumerableNames(source->attributes))
            copy->attributes->put(key, m.getMember(Value(source->attributes), key));
    }
    if (deep && depth < 10000) {
        for (const XmlNodeObject* child : source->children) {
            XmlNodeObject* c = cloneNode(m, child, true, depth + 1);
            c->parent = copy;
            c->indexInParent = copy->children.size();
            copy->children.push_back(c);
        }
    }
    return copy;
}

// ---- XMLNode.prototype ----

Value xmlNodeAppendChild(Machine& m, Value self, std::span<const Value> args)
{
    XmlNodeObject* parent = nodeOf(self);
    XmlNodeObject* child = nodeOf(arg(args, 0));
    // Appending a node to the parent it already has leaves it where it is.
    if (parent && child && child->parent != parent)
        insertChild(m, parent, child, nullptr);
    return Value();
}

Value xmlNodeInsertBefore(Machine& m, Value self, std::span<const Value> args)
{
    XmlNodeObject* parent = nodeOf(self);
    XmlNodeObject* child = nodeOf(arg(args, 0));
    XmlNodeObject* before = nodeOf(arg(args, 1));
    if (!parent || !child || !before || before->parent != parent || child == before)
        return Value();
    insertChild(m, parent, child, before);
    return Value();
}

Value xmlNodeRemoveNode(Machine& m, Value self, std::span<const Value>)
{
    if (XmlNodeObject* node = nodeOf(self))
        detach(m, node);
    return Value();
}

Value xmlNodeCloneNode(Machine& m, Value self, std::span<const Value> args)
{
    XmlNodeObject* node = nodeOf(self);
    if (!node)
        return Value();
    return Value(static_cast<Object*>(cloneNode(m, node, m.toBoolean(arg(args, 0)), 0)));
}

Value xmlNodeHasChildNodes(Machine&, Value self, std::span<const Value>)
{
    XmlNodeObject* node = nodeOf(self);
    return Value(node && !node->children.empty());
}

Value xmlNodeToString(Machine& m, Value self, std::span<const Value>)
{
    XmlNodeObject* node = nodeOf(self);
    if (!node)
        return Value(std::string());
    std::string out;
    writeNode(m, node, out, 0);
    return Value(out);
}

// The namespace URI bound to `prefix` ("" for the default) on this node or the nearest
// ancestor declaring it.
Value namespaceFor(Machine& m, XmlNodeObject* node, const std::string& prefix)
{
    const std::string attribute = prefix.empty() ? "xmlns" : "xmlns:" + prefix;
    for (size_t depth = 0; node && depth < 100000; node = node->parent, ++depth) {
        if (node->attributes && node->attributes->findOwn(attribute))
            return m.getMember(Value(node->attributes), attribute);
    }
    return Value(Null{});
}

Value xmlNodeGetNamespaceForPrefix(Machine& m, Value self, std::span<const Value> args)
{
    XmlNodeObject* node = nodeOf(self);
    if (!node || args.empty())
        return Value();
    return namespaceFor(m, node, m.toString(args[0]));
}

Value xmlNodeGetPrefixForNamespace(Machine& m, Value self, std::span<const Value> args)
{
    XmlNodeObject* node = nodeOf(self);
    if (!node || args.empty())
        return Value();
    const std::string uri = m.toString(args[0]);
    for (size_t depth = 0; node && depth < 100000; node = node->parent, ++depth) {
        if (!node->attributes)
            continue;
        for (const std::string& key : m.enumerableNames(node->attributes)) {
            if ((key == "xmlns" || key.starts_with("xmlns:")) && m.toString(m.getMember(Value(node->attributes), key)) == uri)
                return Value(key == "xmlns" ? std::string() : key.substr(6));
        }
    }
    return Value(Null{});
}

const NativeMethod kXmlNodeMethods[] = {
    {"cloneNode", xmlNodeCloneNode},
    {"removeNode", xmlNodeRemoveNode},
    {"insertBefore", xmlNodeInsertBefore},
    {"appendChild", xmlNodeAppendChild},
    {"hasChildNodes", xmlNodeHasChildNodes},
    {"toString", xmlNodeToString},
    {"getNamespaceForPrefix", xmlNodeGetNamespaceForPrefix},
    {"getPrefixForNamespace", xmlNodeGetPrefixForNamespace},
};

Value xmlNodeConstruct(Machine& m, Value self, std::span<const Value> args)
{
    // A node needs its type and its name or text: with fewer arguments the constructor
    // makes no node, and `new XMLNode()` is an ordinary object.
    if (args.size() < 2)
        return self.isObject() ? Value() : Value(m.newObject(nodeProto(m)));
    const int type = args.empty() ? 1 : m.toInt32(args[0]);
    const Value text = args.size() > 1 && !args[1].isNullish() ? Value(m.toString(args[1])) : Value(Null{});
    XmlNodeObject* node = makeNode(m, nodeProto(m), type == 3 ? 3 : 1, text);
    if (type != 3)
        node->attributes = m.newObject();
    return adoptState(m, self, node);
}

// ---- XML.prototype ----

// `holder` is the object scripts hold: the document itself, or the object a subclass's
// super() made a document in place; the members the parse sets go on it.
void parseInto(Machine& m, XmlNodeObject* document, Object* holder, const std::string& text)
{
    const bool ignoreWhite = m.toBoolean(m.getMember(Value(holder), "ignoreWhite"));
    for (XmlNodeObject* child : document->children)
        child->parent = nullptr;
    document->children.clear();
    const data::XmlDocument parsed = data::parseXml(text, ignoreWhite);

    Object* idMap = nullptr;
    if (m.version() >= 8) {
        Value existing = m.getMember(Value(holder), "idMap");
        idMap = existing.asObject();
        if (!idMap) {
            idMap = m.newObject();
            holder->put("idMap", Value(idMap), PropertyFlag::DontEnum);
        }
    }
    adopt(m, document, parsed.nodes, idMap);
    holder->put("status", Value(static_cast<int>(parsed.status)));
    if (parsed.hasDeclaration)
        holder->put("xmlDecl", Value(parsed.declaration));
    if (parsed.hasDoctype)
        holder->put("docTypeDecl", Value(parsed.doctype));
}

Value xmlParseXML(Machine& m, Value self, std::span<const Value> args)
{
    XmlNodeObject* document = nodeOf(self);
    if (!document || args.empty())
        return Value();
    parseInto(m, document, self.asObject(), m.toString(args[0]));
    return Value();
}

Value xmlCreateElement(Machine& m, Value, std::span<const Value> args)
{
    XmlNodeObject* node = makeNode(m, nodeProto(m), 1, Value(m.toString(arg(args, 0))));
    node->attributes = m.newObject();
    return Value(static_cast<Object*>(node));
}

Value xmlCreateTextNode(Machine& m, Value, std::span<const Value> args)
{
    return Value(static_cast<Object*>(makeNode(m, nodeProto(m), 3, Value(m.toString(arg(args, 0))))));
}

Value xmlToString(Machine& m, Value self, std::span<const Value>)
{
    XmlNodeObject* document = nodeOf(self);
    if (!document)
        return Value(std::string());
    std::string out;
    for (const char* prolog : {"xmlDecl", "docTypeDecl"}) {
        Value v = m.getMember(self, prolog);
        if (!v.isNullish())
            out += m.toString(v);
    }
    writeNode(m, document, out, 0);
    return Value(out);
}

// What a load has brought so far (undefined before any load).
Value xmlGetBytesLoaded(Machine& m, Value self, std::span<const Value>)
{
    return m.getMember(self, "_bytesLoaded");
}

Value xmlGetBytesTotal(Machine& m, Value self, std::span<const Value>)
{
    return m.getMember(self, "_bytesTotal");
}

// Headers only travel with network requests, which a movie played from disk may not
// make; the method exists so that scripts calling it go on.
Value xmlAddRequestHeader(Machine&, Value, std::span<const Value>)
{
    return Value();
}

// send(url, window): shown in a browser window, which only a web address can be.
Value xmlSend(Machine& m, Value self, std::span<const Value> args)
{
    if (!self.asObject() || args.empty())
        return Value(false);
    if (LoadHost* host = m.loadHost())
        host->openUrl(m.toString(args[0]), args.size() > 1 ? m.toString(args[1]) : std::string("_self"));
    return Value(true);
}

// The default onData: parse what came, or report the failure.
Value xmlOnData(Machine& m, Value self, std::span<const Value> args)
{
    return defaultOnData(m, self, arg(args, 0), "parseXML");
}

Value xmlOnLoad(Machine&, Value, std::span<const Value>)
{
    return Value();
}

const NativeMethod kXmlMethods[] = {
    {"load", loadTextMethod},
    {"sendAndLoad", sendAndLoadTextMethod},
    {"send", xmlSend},
    {"onData", xmlOnData},
    {"onLoad", xmlOnLoad},
    {"createElement", xmlCreateElement},
    {"createTextNode", xmlCreateTextNode},
    {"parseXML", xmlParseXML},
    {"toString", xmlToString},
    {"getBytesLoaded", xmlGetBytesLoaded},
    {"getBytesTotal", xmlGetBytesTotal},
    {"addRequestHeader", xmlAddRequestHeader},
};

Value xmlConstruct(Machine& m, Value self, std::span<const Value> args)
{
    XmlNodeObject* document = makeNode(m, documentProto(m), 1, Value(Null{}));
    document->attributes = m.newObject();
    // Run on an existing object (a subclass's super()), XML makes it a document in place.
    Object* holder = stateTarget(m, self);
    if (holder)
        holder->attachNative(document);
    else
        holder = document;
    if (!args.empty() && !args[0].isUndefined())
        parseInto(m, document, holder, m.toString(args[0]));
    return Value(holder);
}

} // namespace

void installXmlClasses(Machine& m)
{
    Object* node = m.newObject();
    m.protos().setNamed("XMLNode", node);
    m.newClass("XMLNode", node, xmlNodeConstruct, xmlNodeConstruct);
    defineMethods(m, node, kXmlNodeMethods);

    Object* document = m.newObject(node);
    m.protos().setNamed("XML", document);
    m.newClass("XML", document, xmlConstruct, xmlConstruct);
    defineMethods(m, document, kXmlMethods);
    document->put("ignoreWhite", Value(false), PropertyFlag::DontEnum);
    document->put("contentType", Value("application/x-www-form-urlencoded"), PropertyFlag::DontEnum);
}

} // namespace swf::avm1
