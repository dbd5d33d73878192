// The bytes of one source text. A small file is read into memory; a large one is mapped, and
// the reader hands back the pages it has gone well past, so a long source never needs to be
// held whole. Either way a zero byte follows the last one.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/mapped_file.h"

namespace kelvo {

class TSourceText {
 public:
  TSourceText() = default;
  TSourceText(const TSourceText&) = delete;  // data_ points into this record's own text
  TSourceText& operator=(const TSourceText&) = delete;

  // Files from this size on are mapped rather than read.
  static constexpr size_t kMapFrom = size_t{1} << 20;
  // How much text behind the reading position stays in memory: a token or a statement that is
  // read again, or a report that quotes its line, finds it there.
  static constexpr uint32_t kKeepBehind = uint32_t{1} << 18;

  const char* data() const { return data_; }
  const char* c_str() const { return data_; }
  size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }
  char operator[](size_t i) const { return data_[i]; }
  operator std::string_view() const { return {data_, size_}; }
  std::string substr(size_t pos, size_t count) const { return std::string(std::string_view(*this).substr(pos, count)); }

  void assign(std::string text);
  // Maps the file; false when it cannot be mapped (the caller reads it instead).
  bool map(const std::string& hostPath, size_t size);
  void clear() { assign({}); }
  // Called as reading passes 1-based `position`; cheap unless a mapped text can give pages back.
  void passed(int32_t position) {
    if (forgetsAt(position)) forgetBehind(static_cast<uint32_t>(position));
  }
  // True when passing `position` gives pages back: a reader that cannot call out leaves that to one that can.
  bool forgetsAt(int32_t position) const { return static_cast<uint32_t>(position) >= nextForget_; }
  bool isMapped() const { return mapped_.data() != nullptr; }

 private:
  std::string owned_;
  platform::TMappedFile mapped_;
  const char* data_ = "";
  size_t size_ = 0;
  uint32_t nextForget_ = UINT32_MAX;
  void forgetBehind(uint32_t position);
};

}  // namespace kelvo
