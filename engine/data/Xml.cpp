#include "engine/data/Xml.h"

#include <algorithm>
#include <cstdint>

namespace swf::data {

namespace {

bool isSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

bool onlySpace(std::string_view s)
{
    return std::all_of(s.begin(), s.end(), isSpace);
}

void appendUtf8(std::string& out, uint32_t cp)
{
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

// "&#65;" or "&#x41;" (without & and ;) as a code point; false when it is not one.
bool numericReference(std::string_view body, uint32_t& cp)
{
    if (body.size() < 2 || body[0] != '#')
        return false;
    const bool hex = body[1] == 'x' || body[1] == 'X';
    std::string_view digits = body.substr(hex ? 2 : 1);
    if (digits.empty() || digits.size() > 8)
        return false;
    uint32_t value = 0;
    for (char c : digits) {
        int d;
        if (c >= '0' && c <= '9')
            d = c - '0';
        else if (hex && c >= 'a' && c <= 'f')
            d = c - 'a' + 10;
        else if (hex && c >= 'A' && c <= 'F')
            d = c - 'A' + 10;
        else
            return false;
        value = value * (hex ? 16 : 10) + static_cast<uint32_t>(d);
    }
    if (value == 0 || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF))
        return false;
    cp = value;
    return true;
}

class Parser {
public:
    Parser(std::string_view text, bool ignoreWhite, const XmlLimits& limits)
        : text_(text), ignoreWhite_(ignoreWhite), limits_(limits)
    {
    }

    XmlDocument run()
    {
        while (pos_ < text_.size() && doc_.status == XmlStatus::Ok) {
            if (text_[pos_] == '<')
                markup();
            else
                textRun();
        }
        if (doc_.status == XmlStatus::Ok && !open_.empty())
            doc_.status = XmlStatus::EndTagMissing;
        return std::move(doc_);
    }

private:
    std::vector<XmlNode>& current() { return open_.empty() ? doc_.nodes : open_.back()->children; }

    bool add(XmlNode node)
    {
        if (++nodeCount_ > limits_.maxNodes) {
            doc_.status = XmlStatus::OutOfMemory;
            return false;
        }
        current().push_back(std::move(node));
        return true;
    }

    void addText(std::string value)
    {
        XmlNode node;
        node.type = XmlNode::Type::Text;
        node.value = std::move(value);
        add(std::move(node));
    }

    void textRun()
    {
        const size_t end = std::min(text_.find('<', pos_), text_.size());
        std::string_view raw = text_.substr(pos_, end - pos_);
        pos_ = end;
        if (ignoreWhite_ && onlySpace(raw))
            return;
        addText(unescapeXml(raw));
    }

    // Skips to just past `terminator`; false (with `status`) when the text ends first.
    bool skipPast(std::string_view terminator, XmlStatus status, std::string_view* skipped = nullptr)
    {
        const size_t end = text_.find(terminator, pos_);
        if (end == std::string_view::npos) {
            doc_.status = status;
            return false;
        }
        if (skipped)
            *skipped = text_.substr(pos_, end + terminator.size() - pos_);
        pos_ = end + terminator.size();
        return true;
    }

    void markup()
    {
        std::string_view rest = text_.substr(pos_);
        std::string_view whole;
        if (rest.starts_with("<!--")) {
            skipPast("-->", XmlStatus::CommentNotTerminated);
        } else if (rest.starts_with("<![CDATA[")) {
            const size_t start = pos_ + 9;
            const size_t end = text_.find("]]>", start);
            if (end == std::string_view::npos) {
                doc_.status = XmlStatus::CdataNotTerminated;
                return;
            }
            addText(std::string(text_.substr(start, end - start)));
            pos_ = end + 3;
        } else if (rest.starts_with("<?")) {
            if (skipPast("?>", XmlStatus::DeclarationNotTerminated, &whole)) {
                doc_.hasDeclaration = true;
                doc_.declaration += whole;
            }
        } else if (rest.starts_with("<!")) {
            if (skipPast(">", XmlStatus::DoctypeNotTerminated, &whole)) {
                doc_.hasDoctype = true;
                doc_.doctype = std::string(whole);
            }
        } else if (rest.starts_with("</")) {
            endTag();
        } else {
            startTag();
        }
    }

    std::string_view name()
    {
        const size_t start = pos_;
        while (pos_ < text_.size() && !isSpace(text_[pos_]) && text_[pos_] != '>' && text_[pos_] != '/' && text_[pos_] != '='
               && text_[pos_] != '<')
            ++pos_;
        return text_.substr(start, pos_ - start);
    }

    void skipSpace()
    {
        while (pos_ < text_.size() && isSpace(text_[pos_]))
            ++pos_;
    }

