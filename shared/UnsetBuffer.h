// Buffers whose new elements a resize leaves unset: for large pictures that a
// decoder writes completely, where zeroing them first would cost a pass over
// their memory.
#pragma once

#include <memory>
#include <new>
#include <utility>
#include <vector>

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

} // namespace UnsetBuffer
