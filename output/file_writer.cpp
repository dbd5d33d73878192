#include "output/file_writer.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <vector>

#include "common/definitions.h"

namespace kelvo {

bool TFileWriter::alignFileToSize(uint32_t si) {
  if (length() > si) return false;
  file_data.append(si - length(), '\0');
  return true;
}

uint32_t TFileWriter::addFileBytes(const void* x, uint32_t bytes) {
  const uint32_t position = length() + 1;
  file_data.append(static_cast<const char*>(x), bytes);
  return position;
}

uint32_t TFileWriter::addFileBytes(std::string_view bytes) {
  return addFileBytes(bytes.data(), static_cast<uint32_t>(bytes.size()));
}

uint32_t TFileWriter::addFileView(std::string_view bytes) {
  const uint32_t position = length() + 1;
  views_.push_back({file_data.size(), bytes, nullptr});
  viewed_ += bytes.size();
  return position;
}

uint32_t TFileWriter::addFileView(const std::vector<TFunction*>& procedures, uint32_t codeSize) {
  const uint32_t position = length() + 1;
  views_.push_back({file_data.size(), {}, &procedures});
  viewed_ += codeSize;
  return position;
}

void TFileWriter::padTo(uint32_t alignment) { file_data.append(alignment - length() % alignment, '\0'); }

void TFileWriter::writeFile(const std::string& fileName) const {
  const std::string temp = fileName + ".kelvo-part";
  std::FILE* f = std::fopen(temp.c_str(), "wb");
  bool ok = f != nullptr;
  // Procedures are written one by one and most are small: they are gathered here, a copy that
  // costs less than a call into the stream for each, and the stream gets whole buffers.
  std::vector<char> buffer(size_t{64} << 10);
  size_t used = 0;
  if (f) std::setvbuf(f, nullptr, _IONBF, 0);
  auto flush = [&] {
    ok = ok && (used == 0 || std::fwrite(buffer.data(), 1, used, f) == used);
    used = 0;
  };
  auto put = [&](const char* bytes, size_t count) {
    if (count > buffer.size() - used) {
      flush();
      if (count >= buffer.size()) {
        ok = ok && std::fwrite(bytes, 1, count, f) == count;
        return;
      }
    }
    if (count != 0) std::memcpy(buffer.data() + used, bytes, count);
    used += count;
  };
  size_t from = 0;
  for (const TView& v : views_) {
    put(file_data.data() + from, v.at - from);
    put(v.bytes.data(), v.bytes.size());
    if (v.procedures)
      for (const TFunction* p : *v.procedures) put(p->recAssembler.strCode.data(), p->recAssembler.strCode.size());
    from = v.at;
  }
  put(file_data.data() + from, file_data.size() - from);
  flush();
  if (f) ok = std::fclose(f) == 0 && ok;
  std::error_code ec;
  if (ok) std::filesystem::rename(temp, fileName, ec);
  if (!ok || ec) {
    std::filesystem::remove(temp, ec);
    throw ECompileError("Cannot create the output file \"" + fileName + "\"");
  }
}

TCOFFSectionHeader::TCOFFSectionHeader(std::string_view strName, uint32_t flags, uint32_t curFilePos)
    : FilePosition(curFilePos + 1) {
  // The name field holds 8 bytes; the 8th is always left zero.
  strName.copy(Header.Name, strName.size() < 7 ? strName.size() : 7);
  Header.VirtualSize = 512;
  Header.SizeOfRawData = 512;
  Header.PointerToRawData = 512;
  Header.Characteristics = flags;
}

}  // namespace kelvo
