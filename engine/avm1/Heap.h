#pragma once

// Owns every script object and frees the ones nothing reaches any more, by tracing:
// marking starts at the roots the machine visits (and at pinned objects), follows what
// each object visits in `visitEdges`, and frees the rest. Values that native code holds
// in C++ locals are found by scanning the machine stack conservatively: any word equal
// to a live object's address keeps that object.
//
// The count is bounded: past the limit, allocation throws ScriptAbort and the running
// script stops, which keeps runaway scripts from eating memory.

#include "engine/avm1/Object.h"

#include <cstddef>
#include <functional>
#include <memory>
#include <type_traits>
#include <utility>
#include <vector>

namespace swf::avm1 {

class Heap {
public:
    explicit Heap(int swfVersion, size_t maxObjects = 1'000'000);
    ~Heap();
    Heap(const Heap&) = delete;
    Heap& operator=(const Heap&) = delete;

    // A new object of class T (Object or a subclass), prototype `proto`.
    template <class T = Object, class... Args>
    T* make(Object* proto, Args&&... args)
    {
        beforeAllocation();
        auto object = std::make_unique<T>(proto, version_, std::forward<Args>(args)...);
        T* raw = object.get();
        if constexpr (std::is_same_v<T, Object>)
            raw->plain_ = true;
        adopt(std::move(object));
        return raw;
    }

    size_t size() const { return objects_.size(); }
    AtomTable& atoms() { return atoms_; }
    // Whether `object` is one the heap holds (a linear search: for tests).
    bool contains(const Object* object) const;

    // Who visits the roots: the machine.
    void setRootVisitor(std::function<void(Visitor&)> visitor) { rootVisitor_ = std::move(visitor); }
    // Frees what the roots, pinned objects and the native stack no longer reach.
    void collect();
    // Collections so far (for tests and the stress mode's bookkeeping).
    size_t collections() const { return collections_; }

    // Collect before every allocation: the stress mode that shows a missing root at
    // once. LANFAN_GC_STRESS=1 in the environment turns it on for every heap.
    void setStress(bool on) { stress_ = on; }
    bool stress() const { return stress_; }
    // While positive, allocations do not collect (set-up of the built-in classes,
    // which holds half-built objects in places no root reaches yet).
    struct NoCollect {
        explicit NoCollect(Heap& heap) : heap_(heap) { ++heap_.noCollect_; }
        ~NoCollect() { --heap_.noCollect_; }
        NoCollect(const NoCollect&) = delete;
        NoCollect& operator=(const NoCollect&) = delete;
        Heap& heap_;
    };

private:
    void beforeAllocation();
    void adopt(std::unique_ptr<Object> object);
    // Every object's address, sorted, for the collection under way: the native stack's
    // words and (in the stress mode) every object reached are looked up in it.
    void sortAddresses();
    bool holds(const Object* object) const;
    void scanNativeStack(std::vector<Object*>& work) const;

    int version_;
    size_t maxObjects_;
    AtomTable atoms_;
    std::vector<std::unique_ptr<Object>> objects_;
    std::vector<const Object*> addresses_;
    std::function<void(Visitor&)> rootVisitor_;
    size_t collections_ = 0;
    size_t liveAfterCollect_ = 0;
    bool stress_ = false;
    bool collecting_ = false;
    int noCollect_ = 0;
};

} // namespace swf::avm1
