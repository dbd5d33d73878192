// The bytes of one procedure's machine code: a plain growing byte array.
//
// An instruction is assembled on the stack and copied in as one fixed-size block (the whole
// instruction buffer, whatever its length), so appending it is a few moves and a pointer
// bump, with no length-dependent copy, no terminating zero and no call. The room behind the
// last byte therefore always holds at least one such block before a copy is made.
#pragma once

#include <cassert>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "common/little_endian.h"

namespace kelvo {

class TCodeBytes {
 public:
  // The largest block an instruction copies in at once (the size of TInstr's byte buffer).
  static constexpr size_t kBlock = 24;

  TCodeBytes() = default;
  // A copy takes only the room the bytes fill: a finished procedure is kept that way.
  TCodeBytes(const TCodeBytes& other);
  TCodeBytes(TCodeBytes&& other) noexcept { swap(other); }
  TCodeBytes& operator=(TCodeBytes other) noexcept {
    swap(other);
    return *this;
  }
  ~TCodeBytes();
  TCodeBytes& operator=(std::string_view text) {
    clear();
    append(text.data(), text.size());
    return *this;
  }

  size_t size() const { return static_cast<size_t>(end_ - begin_); }
  bool empty() const { return end_ == begin_; }
  char* data() { return begin_; }
  const char* data() const { return begin_; }
  char& operator[](size_t i) { return begin_[i]; }
  char operator[](size_t i) const { return begin_[i]; }
  std::string_view view() const { return {begin_, size()}; }
  operator std::string_view() const { return view(); }
  std::string str() const { return std::string(view()); }
  bool operator==(std::string_view text) const { return view() == text; }

  // One instruction: `block` holds kBlock bytes, of which the first n are its own.
  void appendBlock(const uint8_t* block, size_t n) {
    if (static_cast<size_t>(cap_ - end_) < kBlock) grow(kBlock);
    std::memcpy(end_, block, kBlock);
    end_ += n;
  }
  // Room for one block behind the code, for an instruction written in place; commit(n) then
  // takes its first n bytes into the code.
  uint8_t* blockRoom() {
    if (static_cast<size_t>(cap_ - end_) < kBlock) grow(kBlock);
    return reinterpret_cast<uint8_t*>(end_);
  }
  void commit(size_t n) { end_ += n; }
  void append(const char* bytes, size_t n);
  void append(size_t n, char c);
  void push_back(char c) { append(1, c); }
  // Puts the bytes in front of the code (prepend mode).
  void prepend(const char* bytes, size_t n);
  // Keeps the first n bytes; never grows.
  void truncate(size_t n) { end_ = begin_ + (n < size() ? n : size()); }
  void clear() { end_ = begin_; }
  void swap(TCodeBytes& other) noexcept;

  // Little-endian fields of 1 to 4 bytes inside the code.
  void patchLE(size_t at, uint32_t value, int bytes) {
    assert(at + static_cast<size_t>(bytes) <= size());
    kelvo::patchLE(begin_ + at, value, bytes);
  }
  uint32_t readLE(size_t at, int bytes) const {
    assert(at + static_cast<size_t>(bytes) <= size());
    return kelvo::readLE(begin_ + at, bytes);
  }

 private:
  // Makes room for `more` bytes behind the code; out of line, as it is rare.
  void grow(size_t more);

  char* begin_ = nullptr;
  char* end_ = nullptr;
  char* cap_ = nullptr;
};

}  // namespace kelvo
