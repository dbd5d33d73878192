// Records made by the ten thousand and mostly kept until the compile ends: every procedure has
// one, and so has each of its parameters. They are cut from slabs rather than each taken from
// malloc, which would spend a search, a header and a rounding on every one. The compiler runs
// on one thread, so one pool serves the process.
#pragma once

#include <cassert>
#include <cstddef>
#include <cstdlib>
#include <new>

// GCC names AddressSanitizer with a macro, clang with a feature test.
#if defined(__SANITIZE_ADDRESS__)
#define KELVO_ADDRESS_SANITIZER true
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define KELVO_ADDRESS_SANITIZER true
#endif
#endif
#ifndef KELVO_ADDRESS_SANITIZER
#define KELVO_ADDRESS_SANITIZER false
#endif

namespace kelvo {

template <size_t Size, size_t Align>
class TRecordPool {
 public:
  static void* take() {
    if constexpr (kPlainHeap) return plainTake();
    TState& s = state();
    ++s.live;
    if (TFreed* record = s.freed) {
      s.freed = record->next;
      return record;
    }
    if (s.next == s.end) newSlab(s);
    void* record = s.next;
    s.next += kStride;
    return record;
  }

  // A record given back is taken again first; once none is alive, the slabs go back too.
  static void give(void* record) noexcept {
    if constexpr (kPlainHeap) return std::free(record);
    if (!record) return;
    TState& s = state();
    s.freed = new (record) TFreed{s.freed};
    if (--s.live == 0) releaseSlabs(s);
  }

 private:
  // Under AddressSanitizer every record is its own block, so a record used after it was given
  // back is still caught.
  static constexpr bool kPlainHeap = KELVO_ADDRESS_SANITIZER;
  static void* plainTake() {
    void* record = std::malloc(Size);
    if (!record) throw std::bad_alloc();
    return record;
  }

  static constexpr size_t kHeader = 16;  // keeps every record aligned as malloc's blocks are
  static_assert(Align <= kHeader && Size >= sizeof(void*));
  static constexpr size_t kStride = (Size + Align - 1) / Align * Align;
  static constexpr size_t kPerSlab = 64;

  struct TFreed {
    TFreed* next;
  };
  struct TState {
    char* next = nullptr;  // the first record never taken, in the newest slab
    char* end = nullptr;
    void* slabs = nullptr;  // the newest slab; each begins with a pointer to the one before
    TFreed* freed = nullptr;
    size_t live = 0;
  };

  static TState& state() {
    static TState s;
    return s;
  }

  [[gnu::noinline]] static void newSlab(TState& s) {
    char* slab = static_cast<char*>(std::malloc(kHeader + kPerSlab * kStride));
    if (!slab) throw std::bad_alloc();
    *reinterpret_cast<void**>(slab) = s.slabs;
    s.slabs = slab;
    s.next = slab + kHeader;
    s.end = s.next + kPerSlab * kStride;
  }

  static void releaseSlabs(TState& s) noexcept {
    for (void* slab = s.slabs; slab;) {
      void* before = *static_cast<void**>(slab);
      std::free(slab);
      slab = before;
    }
    s = TState{};
  }
};

}  // namespace kelvo
