#include "engine/avm1/Heap.h"

#include <pthread.h>

#include <algorithm>
#include <csetjmp>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace swf::avm1 {

namespace {

// Below this many objects, allocation never collects by itself; the movie's frame
// clock collects now and then anyway.
constexpr size_t kMinCollectThreshold = 100'000;

bool stressFromEnvironment()
{
    const char* v = std::getenv("LANFAN_GC_STRESS");
    return v && *v && std::strcmp(v, "0") != 0;
}

class MarkVisitor final : public Visitor {
public:
    // With `heap`, every object reached is checked to be one the heap holds: the
    // stress mode's way of naming a missing edge at the first collection after it.
    MarkVisitor(std::vector<Object*>& work, const std::function<bool(const Object*)>* holds) : work_(work), holds_(holds) {}
    using Visitor::visit;
    void visit(Object* object) override
    {
        if (!object)
            return;
        if (holds_ && !(*holds_)(object)) {
            std::fprintf(stderr, "lanfan: the collector reached a freed object %p\n", static_cast<void*>(object));
            std::abort();
        }
        work_.push_back(object);
    }

private:
    std::vector<Object*>& work_;
    const std::function<bool(const Object*)>* holds_;
};

// The highest address of the running thread's stack.
__attribute__((noinline)) const char* stackEnd()
{
    thread_local const char* end = [] {
        pthread_attr_t attr;
        const char* result = nullptr;
        if (pthread_getattr_np(pthread_self(), &attr) == 0) {
            void* addr = nullptr;
            size_t size = 0;
            if (pthread_attr_getstack(&attr, &addr, &size) == 0)
                result = static_cast<const char*>(addr) + size;
            pthread_attr_destroy(&attr);
        }
        return result;
    }();
    return end;
}

// Reads raw stack words, redzones included: not instrumented.
__attribute__((noinline, no_sanitize_address)) void scanWords(const char* begin, const char* end,
                                                               const std::vector<const Object*>& sorted,
                                                               std::vector<Object*>& work)
{
    if (sorted.empty())
        return;
    const auto low = reinterpret_cast<uintptr_t>(sorted.front());
    const auto high = reinterpret_cast<uintptr_t>(sorted.back());
    auto from = reinterpret_cast<uintptr_t>(begin) & ~uintptr_t(sizeof(void*) - 1);
    for (auto p = from; p + sizeof(void*) <= reinterpret_cast<uintptr_t>(end); p += sizeof(void*)) {
        auto word = *reinterpret_cast<const volatile uintptr_t*>(p);
        // Most words are no address of the heap's range at all.
        if (word < low || word > high)
            continue;
        auto* candidate = reinterpret_cast<const Object*>(word);
        if (std::binary_search(sorted.begin(), sorted.end(), candidate))
            work.push_back(const_cast<Object*>(candidate));
    }
}

} // namespace

void Visitor::visit(const Scope* scope)
{
    for (int guard = 0; scope && guard < 1'000'000; scope = scope->parent.get(), ++guard)
        visit(scope->object);
}

Heap::Heap(int swfVersion, size_t maxObjects)
    : version_(swfVersion), maxObjects_(maxObjects), atoms_(swfVersion >= 7), stress_(stressFromEnvironment())
{
}

Heap::~Heap() = default;

void Heap::beforeAllocation()
{
    if (!collecting_ && noCollect_ == 0 &&
        (stress_ || objects_.size() >= std::max(kMinCollectThreshold, 2 * liveAfterCollect_)))
        collect();
    if (objects_.size() >= maxObjects_)
        throw ScriptAbort{};
}

void Heap::adopt(std::unique_ptr<Object> object)
{
    object->atoms_ = &atoms_;
    objects_.push_back(std::move(object));
}

bool Heap::contains(const Object* object) const
{
    return std::any_of(objects_.begin(), objects_.end(), [object](const auto& o) { return o.get() == object; });
}

void Heap::sortAddresses()
{
    addresses_.clear();
    addresses_.reserve(objects_.size());
    for (const auto& o : objects_)
        addresses_.push_back(o.get());
    std::sort(addresses_.begin(), addresses_.end());
}

bool Heap::holds(const Object* object) const
{
    return std::binary_search(addresses_.begin(), addresses_.end(), object);
}

void Heap::scanNativeStack(std::vector<Object*>& work) const
{
    const char* end = stackEnd();
    if (!end)
        return;
    // Registers may hold the only copy of a pointer: spill them into this frame first.
    std::jmp_buf registers;
    setjmp(registers);
    const char* begin = reinterpret_cast<const char*>(&registers);
    if (begin < end)
        scanWords(begin, end, addresses_, work);
}

void Heap::collect()
{
    if (collecting_)
        return;
    collecting_ = true;
    ++collections_;
    sortAddresses();
    std::vector<Object*> work;
    const std::function<bool(const Object*)> holdsObject = [this](const Object* o) { return holds(o); };
    MarkVisitor visitor(work, stress_ ? &holdsObject : nullptr);
    if (rootVisitor_)
        rootVisitor_(visitor);
    for (const auto& o : objects_) {
        if (o->pinned())
            work.push_back(o.get());
    }
    scanNativeStack(work);
    while (!work.empty()) {
        Object* o = work.back();
        work.pop_back();
        if (o->marked_)
            continue;
        o->marked_ = true;
        o->visitEdges(visitor);
    }
    std::vector<std::unique_ptr<Object>> dead;
    size_t kept = 0;
    for (auto& o : objects_) {
        if (o->marked_) {
            o->marked_ = false;
            if (&objects_[kept] != &o)
                objects_[kept] = std::move(o);
            ++kept;
        } else {
            dead.push_back(std::move(o));
        }
    }
    objects_.resize(kept);
    addresses_.clear();
    liveAfterCollect_ = objects_.size();
    collecting_ = false;
    // Freed last, once the heap is consistent again.
    dead.clear();
}

} // namespace swf::avm1
