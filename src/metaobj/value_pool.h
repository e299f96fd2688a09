// ValuePool: memory for typed values, in blocks of equal slots without a per-value header.
#pragma once

#include <cstddef>
#include <memory>
#include <utility>

namespace Corvane::MetaObj::Detail {

/// `bytes` of memory aligned for any typed value. Requests of up to 256 bytes come from blocks of
/// 1 MB cut into slots of one size (a multiple of 8), so a value costs its own size and no heap
/// header; larger ones, and all of them where the build checks memory use (AddressSanitizer, whose
/// checks a pool would hide), go to operator new. A block goes back to the system once its last
/// slot is free, unless it is the only one of its size left. Safe from any thread. Throws
/// std::bad_alloc when no memory can be had.
void* PoolAllocate(std::size_t bytes);
/// Gives back memory from PoolAllocate with the same `bytes`.
void PoolDeallocate(void* pointer, std::size_t bytes) noexcept;

/// A standard allocator on the pool, for std::allocate_shared.
template <typename T> class PoolAllocator {
public:
    using value_type = T;

    PoolAllocator() = default;
    template <typename U> PoolAllocator(const PoolAllocator<U>& /*other*/) {}

    T* allocate(std::size_t count) { return static_cast<T*>(PoolAllocate(count * sizeof(T))); }
    void deallocate(T* pointer, std::size_t count) noexcept { PoolDeallocate(pointer, count * sizeof(T)); }

    template <typename U> bool operator==(const PoolAllocator<U>& /*other*/) const { return true; }
    template <typename U> bool operator!=(const PoolAllocator<U>& /*other*/) const { return false; }
};

/// std::make_shared, with the object and its counts in one slot of the pool.
template <typename T, typename... Args> std::shared_ptr<T> MakePooled(Args&&... args) {
    return std::allocate_shared<T>(PoolAllocator<T>(), std::forward<Args>(args)...);
}

} // namespace Corvane::MetaObj::Detail
