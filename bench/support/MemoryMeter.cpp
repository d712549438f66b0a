#include "bench/support/MemoryMeter.h"

#include <malloc.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>

// glibc's own allocator under its internal names; the definitions below take
// the public names, so every library of the process allocates through them.
extern "C" {
void* __libc_malloc(size_t size);
void __libc_free(void* block);
void* __libc_realloc(void* block, size_t size);
void* __libc_calloc(size_t count, size_t size);
void* __libc_memalign(size_t alignment, size_t size);
}

namespace {

std::atomic<bool> counting{false};
std::atomic<int64_t> held{0};
std::atomic<int64_t> peak{0};

void Add(void* block) {
  if (!block)
    return;
  const int64_t now =
      held.fetch_add(static_cast<int64_t>(malloc_usable_size(block)), std::memory_order_relaxed) +
      static_cast<int64_t>(malloc_usable_size(block));
  int64_t top = peak.load(std::memory_order_relaxed);
  while (now > top && !peak.compare_exchange_weak(top, now, std::memory_order_relaxed)) {
  }
}

void Remove(void* block) {
  if (block)
    held.fetch_sub(static_cast<int64_t>(malloc_usable_size(block)), std::memory_order_relaxed);
}

}  // namespace

extern "C" {

void* malloc(size_t size) {
  void* block = __libc_malloc(size);
  if (counting.load(std::memory_order_relaxed))
    Add(block);
  return block;
}

void free(void* block) {
  if (counting.load(std::memory_order_relaxed))
    Remove(block);
  __libc_free(block);
}

void* calloc(size_t count, size_t size) {
  void* block = __libc_calloc(count, size);
  if (counting.load(std::memory_order_relaxed))
    Add(block);
  return block;
}

void* realloc(void* block, size_t size) {
  if (!counting.load(std::memory_order_relaxed))
    return __libc_realloc(block, size);
  const int64_t before = block ? static_cast<int64_t>(malloc_usable_size(block)) : 0;
  void* moved = __libc_realloc(block, size);
  if (moved || size == 0) {
    held.fetch_sub(before, std::memory_order_relaxed);
    Add(moved);
  }
  return moved;
}

void* memalign(size_t alignment, size_t size) {
  void* block = __libc_memalign(alignment, size);
  if (counting.load(std::memory_order_relaxed))
    Add(block);
  return block;
}

void* aligned_alloc(size_t alignment, size_t size) {
  return memalign(alignment, size);
}

int posix_memalign(void** out, size_t alignment, size_t size) {
  void* block = memalign(alignment, size);
  if (!block)
    return ENOMEM;
  *out = block;
  return 0;
}

}  // extern "C"

namespace kx4::bench {

Meter::Meter() {
  held.store(0);
  peak.store(0);
  counting.store(true);
}

Meter::~Meter() {
  counting.store(false);
}

int64_t Meter::Peak() const {
  return peak.load();
}

int64_t Meter::Now() const {
  return held.load();
}

}  // namespace kx4::bench
