#pragma once
// An allocator for the few very large arrays of the converter (the ping list of a whole raw data file,
// hundreds of megabytes): blocks of 4 MiB and more are mapped directly and marked for huge pages, so
// that filling them costs a few hundred page faults instead of tens of thousands.

#include <cstddef>
#include <new>

#include <sys/mman.h>

namespace quillfen {

template <typename T>
class LargeAllocator {
  public:
    using value_type = T;
    static constexpr std::size_t kMappedFrom = 4u << 20;

    LargeAllocator() = default;
    template <typename U>
    LargeAllocator(const LargeAllocator<U>&) noexcept {}

    T* allocate(std::size_t n) {
        if (n > static_cast<std::size_t>(-1) / sizeof(T))
            throw std::bad_array_new_length();
        const std::size_t bytes = n * sizeof(T);
        if (bytes < kMappedFrom)
            return static_cast<T*>(::operator new (bytes, std::align_val_t{alignof(T)}));
        void* p = ::mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (p == MAP_FAILED)
            throw std::bad_alloc();
        ::madvise(p, bytes, MADV_HUGEPAGE);  // a hint: ignored where huge pages are off
        return static_cast<T*>(p);
    }

    void deallocate(T* p, std::size_t n) noexcept {
        const std::size_t bytes = n * sizeof(T);
        if (bytes < kMappedFrom) {
            ::operator delete (p, std::align_val_t{alignof(T)});
        } else {
            ::munmap(p, bytes);
        }
    }

    template <typename U>
    bool operator==(const LargeAllocator<U>&) const noexcept {
        return true;
    }
};

}  // namespace quillfen
