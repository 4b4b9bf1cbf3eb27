// A buffer on the heap, allocated per call and freed exactly once when its
// owner goes out of scope: for the tables the engine fills and for work
// space too large for a caller's stack (library callers run the generators
// on threads of their own, whose stacks are small).
#pragma once

#include <cstddef>
#include <cstdlib>

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

} // namespace arnonat
