// A buffer for a table the engine fills, allocated per call and freed
// exactly once when its owner goes out of scope.
#pragma once

#include <cstddef>
#include <cstdlib>

namespace arnonat::natapi {

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

} // namespace arnonat::natapi
