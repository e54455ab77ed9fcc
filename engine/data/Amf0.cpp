#include "engine/data/Amf0.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace swf::data {

namespace {

enum Marker : uint8_t {
    kNumber = 0x00, kBoolean = 0x01, kString = 0x02, kObject = 0x03, kNull = 0x05, kUndefined = 0x06,
    kReference = 0x07, kEcmaArray = 0x08, kObjectEnd = 0x09, kStrictArray = 0x0A, kDate = 0x0B,
    kLongString = 0x0C, kXml = 0x0F, kTypedObject = 0x10,
};

void put16(std::vector<uint8_t>& out, uint16_t v)
{
    out.push_back(static_cast<uint8_t>(v >> 8));
    out.push_back(static_cast<uint8_t>(v));
}

void put32(std::vector<uint8_t>& out, uint32_t v)
{
    put16(out, static_cast<uint16_t>(v >> 16));
    put16(out, static_cast<uint16_t>(v));
}

void putDouble(std::vector<uint8_t>& out, double d)
{
    const auto bits = std::bit_cast<uint64_t>(d);
    put32(out, static_cast<uint32_t>(bits >> 32));
    put32(out, static_cast<uint32_t>(bits));
}

// A name or short string: 16-bit length, then UTF-8 bytes (longer text is cut, which
// only names could be; values switch to the long form).
void putShortText(std::vector<uint8_t>& out, std::string_view s)
{
    const size_t n = std::min<size_t>(s.size(), 0xFFFF);
    put16(out, static_cast<uint16_t>(n));
    out.insert(out.end(), s.begin(), s.begin() + static_cast<std::ptrdiff_t>(n));
}

void putLongText(std::vector<uint8_t>& out, std::string_view s)
{
    put32(out, static_cast<uint32_t>(s.size()));
    out.insert(out.end(), s.begin(), s.end());
}

void putMembers(std::vector<uint8_t>& out, const std::vector<std::pair<std::string, AmfValue>>& members)
{
    for (const auto& [name, value] : members) {
        putShortText(out, name);
        writeAmf0(value, out);
    }
    put16(out, 0);
    out.push_back(kObjectEnd);
}

class Reader {
public:
    Reader(std::span<const uint8_t> data, size_t& pos, const AmfLimits& limits) : data_(data), pos_(pos), limits_(limits) {}

    uint8_t u8()
    {
        need(1);
        return data_[pos_++];
    }
    uint16_t u16()
    {
        need(2);
        const uint16_t v = static_cast<uint16_t>(data_[pos_] << 8 | data_[pos_ + 1]);
        pos_ += 2;
        return v;
    }
    uint32_t u32()
    {
        const uint32_t hi = u16();
        return hi << 16 | u16();
    }
    double f64()
    {
        const uint64_t hi = u32();
        return std::bit_cast<double>(hi << 32 | u32());
    }
    std::string bytes(size_t n)
    {
        need(n);
        std::string s(reinterpret_cast<const char*>(data_.data() + pos_), n);
        pos_ += n;
        return s;
    }
    std::string shortText() { return bytes(u16()); }

