#include "engine/avm1/Disassembler.h"

#include "engine/avm1/ActionPayloads.h"
#include "engine/avm1/Actions.h"
#include "engine/format/Error.h"
#include "engine/format/Reader.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <ostream>
#include <vector>

namespace swf::avm1 {

namespace {

// Deeper nesting than any compiler makes; past it a hostile movie cannot grow the
// native stack.
constexpr int kMaxNesting = 64;

std::string hexOffset(size_t offset)
{
    char text[24];
    std::snprintf(text, sizeof text, "%04zx", offset);
    return text;
}

std::string quoted(std::string_view text)
{
    std::string s = "\"";
    for (char c : text) {
        auto u = static_cast<unsigned char>(c);
        switch (c) {
        case '"': s += "\\\""; break;
        case '\\': s += "\\\\"; break;
        case '\n': s += "\\n"; break;
        case '\r': s += "\\r"; break;
        case '\t': s += "\\t"; break;
        default:
            if (u < 0x20 || u == 0x7F) {
                char esc[8];
                std::snprintf(esc, sizeof esc, "\\x%02x", u);
                s += esc;
            } else {
                s += c;
            }
        }
    }
    return s + "\"";
}

std::string numberText(double v)
{
    if (std::isnan(v))
        return "NaN";
    if (std::isinf(v))
        return v < 0 ? "-Infinity" : "Infinity";
    char text[40];
    auto result = std::to_chars(text, text + sizeof text, v);
    return std::string(text, result.ptr);
}

class Lister {
public:
    Lister(std::span<const uint8_t> code, std::ostream& out, const DisassemblyOptions& options)
        : code_(code), out_(out), options_(options)
    {
    }

    // Lists the records in [begin, end); false when it had to stop early.
    bool list(size_t begin, size_t end, int depth);

private:
    std::string prefix(int depth) const
    {
        return options_.indent + std::string(static_cast<size_t>(depth) * 2, ' ');
    }
    std::string branchTarget(size_t next, int16_t offset) const;
    std::string operands(const ActionInfo& info, std::span<const uint8_t> payload);
    std::string pushOperands(std::span<const uint8_t> payload) const;
    std::string constantText(unsigned index) const;
    // Lists a body of `size` bytes starting at `start` under a heading; false when the
    // listing stopped inside it. Moves `after` past the body.
    bool body(const char* heading, size_t start, size_t size, size_t end, int depth, size_t& after);

