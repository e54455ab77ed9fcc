#include "engine/avm1/Loading.h"

#include "engine/avm1/ClipHost.h"
#include "engine/avm1/LoadHost.h"
#include "engine/avm1/Machine.h"
#include "engine/avm1/MovieClipObject.h"
#include "engine/avm1/StringUtil.h"
#include "engine/data/UrlVariables.h"

#include <algorithm>

namespace swf::avm1 {

namespace {

// Files a script loads are capped: a text or movie larger than this is a failed load.
constexpr size_t kMaxLoadedBytes = size_t{64} << 20;

std::string utf16ToUtf8(std::span<const uint8_t> bytes, bool bigEndian)
{
    std::string out;
    out.reserve(bytes.size());
    for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
        char32_t unit = bigEndian ? (bytes[i] << 8 | bytes[i + 1]) : (bytes[i + 1] << 8 | bytes[i]);
        if (unit >= 0xD800 && unit < 0xDC00 && i + 3 < bytes.size()) {
            char32_t low = bigEndian ? (bytes[i + 2] << 8 | bytes[i + 3]) : (bytes[i + 3] << 8 | bytes[i + 2]);
            if (low >= 0xDC00 && low < 0xE000) {
                unit = 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
                i += 2;
            }
        }
        out += encodeUtf8(unit);
    }
    return out;
}

// Runs a script callback; a throw nothing catches ends that callback only, as it ends
// a frame script.
template <class F>
void guarded(Machine& m, F&& callback)
{
    try {
        callback();
    } catch (const ScriptThrow& thrown) {
        m.reportUncaught(thrown.value);
    }
}

} // namespace

bool LoadQueue::cancel(Object* target)
{
    const size_t before = pending_.size();
    std::erase_if(pending_, [target](const LoadRequest& r) { return r.target == target; });
    return pending_.size() != before;
}

bool LoadQueue::pendingFor(const Object* target) const
{
    return std::ranges::any_of(pending_, [target](const LoadRequest& r) { return r.target == target; });
}

void LoadQueue::visitEdges(Visitor& visitor) const
{
    for (const LoadRequest& r : pending_) {
        visitor.visit(r.target);
        visitor.visit(r.loader);
    }
}

std::string decodeLoadedText(std::span<const uint8_t> bytes)
{
    if (bytes.size() >= 3 && bytes[0] == 0xEF && bytes[1] == 0xBB && bytes[2] == 0xBF)
        return std::string(bytes.begin() + 3, bytes.end());
    if (bytes.size() >= 2 && bytes[0] == 0xFF && bytes[1] == 0xFE)
        return utf16ToUtf8(bytes.subspan(2), false);
    if (bytes.size() >= 2 && bytes[0] == 0xFE && bytes[1] == 0xFF)
        return utf16ToUtf8(bytes.subspan(2), true);
    return std::string(bytes.begin(), bytes.end());
}

namespace {

// The byte counts of a load stay on the object: scripts cannot delete them.
void putByteCount(Object* target, std::string_view name, double value)
{
    Property& p = target->ensure(name);
    p.value = Value(value);
    p.flags |= PropertyFlag::DontDelete;
}

} // namespace

void startTextLoad(Machine& m, Object* target, const std::string& url)
{
    m.setMember(Value(target), "loaded", Value(false));
    putByteCount(target, "_bytesLoaded", 0);
    m.loads().cancel(target);
    m.loads().add({LoadRequest::Kind::Text, target, nullptr, url, -1});
}

Value defaultOnData(Machine& m, Value self, const Value& text, const char* parser)
{
    if (!self.asObject())
        return Value();
    if (text.isUndefined()) {
        const Value failed(false);
        m.callMethod(self, "onLoad", std::span(&failed, 1));
        return Value();
    }
    const Value source(m.toString(text));
    m.callMethod(self, parser, std::span(&source, 1));
    m.setMember(self, "loaded", Value(true));
    const Value succeeded(true);
    m.callMethod(self, "onLoad", std::span(&succeeded, 1));
    return Value();
}

Value loadTextMethod(Machine& m, Value self, std::span<const Value> args)
{
    Object* object = self.asObject();
    if (!object || args.empty())
        return Value(false);
    startTextLoad(m, object, m.toString(args[0]));
    return Value(true);
}

Value sendAndLoadTextMethod(Machine& m, Value self, std::span<const Value> args)
{
    Object* target = args.size() > 1 ? args[1].asObject() : nullptr;
    if (!self.asObject() || args.empty() || !target)
        return Value(false);
    startTextLoad(m, target, m.toString(args[0]));
    return Value(true);
}

void finishTextLoad(Machine& m, Object* target, const std::optional<std::vector<uint8_t>>& bytes)
{
    Value text;
    if (bytes) {
        const auto size = static_cast<double>(bytes->size());
        putByteCount(target, "_bytesLoaded", size);
        putByteCount(target, "_bytesTotal", size);
        text = Value(decodeLoadedText(*bytes));
    }
    guarded(m, [&] { m.callMethod(Value(target), "onData", std::span(&text, 1)); });
}

void setVariablesFrom(Machine& m, Object* target, const std::string& text)
{
    for (const auto& [name, value] : data::decodeUrlVariables(text)) {
        if (!name.empty())
            m.setMember(Value(target), name, Value(value));
    }
}

void dispatchLoads(Machine& m)
{
    LoadHost* host = m.loadHost();
    // Handlers may start further loads: those wait for the next frame.
    std::vector<LoadRequest> due = m.loads().takeAll();
    RootedValues keep(m);
    for (const LoadRequest& r : due) {
        keep.push_back(Value(r.target));
        keep.push_back(Value(r.loader));
    }
    for (const LoadRequest& request : due) {
        std::optional<std::vector<uint8_t>> bytes;
        if (request.kind == LoadRequest::Kind::ClipInit) {
            guarded(m, [&] { finishClipInit(m, request); });
            continue;
        }
        if (host && !request.url.empty())
            bytes = host->readFile(request.url);
        if (bytes && bytes->size() > kMaxLoadedBytes)
            bytes.reset();
        switch (request.kind) {
        case LoadRequest::Kind::Text:
            finishTextLoad(m, request.target, bytes);
            break;
        case LoadRequest::Kind::Variables:
            if (bytes && request.target) {
                const std::string text = decodeLoadedText(*bytes);
                guarded(m, [&] {
                    setVariablesFrom(m, request.target, text);
                    // A clip that loaded variables hears of it through its data
                    // event and onData.
                    if (ClipHost* clip = clipHost(request.target))
                        clip->dataLoaded();
                    else
                        m.callMethod(Value(request.target), "onData", {});
                });
            }
            break;
        case LoadRequest::Kind::Clip:
            guarded(m, [&] { finishClipLoad(m, request, bytes); });
            break;
        case LoadRequest::Kind::ClipInit:
            break;
        }
    }
}

} // namespace swf::avm1
