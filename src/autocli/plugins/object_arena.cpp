// ObjectArena and MapHugeBlocks: memory in blocks of 2 MB, mapped on their own and offered huge pages.
#include "object_arena.h"

#include <sys/mman.h>

#include <cstdint>

namespace Corvane::AutoCli {

namespace {

constexpr std::size_t kBlockSize = std::size_t{2} << 20;

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
        ::munmap(block, kBlockSize);
    }
}

std::shared_ptr<char> MapHugeBlocks(std::size_t bytes) {
    const std::size_t size = (bytes + kBlockSize - 1) / kBlockSize * kBlockSize;
    return std::shared_ptr<char>(MapAligned(size), [size](char* block) { ::munmap(block, size); });
}

std::shared_ptr<ObjectArena> ObjectArena::New() {
#if defined(__SANITIZE_ADDRESS__)
    return nullptr;
#else
    return std::make_shared<ObjectArena>();
#endif
}

void* ObjectArena::Allocate(std::size_t bytes, std::size_t alignment) {
    if (bytes > kBlockSize / 2) {
        throw std::bad_alloc(); // only small objects are made here
    }
    std::size_t skip =
        next == nullptr ? 0 : (alignment - reinterpret_cast<std::uintptr_t>(next) % alignment) % alignment;
    if (next == nullptr || static_cast<std::size_t>(end - next) < skip + bytes) {
        blocks.reserve(blocks.size() + 1);
        next = static_cast<char*>(MapBlock());
        blocks.push_back(next);
        end = next + kBlockSize;
        skip = 0;
    }
    char* at = next + skip;
    next = at + bytes;
    return at;
}

} // namespace Corvane::AutoCli
