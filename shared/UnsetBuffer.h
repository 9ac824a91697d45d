// SPDX-License-Identifier: GPL-3.0-or-later
// Buffers of large pictures that a decoder writes completely: new elements
// left unset (zeroing them first would cost a pass over their memory), and
// large pages asked for.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>
#include <utility>
#include <vector>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace UnsetBuffer {

template <class T> struct UnsetAllocator : std::allocator<T> {
    template <class U> struct rebind {
        using other = UnsetAllocator<U>;
    };
    UnsetAllocator() = default;
    template <class U> UnsetAllocator(const UnsetAllocator<U>&) noexcept { }
    template <class U> void construct(U* p) noexcept { ::new (static_cast<void*>(p)) U; }
    template <class U, class... Args> void construct(U* p, Args&&... args)
    {
        ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
    }
};

template <class T> using Buffer = std::vector<T, UnsetAllocator<T>>;

// Asks the kernel for large pages over a picture's buffer: a decoder that
// writes hundreds of megabytes then takes far fewer page faults. Advice only.
inline void AdviseLargePages([[maybe_unused]] void* data, [[maybe_unused]] std::size_t bytes)
{
#if defined(__linux__) && defined(MADV_HUGEPAGE)
    constexpr std::uintptr_t page = 2 << 20;
    const auto begin = (reinterpret_cast<std::uintptr_t>(data) + page - 1) & ~(page - 1);
    const auto end = (reinterpret_cast<std::uintptr_t>(data) + bytes) & ~(page - 1);
    if (end > begin)
        madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
#endif
}

} // namespace UnsetBuffer