    AmfValue value(size_t depth)
    {
        if (depth > limits_.maxDepth)
            throw AmfError{"values nested too deeply"};
        if (++count_ > limits_.maxValues)
            throw AmfError{"too many values"};
        AmfValue v;
        const uint8_t marker = u8();
        switch (marker) {
        case kNumber: v.type = AmfValue::Type::Number; v.number = f64(); break;
        case kBoolean: v.type = AmfValue::Type::Boolean; v.boolean = u8() != 0; break;
        case kString: v.type = AmfValue::Type::String; v.text = shortText(); break;
        case kLongString: v.type = AmfValue::Type::String; v.text = bytes(u32()); break;
        case kXml:
            // XML documents and dates are objects to the player, with places in the
            // reference table like any other.
            v.type = AmfValue::Type::Xml;
            ++objects_;
            v.text = bytes(u32());
            break;
        case kNull: v.type = AmfValue::Type::Null; break;
        case kUndefined: v.type = AmfValue::Type::Undefined; break;
        case kReference:
            v.type = AmfValue::Type::Reference;
            v.reference = u16();
            if (v.reference >= objects_)
                throw AmfError{"reference to an object not read yet"};
            break;
        case kObject:
            v.type = AmfValue::Type::Object;
            ++objects_;
            members(v, depth);
            break;
        case kTypedObject:
            v.type = AmfValue::Type::TypedObject;
            ++objects_;
            v.text = shortText();
            members(v, depth);
            break;
        case kEcmaArray:
            v.type = AmfValue::Type::EcmaArray;
            ++objects_;
            v.count = u32();  // a hint; the members end with the end marker
            members(v, depth);
            break;
        case kStrictArray: {
            v.type = AmfValue::Type::StrictArray;
            ++objects_;
            const uint32_t n = u32();
            if (n > data_.size() - pos_)  // every element takes at least a byte
                throw AmfError{"array longer than the data"};
            v.elements.reserve(n);
            for (uint32_t i = 0; i < n; ++i)
                v.elements.push_back(value(depth + 1));
            break;
        }
        case kDate:
            v.type = AmfValue::Type::Date;
            ++objects_;
            v.number = f64();
            v.timeZone = static_cast<int16_t>(u16());
            break;
        default:
            throw AmfError{"unknown value type " + std::to_string(marker)};
        }
        return v;
    }

private:
    void need(size_t n) const
    {
        if (n > data_.size() - pos_)
            throw AmfError{"data ends inside a value"};
    }

    void members(AmfValue& v, size_t depth)
    {
        for (;;) {
            std::string name = shortText();
            if (name.empty()) {
                need(1);
                if (data_[pos_] == kObjectEnd) {
                    ++pos_;
                    return;
                }
            }
            AmfValue member = value(depth + 1);
            v.members.emplace_back(std::move(name), std::move(member));
        }
    }

    std::span<const uint8_t> data_;
    size_t& pos_;
    AmfLimits limits_;
    size_t count_ = 0;
    uint16_t objects_ = 0;
};

constexpr uint8_t kSolSignature[] = {'T', 'C', 'S', 'O', 0x00, 0x04, 0x00, 0x00, 0x00, 0x00};

} // namespace

bool operator==(const AmfValue& a, const AmfValue& b)
{
    if (a.type != b.type)
        return false;
    switch (a.type) {
    case AmfValue::Type::Number: return std::bit_cast<uint64_t>(a.number) == std::bit_cast<uint64_t>(b.number);
    case AmfValue::Type::Boolean: return a.boolean == b.boolean;
    case AmfValue::Type::String:
    case AmfValue::Type::Xml: return a.text == b.text;
    case AmfValue::Type::Reference: return a.reference == b.reference;
    case AmfValue::Type::Date: return a.number == b.number && a.timeZone == b.timeZone;
    case AmfValue::Type::StrictArray: return a.elements == b.elements;
    case AmfValue::Type::Object:
    case AmfValue::Type::EcmaArray:
    case AmfValue::Type::TypedObject: return a.text == b.text && a.members == b.members;
    case AmfValue::Type::Null:
    case AmfValue::Type::Undefined: return true;
    }
    return false;
}

void writeAmf0(const AmfValue& v, std::vector<uint8_t>& out)
{
    switch (v.type) {
    case AmfValue::Type::Number:
        out.push_back(kNumber);
        putDouble(out, v.number);
        break;
    case AmfValue::Type::Boolean:
        out.push_back(kBoolean);
        out.push_back(v.boolean ? 1 : 0);
        break;
    case AmfValue::Type::String:
        if (v.text.size() <= 0xFFFF) {
            out.push_back(kString);
            putShortText(out, v.text);
        } else {
            out.push_back(kLongString);
            putLongText(out, v.text);
        }
        break;
    case AmfValue::Type::Xml:
        out.push_back(kXml);
        putLongText(out, v.text);
        break;
    case AmfValue::Type::Null: out.push_back(kNull); break;
    case AmfValue::Type::Undefined: out.push_back(kUndefined); break;
    case AmfValue::Type::Reference:
        out.push_back(kReference);
        put16(out, v.reference);
        break;
    case AmfValue::Type::Object:
        out.push_back(kObject);
        putMembers(out, v.members);
        break;
    case AmfValue::Type::TypedObject:
        out.push_back(kTypedObject);
        putShortText(out, v.text);
        putMembers(out, v.members);
        break;
    case AmfValue::Type::EcmaArray:
        out.push_back(kEcmaArray);
        put32(out, v.count);
        putMembers(out, v.members);
        break;
    case AmfValue::Type::StrictArray:
        out.push_back(kStrictArray);
        put32(out, static_cast<uint32_t>(v.elements.size()));
        for (const AmfValue& e : v.elements)
            writeAmf0(e, out);
        break;
    case AmfValue::Type::Date:
        out.push_back(kDate);
        putDouble(out, v.number);
        put16(out, static_cast<uint16_t>(v.timeZone));
        break;
    }
}

