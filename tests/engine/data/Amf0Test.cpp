#include "engine/data/Amf0.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace swf::data;

namespace {

AmfValue sample()
{
    AmfValue inner = AmfValue::makeObject();
    inner.members.emplace_back("deep", AmfValue::makeString(std::string(70000, 'x')));  // long string form
    AmfValue list;
    list.type = AmfValue::Type::StrictArray;
    list.elements = {AmfValue::makeNumber(1.5), AmfValue::makeNull(), AmfValue{}};
    AmfValue map;
    map.type = AmfValue::Type::EcmaArray;
    map.members.emplace_back("0", AmfValue::makeBoolean(true));
    AmfValue date;
    date.type = AmfValue::Type::Date;
    date.number = 1.2e12;
    date.timeZone = -60;
    AmfValue ref;
    ref.type = AmfValue::Type::Reference;
    ref.reference = 1;
    AmfValue typed;
    typed.type = AmfValue::Type::TypedObject;
    typed.text = "Point";
    typed.members.emplace_back("x", AmfValue::makeNumber(-0.0));

    AmfValue root = AmfValue::makeObject();
    root.members = {{"inner", inner}, {"list", list}, {"map", map}, {"when", date}, {"again", ref},
                    {"typed", typed}, {"nan", AmfValue::makeNumber(std::nan(""))}, {"name", AmfValue::makeString("中文")}};
    return root;
}

} // namespace

TEST(Amf0, EveryValueTypeRoundTrips)
{
    const AmfValue value = sample();
    std::vector<uint8_t> bytes;
    writeAmf0(value, bytes);
    size_t pos = 0;
    EXPECT_EQ(readAmf0(bytes, pos), value);
    EXPECT_EQ(pos, bytes.size());
}

TEST(Amf0, KnownEncodingOfASmallObject)
{
    AmfValue o = AmfValue::makeObject();
    o.members.emplace_back("a", AmfValue::makeNumber(1));
    std::vector<uint8_t> bytes;
    writeAmf0(o, bytes);
    const std::vector<uint8_t> expected = {0x03, 0x00, 0x01, 'a', 0x00, 0x3F, 0xF0, 0, 0, 0, 0, 0, 0, 0x00, 0x00, 0x09};
    EXPECT_EQ(bytes, expected);
}

// A remoting packet as the reference player sends it: two headers (the second with a
// null value) and two calls without arguments, each value after its byte length.
TEST(Amf0, RemotingPacketLayout)
{
    std::vector<AmfHeader> headers = {{"Required", true, AmfValue::makeString("value")},
                                      {"Duplicate", true, AmfValue::makeNull()}};
    AmfValue noArgs;
    noArgs.type = AmfValue::Type::StrictArray;
    std::vector<AmfMessage> messages = {{"test.method", "/1", noArgs}, {"test.method", "/2", noArgs}};
    const std::vector<uint8_t> expected = {
        0x00, 0x00, 0x00, 0x02, 0x00, 0x08, 'R', 'e', 'q', 'u', 'i', 'r', 'e', 'd', 0x01, 0x00, 0x00, 0x00, 0x08,
        0x02, 0x00, 0x05, 'v', 'a', 'l', 'u', 'e', 0x00, 0x09, 'D', 'u', 'p', 'l', 'i', 'c', 'a', 't', 'e', 0x01,
        0x00, 0x00, 0x00, 0x01, 0x05, 0x00, 0x02, 0x00, 0x0B, 't', 'e', 's', 't', '.', 'm', 'e', 't', 'h', 'o',
        'd', 0x00, 0x02, '/', '1', 0x00, 0x00, 0x00, 0x05, 0x0A, 0x00, 0x00, 0x00, 0x00, 0x00, 0x0B, 't', 'e',
        's', 't', '.', 'm', 'e', 't', 'h', 'o', 'd', 0x00, 0x02, '/', '2', 0x00, 0x00, 0x00, 0x05, 0x0A, 0x00,
        0x00, 0x00, 0x00};
    EXPECT_EQ(writeAmfPacket(headers, messages), expected);
    // An ECMA array carries its length before its members, whatever their number.
    AmfValue mixed;
    mixed.type = AmfValue::Type::EcmaArray;
    mixed.count = 1;
    mixed.members = {{"0", AmfValue::makeNull()}, {"k", AmfValue::makeNull()}};
    std::vector<uint8_t> bytes;
    writeAmf0(mixed, bytes);
    EXPECT_EQ(std::vector<uint8_t>(bytes.begin(), bytes.begin() + 5), (std::vector<uint8_t>{0x08, 0, 0, 0, 1}));
    // Dates and XML documents take places in the reference table.
    const std::vector<uint8_t> dateThenRef = {0x0A, 0, 0, 0, 2, 0x0B, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x07, 0x00, 0x01};
    size_t pos = 0;
    EXPECT_EQ(readAmf0(dateThenRef, pos).elements[1].reference, 1);
}

TEST(Amf0, TruncatedLyingAndHostileDataIsAnError)
{
    std::vector<uint8_t> good;
    writeAmf0(sample(), good);
    // Every truncation fails cleanly.
    for (size_t n = 0; n < good.size(); n += 97) {
        std::vector<uint8_t> cut(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(n));
        size_t pos = 0;
        EXPECT_THROW(readAmf0(cut, pos), AmfError) << n;
    }
    const std::vector<std::vector<uint8_t>> bad = {
        {0x0A, 0xFF, 0xFF, 0xFF, 0xFF},  // strict array longer than the data
        {0x07, 0x00, 0x00},              // reference before any object
        {0x42},                          // unknown marker
        {0x0C, 0xFF, 0xFF, 0xFF, 0xFF},  // long string past the end
    };
    for (const auto& b : bad) {
        size_t pos = 0;
        EXPECT_THROW(readAmf0(b, pos), AmfError);
    }
    std::vector<uint8_t> nested;
    for (int i = 0; i < 200; ++i)
        nested.push_back(0x0A), nested.insert(nested.end(), {0, 0, 0, 1});
    nested.push_back(0x05);
    size_t pos = 0;
    EXPECT_THROW(readAmf0(nested, pos), AmfError);
}

TEST(Amf0, SharedObjectFileRoundTripsAndHasTheKnownHeader)
{
    SolFile file;
    file.name = "scores";
    file.members = {{"best", AmfValue::makeNumber(42)}, {"who", AmfValue::makeString("ann")}};
    const std::vector<uint8_t> bytes = writeSol(file);
    ASSERT_GE(bytes.size(), 16u);
    EXPECT_EQ(bytes[0], 0x00);
    EXPECT_EQ(bytes[1], 0xBF);
    EXPECT_EQ(std::string(bytes.begin() + 6, bytes.begin() + 10), "TCSO");
    const SolFile back = readSol(bytes);
    EXPECT_EQ(back.name, "scores");
    ASSERT_EQ(back.members.size(), 2u);
    EXPECT_EQ(back.members[1].second, AmfValue::makeString("ann"));

    std::vector<uint8_t> wrongLength = bytes;
    wrongLength.pop_back();
    EXPECT_THROW(readSol(wrongLength), AmfError);
    std::vector<uint8_t> notSol = bytes;
    notSol[6] = 'X';
    EXPECT_THROW(readSol(notSol), AmfError);
}
