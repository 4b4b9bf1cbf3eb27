// A buffer on the heap, allocated per call and freed exactly once when its
// owner goes out of scope: for the tables the engine fills and for work
// space too large for a caller's stack (library callers run the generators
// on threads of their own, whose stacks are small).
#pragma once

#include <cstddef>
#include <cstdlib>
#include <new>

namespace arnonat {

class HeapBuffer {
public:
    HeapBuffer() = default;
    ~HeapBuffer() { std::free(data_); }
    HeapBuffer(const HeapBuffer &) = delete;
    HeapBuffer &operator=(const HeapBuffer &) = delete;

    // Cleared SIZE bytes; false when they cannot be had.
    bool allocate(size_t size)
    {
        std::free(data_);
        data_ = std::calloc(1, size);
        return data_ != nullptr;
    }
    void *get() const { return data_; }

private:
    void *data_ = nullptr;
};

// One T on the heap, value-initialised, destroyed and freed exactly once;
// false when it cannot be had.
template <typename T>
class HeapObject {
public:
    HeapObject()
    {
        if (void *p = std::malloc(sizeof(T)))
            object_ = ::new (p) T();
    }
    ~HeapObject()
    {
        if (object_) {
            object_->~T();
            std::free(object_);
        }
    }
    HeapObject(const HeapObject &) = delete;
    HeapObject &operator=(const HeapObject &) = delete;

    explicit operator bool() const { return object_ != nullptr; }
    T &operator*() const { return *object_; }
    T *operator->() const { return object_; }

private:
    T *object_ = nullptr;
};

} // namespace arnonat
