#include "platform/mapped_file.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

namespace kelvo::platform {

namespace {
size_t pageSize() {
  static const size_t size = static_cast<size_t>(sysconf(_SC_PAGESIZE));
  return size;
}
}  // namespace

bool TMappedFile::open(const std::string& hostPath, size_t size) {
  close();
  const size_t page = pageSize();
  // One page more than the text, left anonymous and so zero: the text always ends in a NUL,
  // even when its size is a whole number of pages.
  const size_t reserved = (size + page - 1) / page * page + page;
  void* area = mmap(nullptr, reserved, PROT_READ, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (area == MAP_FAILED) return false;
  const int fd = ::open(hostPath.c_str(), O_RDONLY | O_CLOEXEC);
  void* text = fd < 0 ? MAP_FAILED : mmap(area, size, PROT_READ, MAP_PRIVATE | MAP_FIXED, fd, 0);
  if (fd >= 0) ::close(fd);
  if (text == MAP_FAILED) {
    munmap(area, reserved);
    return false;
  }
  data_ = static_cast<char*>(area);
  size_ = size;
  reserved_ = reserved;
  return true;
}

void TMappedFile::close() {
  if (data_) munmap(data_, reserved_);
  data_ = nullptr;
  size_ = reserved_ = 0;
}

void TMappedFile::forgetBefore(size_t offset) {
  const size_t end = offset < size_ ? offset / pageSize() * pageSize() : size_ / pageSize() * pageSize();
  if (data_ && end > 0) madvise(data_, end, MADV_DONTNEED);
}

}  // namespace kelvo::platform
