// ObjectArena and MapHugeBlocks: memory in blocks of 2 MB, mapped on their own and offered huge pages.
#include "autocli/cache/object_arena.h"

#include <sys/mman.h>

#include <cstdint>

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/asan_interface.h>
#include <sanitizer/lsan_interface.h>
#endif

namespace Corvane::AutoCli {

namespace {

constexpr std::size_t kBlockSize = std::size_t{2} << 20;

#if defined(__SANITIZE_ADDRESS__)
// Under AddressSanitizer a block is poisoned but for the objects alive in it, with a poisoned gap
// before each, so that an overrun or a use after the object went is caught as on the heap; and
// the leak checker scans the blocks, since the objects in them hold heap memory.
constexpr std::size_t kRedZone = 16;

void WatchBlock(char* block) {
    ASAN_POISON_MEMORY_REGION(block, kBlockSize);
    __lsan_register_root_region(block, kBlockSize);
}

void UnwatchBlock(void* block) {
    __lsan_unregister_root_region(block, kBlockSize);
    ASAN_UNPOISON_MEMORY_REGION(block, kBlockSize);
}
#else
constexpr std::size_t kRedZone = 0;

void WatchBlock(char* /*block*/) {}
void UnwatchBlock(void* /*block*/) {}
#endif

// `size` bytes (a multiple of the block size) aligned to a block: mapped a block larger, then
// trimmed.
char* MapAligned(std::size_t size) {
    void* mapped =
        ::mmap(nullptr, size + kBlockSize, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapped == MAP_FAILED) {
        throw std::bad_alloc();
    }
    char* start = static_cast<char*>(mapped);
    const std::size_t misalignment = reinterpret_cast<std::uintptr_t>(start) % kBlockSize;
    const std::size_t head = misalignment == 0 ? 0 : kBlockSize - misalignment;
    char* block = start + head;
    if (head > 0) {
        ::munmap(start, head);
    }
    ::munmap(block + size, kBlockSize - head);
    // Only advice: without huge pages the blocks are backed page by page, as the heap would be.
    ::madvise(block, size, MADV_HUGEPAGE);
    return block;
}

void* MapBlock() {
    return MapAligned(kBlockSize);
}

} // namespace

ObjectArena::ObjectArena() = default;

ObjectArena::~ObjectArena() {
    for (void* block : blocks) {
        UnwatchBlock(block);
        ::munmap(block, kBlockSize);
    }
}

std::shared_ptr<char> MapHugeBlocks(std::size_t bytes) {
    const std::size_t size = (bytes + kBlockSize - 1) / kBlockSize * kBlockSize;
    return std::shared_ptr<char>(MapAligned(size), [size](char* block) { ::munmap(block, size); });
}

std::shared_ptr<ObjectArena> ObjectArena::New() {
    return std::make_shared<ObjectArena>();
}

void* ObjectArena::Allocate(std::size_t bytes, std::size_t alignment) {
    if (bytes > kBlockSize / 2) {
        throw std::bad_alloc(); // only small objects are made here
    }
    const auto skipFrom = [alignment](const char* from) {
        const std::uintptr_t start = reinterpret_cast<std::uintptr_t>(from) + kRedZone;
        return kRedZone + (alignment - start % alignment) % alignment;
    };
    std::size_t skip = next == nullptr ? 0 : skipFrom(next);
    if (next == nullptr || static_cast<std::size_t>(end - next) < skip + bytes) {
        blocks.reserve(blocks.size() + 1);
        next = static_cast<char*>(MapBlock());
        WatchBlock(next);
        blocks.push_back(next);
        end = next + kBlockSize;
        skip = skipFrom(next);
    }
    char* at = next + skip;
    next = at + bytes;
#if defined(__SANITIZE_ADDRESS__)
    ASAN_UNPOISON_MEMORY_REGION(at, bytes);
#endif
    return at;
}

#if defined(__SANITIZE_ADDRESS__)
void ObjectArena::Release(void* memory, std::size_t bytes) {
    ASAN_POISON_MEMORY_REGION(memory, bytes);
}
#endif

} // namespace Corvane::AutoCli
