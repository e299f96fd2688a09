// Process-wide feature-state facility: prepared on the first TarvikFeatures_Init, later calls counted only.
#include "tarvik.h"

#include <atomic>

namespace {

std::atomic<long> initCallCount{0};
std::atomic<bool> initialized{false};

} // namespace

extern "C" void TarvikFeatures_Init(void) {
    initCallCount.fetch_add(1, std::memory_order_relaxed);
    initialized.store(true, std::memory_order_release);
}

extern "C" int TarvikFeatures_IsInitialized(void) {
    return initialized.load(std::memory_order_acquire) ? 1 : 0;
}

extern "C" long TarvikFeatures_InitCallCount(void) {
    return initCallCount.load(std::memory_order_relaxed);
}
