// String actions: comparison, length, extraction, joining, character codes. The MB
// forms count characters of UTF-8 text; the plain ones count bytes.

#include "engine/avm1/Interpreter.h"
#include "engine/avm1/StringUtil.h"

#include <algorithm>
#include <cmath>

namespace swf::avm1 {

namespace {

// A script doubling a string in a loop reaches gigabytes long before its action budget
// runs out, copying the whole string at every step. Past this length the script run
// ends, as it would on running out of memory; below it, every KiB made costs an action
// of the frame's budget, so one frame's scripts copy at most about a gigabyte of text.
constexpr size_t kMaxStringBytes = size_t{1} << 20;

} // namespace

std::string Interpreter::concatenated(const std::string& a, const std::string& b)
{
    size_t size = a.size() + b.size();
    if (size > kMaxStringBytes)
        throw ScriptAbort{};
    for (size_t charged = 1024; charged <= size; charged += 1024)
        m_.spendAction();
    return a + b;
}

Interpreter::Outcome Interpreter::actionStringEquals(Context& ctx, Step&)
{
    std::string b = m_.toString(pop(ctx));
    std::string a = m_.toString(pop(ctx));
    pushValue(ctx, logical(a == b));
    return {};
}

Interpreter::Outcome Interpreter::actionStringLess(Context& ctx, Step&)
{
    std::string b = m_.toString(pop(ctx));
    std::string a = m_.toString(pop(ctx));
    pushValue(ctx, logical(a < b));
    return {};
}

Interpreter::Outcome Interpreter::actionStringGreater(Context& ctx, Step&)
{
    std::string b = m_.toString(pop(ctx));
    std::string a = m_.toString(pop(ctx));
    pushValue(ctx, logical(a > b));
    return {};
}

Interpreter::Outcome Interpreter::actionStringLength(Context& ctx, Step&)
{
    // Bytes before SWF 6; from then on, as the multibyte form, UTF-16 units.
    std::string s = m_.toString(pop(ctx));
    pushValue(ctx, Value(static_cast<double>(m_.version() >= 6 ? utf16Length(s) : s.size())));
    return {};
}

Interpreter::Outcome Interpreter::actionMBStringLength(Context& ctx, Step&)
{
    pushValue(ctx, Value(static_cast<double>(utf16Length(m_.toString(pop(ctx))))));
    return {};
}

void Interpreter::stringExtract(Context& ctx, bool multibyte)
{
    // Index (from 1) and count convert as 32-bit integers; a count below zero takes the
    // rest. From SWF 6 both forms count UTF-16 units, before it the plain one bytes.
    double count = toInt32(m_.toNumber(pop(ctx)));
    double index = toInt32(m_.toNumber(pop(ctx)));
    std::string s = m_.toString(pop(ctx));
    const bool units = multibyte || m_.version() >= 6;
    std::u16string chars = units ? utf8ToUtf16(s) : std::u16string(s.begin(), s.end());
    double start = std::max(0.0, index - 1);
    if (start >= static_cast<double>(chars.size())) {
        pushValue(ctx, Value(std::string()));
        return;
    }
    double n = count < 0 ? static_cast<double>(chars.size()) : count;
    auto piece = chars.substr(static_cast<size_t>(start), static_cast<size_t>(std::min(n, static_cast<double>(chars.size()))));
    if (units)
        pushValue(ctx, Value(utf16ToUtf8(piece)));
    else
        pushValue(ctx, Value(std::string(piece.begin(), piece.end())));
}

Interpreter::Outcome Interpreter::actionStringExtract(Context& ctx, Step&)
{
    stringExtract(ctx, false);
    return {};
}

Interpreter::Outcome Interpreter::actionMBStringExtract(Context& ctx, Step&)
{
    stringExtract(ctx, true);
    return {};
}

Interpreter::Outcome Interpreter::actionStringAdd(Context& ctx, Step&)
{
    std::string b = m_.toString(pop(ctx));
    std::string a = m_.toString(pop(ctx));
    pushValue(ctx, Value(concatenated(a, b)));
    return {};
}

Interpreter::Outcome Interpreter::actionToString(Context& ctx, Step&)
{
    pushValue(ctx, Value(m_.toString(pop(ctx))));
    return {};
}

// From SWF 6 text is UTF-8 and the plain forms read it so too.
void Interpreter::charToCode(Context& ctx, bool multibyte)
{
    std::string s = m_.toString(pop(ctx));
    if (s.empty())
        pushValue(ctx, Value(0.0));
    else if (multibyte || m_.version() >= 6) {
        // The first UTF-16 unit; half of a pair reads as the replacement character.
        char16_t c = utf8ToUtf16(s)[0];
        pushValue(ctx, Value(static_cast<double>(c >= 0xD800 && c <= 0xDFFF ? 0xFFFD : c)));
    }
    else
        pushValue(ctx, Value(static_cast<double>(static_cast<unsigned char>(s[0]))));
}

void Interpreter::codeToChar(Context& ctx, bool multibyte)
{
    double n = m_.toNumber(pop(ctx));
    const bool byte = !multibyte && m_.version() < 6;
    auto c = static_cast<char16_t>(static_cast<uint32_t>(toInt32(n)) & (byte ? 0xFF : 0xFFFF));
    if (byte)
        pushValue(ctx, Value(std::string(1, static_cast<char>(c))));
    else
        pushValue(ctx, Value(c == 0 ? std::string() : utf16ToUtf8(std::u16string(1, c))));
}

Interpreter::Outcome Interpreter::actionCharToAscii(Context& ctx, Step&)
{
    charToCode(ctx, false);
    return {};
}

Interpreter::Outcome Interpreter::actionMBCharToAscii(Context& ctx, Step&)
{
    charToCode(ctx, true);
    return {};
}

Interpreter::Outcome Interpreter::actionAsciiToChar(Context& ctx, Step&)
{
    codeToChar(ctx, false);
    return {};
}

Interpreter::Outcome Interpreter::actionMBAsciiToChar(Context& ctx, Step&)
{
    codeToChar(ctx, true);
    return {};
}

} // namespace swf::avm1
