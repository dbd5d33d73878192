// The output file as one byte string, shared by every writer, and the section header record.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "frontend/function.h"
#include "output/pe_headers.h"

namespace kelvo {

// A writer builds the whole file in memory and writes it once, at the very end, so that a
// failed link never leaves a half-written file. Positions it hands out are 1-based. The bytes
// it makes itself go into file_data; images that already lie in memory (the sections) join
// the file by reference, so the largest of them is never copied a second time.
class TFileWriter {
 public:
  virtual ~TFileWriter() = default;
  // Builds the image in memory; errors are thrown before anything reaches the disk.
  virtual void build() = 0;

  std::string file_data;

  // Zero-fills up to si bytes; false (and nothing appended) when the file is already longer.
  bool alignFileToSize(uint32_t si);
  // Appends the bytes and returns the 1-based position of the first one.
  uint32_t addFileBytes(const void* x, uint32_t bytes);
  uint32_t addFileBytes(std::string_view bytes);
  // Appends bytes by reference: they must stay unchanged until writeFile.
  uint32_t addFileView(std::string_view bytes);
  // Appends the code of the procedures, one after the other, by reference; codeSize is the
  // length of all of it, known from the layout, so the procedures are not visited twice.
  uint32_t addFileView(const std::vector<TFunction*>& procedures, uint32_t codeSize);
  // Zero-fills to the next multiple of the alignment: always at least one byte.
  void padTo(uint32_t alignment);
  uint32_t length() const { return static_cast<uint32_t>(file_data.size() + viewed_); }
  // Writes the file under a temporary name beside the target and renames it into place.
  void writeFile(const std::string& fileName) const;

 private:
  struct TView {
    size_t at;  // goes in after this many bytes of file_data
    std::string_view bytes;
    const std::vector<TFunction*>* procedures;  // or their code, when set
  };
  std::vector<TView> views_;
  size_t viewed_ = 0;
};

// One output section: its 40-byte header, its address and where its header sits in the file.
class TCOFFSectionHeader {
 public:
  TCOFFSectionHeader(std::string_view strName, uint32_t flags, uint32_t curFilePos);
  uint32_t RVA = 0x1000;
  uint32_t FilePosition = 0;  // 1-based
  TSectionHeader Header;
};

}  // namespace kelvo