AmfValue readAmf0(std::span<const uint8_t> data, size_t& pos, const AmfLimits& limits)
{
    return Reader(data, pos, limits).value(0);
}

namespace {

// A value after its length in bytes, as packets carry them.
void putSizedValue(std::vector<uint8_t>& out, const AmfValue& value)
{
    std::vector<uint8_t> bytes;
    writeAmf0(value, bytes);
    put32(out, static_cast<uint32_t>(bytes.size()));
    out.insert(out.end(), bytes.begin(), bytes.end());
}

} // namespace

std::vector<uint8_t> writeAmfPacket(const std::vector<AmfHeader>& headers, const std::vector<AmfMessage>& messages)
{
    std::vector<uint8_t> out;
    put16(out, 0);  // AMF0
    put16(out, static_cast<uint16_t>(std::min<size_t>(headers.size(), 0xFFFF)));
    for (size_t i = 0; i < headers.size() && i < 0xFFFF; ++i) {
        putShortText(out, headers[i].name);
        out.push_back(headers[i].mustUnderstand ? 1 : 0);
        putSizedValue(out, headers[i].value);
    }
    put16(out, static_cast<uint16_t>(std::min<size_t>(messages.size(), 0xFFFF)));
    for (size_t i = 0; i < messages.size() && i < 0xFFFF; ++i) {
        putShortText(out, messages[i].target);
        putShortText(out, messages[i].response);
        putSizedValue(out, messages[i].body);
    }
    return out;
}

std::vector<uint8_t> writeSol(const SolFile& file)
{
    std::vector<uint8_t> body(std::begin(kSolSignature), std::end(kSolSignature));
    putShortText(body, file.name);
    put32(body, 0);  // AMF0
    for (const auto& [name, value] : file.members) {
        putShortText(body, name);
        writeAmf0(value, body);
        body.push_back(0);
    }
    std::vector<uint8_t> out{0x00, 0xBF};
    put32(out, static_cast<uint32_t>(body.size()));
    out.insert(out.end(), body.begin(), body.end());
    return out;
}

SolFile readSol(std::span<const uint8_t> data, const AmfLimits& limits)
{
    if (data.size() < 6 || data[0] != 0x00 || data[1] != 0xBF)
        throw AmfError{"not a shared-object file"};
    const uint32_t length = static_cast<uint32_t>(data[2]) << 24 | static_cast<uint32_t>(data[3]) << 16
        | static_cast<uint32_t>(data[4]) << 8 | data[5];
    if (length != data.size() - 6)
        throw AmfError{"shared-object file has the wrong length"};
    std::span<const uint8_t> body = data.subspan(6);
    if (body.size() < sizeof kSolSignature || std::memcmp(body.data(), kSolSignature, sizeof kSolSignature) != 0)
        throw AmfError{"not a shared-object file"};
    size_t pos = sizeof kSolSignature;
    SolFile file;
    Reader header(body, pos, limits);
    file.name = header.shortText();
    if (header.u32() != 0)
        throw AmfError{"shared object is not in AMF0"};
    // Each member reads on its own: references in shared-object files count within a
    // member.
    while (pos < body.size()) {
        Reader member(body, pos, limits);
        std::string name = member.shortText();
        AmfValue value = member.value(0);
        if (member.u8() != 0)
            throw AmfError{"shared-object member not terminated"};
        file.members.emplace_back(std::move(name), std::move(value));
        if (file.members.size() > limits.maxValues)
            throw AmfError{"too many members"};
    }
    return file;
}

} // namespace swf::data
