// A read-only view of a whole file in memory, with a zero byte after its last one. Pages that
// the reader has gone past can be handed back to the system: touched again, they come back
// from the file, so handing them back never changes what is read.
#pragma once

#include <cstddef>
#include <string>

namespace kelvo::platform {

class TMappedFile {
 public:
  TMappedFile() = default;
  TMappedFile(const TMappedFile&) = delete;
  TMappedFile& operator=(const TMappedFile&) = delete;
  ~TMappedFile() { close(); }

  // Maps `size` bytes of the file; false (and nothing mapped) when the system refuses, so the
  // caller can read the file instead.
  bool open(const std::string& hostPath, size_t size);
  void close();
  const char* data() const { return data_; }
  size_t size() const { return size_; }
  // Lets the pages that lie wholly before `offset` leave memory.
  void forgetBefore(size_t offset);

 private:
  char* data_ = nullptr;
  size_t size_ = 0;
  size_t reserved_ = 0;  // the mapping with its zero page behind the text
};

}  // namespace kelvo::platform
