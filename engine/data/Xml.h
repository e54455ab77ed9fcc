#pragma once

// XML text as movies' scripts see it: a forgiving parser that keeps what it read before
// an error and reports the error as the script-visible status number, and the writer
// that turns a tree back into text. Only elements and text nodes survive parsing:
// comments are dropped, CDATA sections become text, the XML declaration and the
// DOCTYPE are kept aside as the document's own strings.

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace swf::data {

struct XmlNode {
    enum class Type { Element = 1, Text = 3 };
    Type type = Type::Element;
    std::string name;   // elements
    std::string value;  // text nodes, entities already decoded
    std::vector<std::pair<std::string, std::string>> attributes;  // in document order
    std::vector<XmlNode> children;
};

// The status numbers a script reads after parsing.
enum class XmlStatus : int {
    Ok = 0,
    CdataNotTerminated = -2,
    DeclarationNotTerminated = -3,
    DoctypeNotTerminated = -4,
    CommentNotTerminated = -5,
    MalformedElement = -6,
    OutOfMemory = -7,
    AttributeNotTerminated = -8,
    EndTagMissing = -9,
    StartTagMissing = -10,
};

struct XmlDocument {
    std::vector<XmlNode> nodes;  // top-level nodes
    XmlStatus status = XmlStatus::Ok;
    bool hasDeclaration = false;
    std::string declaration;  // "<?xml ... ?>", all declarations met, in order
    bool hasDoctype = false;
    std::string doctype;      // "<!DOCTYPE ...>"
};

struct XmlLimits {
    size_t maxDepth = 256;       // deeper elements are a malformed document
    size_t maxNodes = 1'000'000; // past this the parse stops as out of memory
};

// `ignoreWhite` drops text nodes made only of white space (other text is kept whole).
XmlDocument parseXml(std::string_view text, bool ignoreWhite, const XmlLimits& limits = {});

// Text with & < > " ' written as entities, as text nodes and attribute values are
// written back.
std::string escapeXml(std::string_view text);
// The five named entities and numeric character references decoded; anything else
// stays as written.
std::string unescapeXml(std::string_view text);

// A node written back as text: elements with their attributes and children, an element
// without children as "<name />", text escaped.
std::string toXmlString(const XmlNode& node);

} // namespace swf::data
