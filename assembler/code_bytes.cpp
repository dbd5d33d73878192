#include "assembler/code_bytes.h"

#include <algorithm>
#include <cstdlib>
#include <new>
#include <utility>

namespace kelvo {

namespace {

// A body's code takes its first room in one step rather than in small doublings; the
// procedure keeps a copy that fits once laid out, and the room serves the next body.
constexpr size_t kFirstRoom = 512;

}  // namespace

TCodeBytes::TCodeBytes(const TCodeBytes& other) {
  const size_t size = other.size();
  if (size == 0) return;
  begin_ = static_cast<char*>(std::malloc(size));
  if (!begin_) throw std::bad_alloc();
  std::memcpy(begin_, other.begin_, size);
  end_ = cap_ = begin_ + size;
}

TCodeBytes::~TCodeBytes() { std::free(begin_); }

void TCodeBytes::swap(TCodeBytes& other) noexcept {
  std::swap(begin_, other.begin_);
  std::swap(end_, other.end_);
  std::swap(cap_, other.cap_);
}

void TCodeBytes::grow(size_t more) {
  const size_t size = this->size();
  const size_t room = std::max({kFirstRoom, 2 * static_cast<size_t>(cap_ - begin_), size + more});
  char* bytes = static_cast<char*>(std::realloc(begin_, room));
  if (!bytes) throw std::bad_alloc();
  begin_ = bytes;
  end_ = bytes + size;
  cap_ = bytes + room;
}

void TCodeBytes::append(const char* bytes, size_t n) {
  if (static_cast<size_t>(cap_ - end_) < n) grow(n);
  if (n != 0) std::memcpy(end_, bytes, n);
  end_ += n;
}

void TCodeBytes::append(size_t n, char c) {
  if (static_cast<size_t>(cap_ - end_) < n) grow(n);
  if (n != 0) std::memset(end_, c, n);
  end_ += n;
}

void TCodeBytes::prepend(const char* bytes, size_t n) {
  if (static_cast<size_t>(cap_ - end_) < n) grow(n);
  if (begin_ == nullptr) return;  // nothing to put and no room taken
  std::memmove(begin_ + n, begin_, size());
  std::memcpy(begin_, bytes, n);
  end_ += n;
}

}  // namespace kelvo
