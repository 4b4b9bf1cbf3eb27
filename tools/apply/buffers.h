// Owners of the memory arnonat-apply needs: a whole rules file, and a
// growing array of plain records.  Each frees what it holds exactly once.
#pragma once

#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <type_traits>

namespace arnonat::apply {

// The whole text of a file.
class TextFile {
public:
    TextFile() = default;
    TextFile(const TextFile &) = delete;
    TextFile &operator=(const TextFile &) = delete;
    ~TextFile() { std::free(data_); }

    // Reads PATH; false (with errno set) when it cannot be read.
    bool read(const char *path);
    const char *data() const { return data_ ? data_ : ""; }
    size_t size() const { return size_; }

private:
    char *data_ = nullptr;
    size_t size_ = 0;
};

// A growing array of trivially copyable records.
template <class T>
class Records {
    static_assert(std::is_trivially_copyable_v<T>, "records are copied as bytes");

public:
    Records() = default;
    Records(const Records &) = delete;
    Records &operator=(const Records &) = delete;
    ~Records() { std::free(data_); }

    // False when memory runs out; the array is then unchanged.
    bool push(const T &item)
    {
        if (size_ == capacity_) {
            size_t capacity = capacity_ ? 2 * capacity_ : 64;
            void *grown = std::realloc(data_, capacity * sizeof(T));
            if (!grown)
                return false;
            data_ = static_cast<T *>(grown);
            capacity_ = capacity;
        }
        data_[size_++] = item;
        return true;
    }
    void clear() { size_ = 0; }
    size_t size() const { return size_; }
    const T &operator[](size_t i) const { return data_[i]; }

private:
    T *data_ = nullptr;
    size_t size_ = 0;
    size_t capacity_ = 0;
};

} // namespace arnonat::apply