    void endTag()
    {
        pos_ += 2;
        std::string_view tag = name();
        skipSpace();
        if (pos_ >= text_.size() || text_[pos_] != '>') {
            doc_.status = XmlStatus::MalformedElement;
            return;
        }
        ++pos_;
        if (open_.empty()) {
            doc_.status = XmlStatus::StartTagMissing;
            return;
        }
        if (open_.back()->name != tag) {
            doc_.status = XmlStatus::EndTagMissing;
            return;
        }
        open_.pop_back();
    }

    void startTag()
    {
        ++pos_;
        XmlNode element;
        element.name = std::string(name());
        if (element.name.empty()) {
            doc_.status = XmlStatus::MalformedElement;
            return;
        }
        for (;;) {
            skipSpace();
            if (pos_ >= text_.size()) {
                doc_.status = XmlStatus::MalformedElement;
                return;
            }
            const char c = text_[pos_];
            if (c == '>' || (c == '/' && pos_ + 1 < text_.size() && text_[pos_ + 1] == '>')) {
                const bool empty = c == '/';
                pos_ += empty ? 2 : 1;
                if (!add(std::move(element)))
                    return;
                if (!empty) {
                    if (open_.size() >= limits_.maxDepth) {
                        doc_.status = XmlStatus::MalformedElement;
                        return;
                    }
                    open_.push_back(&current().back());
                }
                return;
            }
            if (!attribute(element))
                return;
        }
    }

    bool attribute(XmlNode& element)
    {
        std::string_view key = name();
        skipSpace();
        if (key.empty() || pos_ >= text_.size() || text_[pos_] != '=') {
            doc_.status = XmlStatus::MalformedElement;
            return false;
        }
        ++pos_;
        skipSpace();
        if (pos_ >= text_.size() || (text_[pos_] != '"' && text_[pos_] != '\'')) {
            doc_.status = XmlStatus::MalformedElement;
            return false;
        }
        const char quote = text_[pos_++];
        const size_t end = text_.find(quote, pos_);
        if (end == std::string_view::npos) {
            doc_.status = XmlStatus::AttributeNotTerminated;
            return false;
        }
        std::string value = unescapeXml(text_.substr(pos_, end - pos_));
        pos_ = end + 1;
        // A repeated name keeps its first value.
        const bool seen = std::any_of(element.attributes.begin(), element.attributes.end(),
                                      [&](const auto& a) { return a.first == key; });
        if (!seen)
            element.attributes.emplace_back(std::string(key), std::move(value));
        return true;
    }

    std::string_view text_;
    bool ignoreWhite_;
    XmlLimits limits_;
    size_t pos_ = 0;
    size_t nodeCount_ = 0;
    XmlDocument doc_;
    // The elements not closed yet, innermost last. Only the innermost gains children,
    // so pointers to the outer ones stay valid.
    std::vector<XmlNode*> open_;
};

void write(const XmlNode& node, std::string& out)
{
    if (node.type == XmlNode::Type::Text) {
        out += escapeXml(node.value);
        return;
    }
    out += '<';
    out += node.name;
    for (const auto& [key, value] : node.attributes) {
        out += ' ';
        out += key;
        out += "=\"";
        out += escapeXml(value);
        out += '"';
    }
    if (node.children.empty()) {
        out += " />";
        return;
    }
    out += '>';
    for (const XmlNode& child : node.children)
        write(child, out);
    out += "</";
    out += node.name;
    out += '>';
}

} // namespace

XmlDocument parseXml(std::string_view text, bool ignoreWhite, const XmlLimits& limits)
{
    return Parser(text, ignoreWhite, limits).run();
}

std::string escapeXml(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        case '\'': out += "&apos;"; break;
        default: out += c;
        }
    }
    return out;
}

std::string unescapeXml(std::string_view text)
{
    static constexpr std::pair<std::string_view, char> named[] = {
        {"amp", '&'}, {"lt", '<'}, {"gt", '>'}, {"quot", '"'}, {"apos", '\''},
    };
    std::string out;
    out.reserve(text.size());
    size_t i = 0;
    while (i < text.size()) {
        if (text[i] == '&') {
            const size_t semi = text.find(';', i + 1);
            if (semi != std::string_view::npos && semi - i <= 12) {
                std::string_view body = text.substr(i + 1, semi - i - 1);
                const auto hit = std::find_if(std::begin(named), std::end(named), [&](const auto& n) { return n.first == body; });
                uint32_t cp = 0;
                if (hit != std::end(named)) {
                    out += hit->second;
                    i = semi + 1;
                    continue;
                }
                if (numericReference(body, cp)) {
                    appendUtf8(out, cp);
                    i = semi + 1;
                    continue;
                }
            }
        }
        out += text[i++];
    }
    return out;
}

std::string toXmlString(const XmlNode& node)
{
    std::string out;
    write(node, out);
    return out;
}

} // namespace swf::data