    std::span<const uint8_t> code_;
    std::ostream& out_;
    const DisassemblyOptions& options_;
    std::vector<std::string> constants_;  // the pool in effect where the listing is
    bool havePool_ = false;
};

std::string Lister::branchTarget(size_t next, int16_t offset) const
{
    auto target = static_cast<std::ptrdiff_t>(next) + offset;
    std::string s = "-> ";
    s += target < 0 ? std::string("before the start") : hexOffset(static_cast<size_t>(target));
    if (target > static_cast<std::ptrdiff_t>(code_.size()))
        s += " (past the end)";
    return s + " (" + (offset >= 0 ? "+" : "") + std::to_string(offset) + ")";
}

std::string Lister::constantText(unsigned index) const
{
    std::string s = "constant " + std::to_string(index);
    if (havePool_) {
        if (index < constants_.size())
            s += " " + quoted(constants_[index]);
        else
            s += " (outside the pool)";
    }
    return s;
}

std::string Lister::pushOperands(std::span<const uint8_t> payload) const
{
    PushReader reader(payload);
    PushItem item;
    std::string s;
    try {
        while (reader.next(item)) {
            if (!s.empty())
                s += ", ";
            switch (item.type) {
            case PushType::String: s += "string " + quoted(item.text); break;
            case PushType::Float: s += "float " + numberText(item.number); break;
            case PushType::Null: s += "null"; break;
            case PushType::Undefined: s += "undefined"; break;
            case PushType::Register: s += "register " + std::to_string(item.index); break;
            case PushType::Boolean: s += item.boolean ? "boolean true" : "boolean false"; break;
            case PushType::Double: s += "double " + numberText(item.number); break;
            case PushType::Integer: s += "integer " + numberText(item.number); break;
            case PushType::Constant8:
            case PushType::Constant16: s += constantText(item.index); break;
            }
        }
    } catch (const FormatError&) {
        if (!s.empty())
            s += ", ";
        s += "<malformed value at payload byte " + std::to_string(reader.position()) + ">";
    }
    return s;
}

const char* urlMethod(uint8_t flags)
{
    switch (flags & 3) {
    case 1: return "GET";
    case 2: return "POST";
    default: return "no variables";
    }
}

std::string functionFlags(uint16_t flags)
{
    static constexpr std::pair<uint16_t, const char*> kNames[] = {
        {0x01, "preload this"}, {0x02, "suppress this"},   {0x04, "preload arguments"},
        {0x08, "suppress arguments"}, {0x10, "preload super"}, {0x20, "suppress super"},
        {0x40, "preload _root"}, {0x80, "preload _parent"}, {0x100, "preload _global"},
    };
    std::string s;
    for (auto [bit, name] : kNames) {
        if (flags & bit)
            s += std::string(s.empty() ? "" : ", ") + name;
    }
    return s;
}

std::string Lister::operands(const ActionInfo& info, std::span<const uint8_t> payload)
{
    ByteReader r(payload);
    switch (info.payload) {
    case PayloadKind::None:
        return payload.empty() ? std::string() : "(" + std::to_string(payload.size()) + " unused payload bytes)";
    case PayloadKind::Frame: {
        unsigned index = r.u16();
        return std::to_string(index) + " (frame " + std::to_string(index + 1) + ")";
    }
    case PayloadKind::UrlAndTarget: {
        std::string url = r.cstring();
        std::string target = r.cstring();
        return "url " + quoted(url) + " target " + quoted(target);
    }
    case PayloadKind::FrameAndSkip: {
        unsigned index = r.u16();
        unsigned skip = r.u8();
        return "frame " + std::to_string(index + 1) + ", else skip " + std::to_string(skip);
    }
    case PayloadKind::String: return quoted(r.cstring());
    case PayloadKind::Skip: return "else skip " + std::to_string(r.u8());
    case PayloadKind::Push: return pushOperands(payload);
    case PayloadKind::Branch: return "";  // written by the caller, which knows the offset
    case PayloadKind::UrlFlags: {
        uint8_t flags = r.u8();
        std::string s = urlMethod(flags);
        if (flags & 0x40)
            s += ", into a clip";
        if (flags & 0x80)
            s += ", load variables";
        return s;
    }
    case PayloadKind::GotoFrame2: {
        uint8_t flags = r.u8();
        std::string s = flags & 1 ? "and play" : "and stop";
        if (flags & 2)
            s += ", scene bias " + std::to_string(r.u16());
        return s;
    }
    case PayloadKind::Register: return "register " + std::to_string(r.u8());
    case PayloadKind::ConstantPool: {
        unsigned count = r.u16();
        constants_.clear();
        havePool_ = true;
        std::string s = std::to_string(count) + (count == 1 ? " entry" : " entries");
        for (unsigned i = 0; i < count; ++i) {
            if (r.atEnd()) {
                s += " <the payload ends after " + std::to_string(i) + ">";
                break;
            }
            constants_.push_back(r.cstring());
            s += "\n" + std::to_string(i) + ": " + quoted(constants_.back());
        }
        return s;
    }
    case PayloadKind::BlockSize: return "size " + std::to_string(r.u16());
    case PayloadKind::Function:
    case PayloadKind::Function2: {
        const bool v2 = info.payload == PayloadKind::Function2;
        FunctionHeader h = readFunctionHeader(payload, v2);
        std::string s = h.name.empty() ? std::string("(anonymous)") : quoted(h.name);
        s += " (";
        for (size_t i = 0; i < h.params.size(); ++i) {
            if (i)
                s += ", ";
            if (v2 && h.paramRegisters[i] != 0)
                s += "register " + std::to_string(h.paramRegisters[i]) + " ";
            s += h.params[i];
        }
        s += ")";
        if (v2) {
            s += " registers " + std::to_string(h.registerCount);
            if (std::string f = functionFlags(h.flags); !f.empty())
                s += ", " + f;
        }
        return s + ", body " + std::to_string(h.codeSize) + " bytes";
    }
    case PayloadKind::Try: {
        TryHeader h = readTryHeader(payload);
        std::string s = "try " + std::to_string(h.trySize) + " bytes";
        if (h.hasCatch) {
            s += ", catch " + std::to_string(h.catchSize) + " bytes into ";
            s += h.catchInRegister ? "register " + std::to_string(h.catchRegister) : quoted(h.catchName);
        }
        if (h.hasFinally)
            s += ", finally " + std::to_string(h.finallySize) + " bytes";
        return s;
    }
    case PayloadKind::Flag: return std::to_string(r.u8());
    }
    return "";
}

bool Lister::body(const char* heading, size_t start, size_t size, size_t end, int depth, size_t& after)
{
    size_t stop = start + size;
    if (stop > end) {
        out_ << prefix(depth) << heading << " (claims " << size << " bytes, " << (end - start)
             << " remain; listed to the end)\n";
        stop = end;
    } else {
        out_ << prefix(depth) << heading << '\n';
    }
    after = stop;
    return list(start, stop, depth + 1);
}

bool Lister::list(size_t begin, size_t end, int depth)
{
    if (depth > kMaxNesting) {
        out_ << prefix(depth) << "stopped at " << hexOffset(begin) << ": bodies nested more than " << kMaxNesting
             << " deep\n";
        return false;
    }
    size_t pos = begin;
    while (pos < end) {
        const size_t offset = pos;
        const uint8_t code = code_[pos];
        const ActionInfo* info = actionInfo(code);
        size_t at = pos + 1;
        std::span<const uint8_t> payload;
        if (code >= 0x80) {
            if (end - at < 2) {
                out_ << prefix(depth) << "stopped at " << hexOffset(offset) << ": action 0x" << std::hex
                     << static_cast<int>(code) << std::dec << " is cut off before its length\n";
                return false;
            }
            size_t length = code_[at] | (size_t{code_[at + 1]} << 8);
            at += 2;
            if (length > end - at) {
                out_ << prefix(depth) << "stopped at " << hexOffset(offset) << ": "
                     << (info ? info->name : "an unknown action") << " claims " << length << " bytes, "
                     << (end - at) << " remain\n";
                return false;
            }
            payload = code_.subspan(at, length);
            at += length;
        }
        std::string line = prefix(depth) + hexOffset(offset) + "  ";
        if (!info) {
            char name[48];
            std::snprintf(name, sizeof name, "Unknown 0x%02x", code);
            line += name;
            if (code >= 0x80)
                line += " (" + std::to_string(payload.size()) + " bytes)";
            out_ << line << '\n';
            pos = at;
            continue;
        }
        line += info->name;
        std::string text;
        try {
            if (info->payload == PayloadKind::Branch) {
                ByteReader r(payload);
                text = branchTarget(at, r.s16());
            } else {
                text = operands(*info, payload);
            }
        } catch (const FormatError&) {
            text = "<malformed payload of " + std::to_string(payload.size()) + " bytes>";
            out_ << line << ' ' << text << '\n';
            pos = at;
            continue;
        }
        if (!text.empty())
            line += ' ' + text;
        // Constant pool entries go one a line under the action.
        for (size_t nl = line.find('\n'); nl != std::string::npos; nl = line.find('\n', nl + 1))
            line.insert(nl + 1, prefix(depth) + "        ");
        out_ << line << '\n';
        pos = at;

        // Bodies that follow the record belong to it: list them indented, then go on
        // after them as the interpreter does.
        if (info->payload == PayloadKind::Function || info->payload == PayloadKind::Function2) {
            FunctionHeader h = readFunctionHeader(payload, info->payload == PayloadKind::Function2);
            // A function keeps the pool it was defined with; its own pool stays inside.
            auto saved = constants_;
            bool savedHave = havePool_;
            bool ok = body("body:", at, h.codeSize, end, depth, pos);
            constants_ = std::move(saved);
            havePool_ = savedHave;
            if (!ok)
                return false;
        } else if (info->payload == PayloadKind::BlockSize && code == static_cast<uint8_t>(ActionCode::With)) {
            ByteReader r(payload);
            if (!body("with:", at, r.u16(), end, depth, pos))
                return false;
        } else if (info->payload == PayloadKind::Try) {
            TryHeader h = readTryHeader(payload);
            if (!body("try:", at, h.trySize, end, depth, pos))
                return false;
            if (h.hasCatch || h.catchSize) {
                if (!body("catch:", pos, h.catchSize, end, depth, pos))
                    return false;
            }
            if (h.hasFinally || h.finallySize) {
                if (!body("finally:", pos, h.finallySize, end, depth, pos))
                    return false;
            }
        }
    }
    return true;
}

} // namespace

bool disassemble(std::span<const uint8_t> code, std::ostream& out, const DisassemblyOptions& options)
{
    Lister lister(code, out, options);
    return lister.list(0, code.size(), 0);
}

} // namespace swf::avm1
