// ValuePool: size classes of blocks with free lists, blocks mapped aligned to their size.
#include "metaobj/value_pool.h"

#include <sys/mman.h>

#include <cstdint>
#include <mutex>
#include <new>

namespace Corvane::MetaObj::Detail {

namespace {

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kPooled = false;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kPooled = false;
#else
constexpr bool kPooled = true;
#endif
#else
constexpr bool kPooled = true;
#endif

constexpr std::size_t kBlockBytes = std::size_t{1} << 20;
constexpr std::size_t kGranule = 8;
constexpr std::size_t kLargestSlot = 256;
constexpr std::size_t kClasses = kLargestSlot / kGranule;

struct FreeSlot {
    FreeSlot* next;
};

// The head of every block; its slots follow.
struct Block {
    FreeSlot* free = nullptr; // slots given back
    char* fresh = nullptr;    // slots never given out start here
    char* end = nullptr;
    std::size_t live = 0;
    // The blocks of a class that have room, a doubly linked list.
    Block* previous = nullptr;
    Block* next = nullptr;
    bool listed = false;
};

struct SizeClass {
    Block* roomy = nullptr; // blocks with a free slot
    std::size_t blocks = 0;
};

struct Pool {
    std::mutex lock;
    SizeClass classes[kClasses];
};

// Never destroyed: values may be freed by other libraries' static destructors after this one's.
Pool& ThePool() {
    static Pool* pool = new Pool();
    return *pool;
}

constexpr std::size_t HeadBytes() {
    return (sizeof(Block) + kGranule - 1) / kGranule * kGranule;
}

Block* MapBlock(std::size_t slot) {
    // Mapped twice as large and trimmed, so that the block starts at a multiple of its size and any
    // slot finds its block by masking the address.
    void* mapped =
        ::mmap(nullptr, 2 * kBlockBytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapped == MAP_FAILED) {
        throw std::bad_alloc();
    }
    char* start = static_cast<char*>(mapped);
    const std::size_t misalignment = reinterpret_cast<std::uintptr_t>(start) % kBlockBytes;
    const std::size_t head = misalignment == 0 ? 0 : kBlockBytes - misalignment;
    if (head > 0) {
        ::munmap(start, head);
    }
    ::munmap(start + head + kBlockBytes, kBlockBytes - head);
    auto* block = new (start + head) Block();
    block->fresh = start + head + HeadBytes();
    block->end = block->fresh + (kBlockBytes - HeadBytes()) / slot * slot;
    return block;
}

void List(SizeClass& sizeClass, Block* block) {
    block->previous = nullptr;
    block->next = sizeClass.roomy;
    if (sizeClass.roomy != nullptr) {
        sizeClass.roomy->previous = block;
    }
    sizeClass.roomy = block;
    block->listed = true;
}

void Unlist(SizeClass& sizeClass, Block* block) {
    if (block->previous != nullptr) {
        block->previous->next = block->next;
    } else {
        sizeClass.roomy = block->next;
    }
    if (block->next != nullptr) {
        block->next->previous = block->previous;
    }
    block->previous = block->next = nullptr;
    block->listed = false;
}

} // namespace

void* PoolAllocate(std::size_t bytes) {
    if (!kPooled || bytes == 0 || bytes > kLargestSlot) {
        return ::operator new(bytes);
    }
    const std::size_t index = (bytes - 1) / kGranule;
    const std::size_t slot = (index + 1) * kGranule;
    Pool& pool = ThePool();
    std::lock_guard<std::mutex> guard(pool.lock);
    SizeClass& sizeClass = pool.classes[index];
    Block* block = sizeClass.roomy;
    if (block == nullptr) {
        block = MapBlock(slot);
        ++sizeClass.blocks;
        List(sizeClass, block);
    }
    void* result;
    if (block->free != nullptr) {
        result = block->free;
        block->free = block->free->next;
    } else {
        result = block->fresh;
        block->fresh += slot;
    }
    ++block->live;
    if (block->free == nullptr && block->fresh == block->end) {
        Unlist(sizeClass, block);
    }
    return result;
}

void PoolDeallocate(void* pointer, std::size_t bytes) noexcept {
    if (!kPooled || bytes == 0 || bytes > kLargestSlot) {
        ::operator delete(pointer);
        return;
    }
    SizeClass& sizeClass = ThePool().classes[(bytes - 1) / kGranule];
    auto* block = reinterpret_cast<Block*>(static_cast<char*>(pointer) -
                                           reinterpret_cast<std::uintptr_t>(pointer) % kBlockBytes);
    std::lock_guard<std::mutex> guard(ThePool().lock);
    auto* slot = static_cast<FreeSlot*>(pointer);
    slot->next = block->free;
    block->free = slot;
    --block->live;
    if (block->live == 0 && sizeClass.blocks > 1) {
        if (block->listed) {
            Unlist(sizeClass, block);
        }
        --sizeClass.blocks;
        ::munmap(block, kBlockBytes);
        return;
    }
    if (!block->listed) {
        List(sizeClass, block);
    }
}

} // namespace Corvane::MetaObj::Detail
