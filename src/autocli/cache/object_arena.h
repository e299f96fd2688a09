// ObjectArena: memory for the many small objects a large plugin directory restores from the cache,
// and large buffers in the same blocks.
#pragma once

#include <cstddef>
#include <memory>
#include <new>
#include <utility>
#include <vector>

namespace Corvane::AutoCli {

/// Takes memory in order from blocks of 2 MB, aligned so that the system may back each with one
/// huge page, which it is asked to: thousands of small objects then cost one page fault per block
/// instead of one per 4 kB page. Nothing is given back before the arena goes, which happens when
/// the last object made in it (each holds it through its allocator) is gone.
class ObjectArena {
public:
    ObjectArena();
    ~ObjectArena();
    ObjectArena(const ObjectArena&) = delete;
    ObjectArena& operator=(const ObjectArena&) = delete;

    /// Throws std::bad_alloc when no block can be had.
    void* Allocate(std::size_t bytes, std::size_t alignment);

    /// Marks memory of an object that went as no longer in use. Nothing is given back before the
    /// arena goes; only a build that checks memory use (AddressSanitizer) takes note.
#if defined(__SANITIZE_ADDRESS__)
    void Release(void* memory, std::size_t bytes);
#else
    void Release(void* /*memory*/, std::size_t /*bytes*/) {}
#endif

    static std::shared_ptr<ObjectArena> New();

private:
    std::vector<void*> blocks;
    char* next = nullptr;
    char* end = nullptr;
};

/// `bytes` of memory, uninitialised, in whole blocks of 2 MB offered huge pages as ObjectArena's are,
/// for one large buffer filled at once: a few page faults instead of one per 4 kB page. Given back
/// when the last pointer goes. Throws std::bad_alloc when the memory cannot be had.
std::shared_ptr<char> MapHugeBlocks(std::size_t bytes);

/// A standard allocator taking from an arena; the memory goes with the arena.
template <typename T> class ArenaAllocator {
public:
    using value_type = T;

    explicit ArenaAllocator(std::shared_ptr<ObjectArena> arena) : arena(std::move(arena)) {}
    template <typename U> ArenaAllocator(const ArenaAllocator<U>& other) : arena(other.arena) {}

    T* allocate(std::size_t count) { return static_cast<T*>(arena->Allocate(count * sizeof(T), alignof(T))); }
    void deallocate(T* pointer, std::size_t count) { arena->Release(pointer, count * sizeof(T)); }

    template <typename U> bool operator==(const ArenaAllocator<U>& other) const {
        return arena == other.arena;
    }
    template <typename U> bool operator!=(const ArenaAllocator<U>& other) const {
        return arena != other.arena;
    }

private:
    template <typename U> friend class ArenaAllocator;
    std::shared_ptr<ObjectArena> arena;
};

/// std::make_shared in `arena`, or on the heap when there is none.
template <typename T, typename... Args>
std::shared_ptr<T> MakeSharedIn(const std::shared_ptr<ObjectArena>& arena, Args&&... args) {
    if (arena) {
        return std::allocate_shared<T>(ArenaAllocator<T>(arena), std::forward<Args>(args)...);
    }
    return std::make_shared<T>(std::forward<Args>(args)...);
}

} // namespace Corvane::AutoCli
