#include "frontend/source_file.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <limits>
#include <sstream>
#include <stdexcept>

#include "platform/file_status.h"
#include "platform/system.h"

namespace kelvo {

static std::string shortName(const std::string& name) {
  size_t cut = name.size();
  while (cut > 0 && !platform::isSeparator(name[cut - 1])) --cut;
  return name.substr(cut);
}

void TAFile::resetPosition(const std::string& name, int32_t parent) {
  intCurChar = 0;
  intCurLine = 1;
  intCurLineChar = 0;  // reading the first character makes it column 1
  macID = -1;
  boolAssembled = false;
  bPopMacroStack = 0;
  strShortFileName = shortName(name);
  intParent = parent;
}

int TAFile::LoadFromFile(const std::string& fileName, int32_t parent) {
  resetPosition(fileName, parent);
  strSource.clear();
  intSourceLen = 0;
  const std::string host = platform::toHostPath(fileName);
  platform::TFileStatus st;
  if (!platform::fileStatus(host, st))
    throw std::runtime_error("Cannot open file \"" + fileName + "\": " + std::strerror(errno));
  if (st.isFolder)
    throw std::runtime_error("Cannot open file \"" + fileName + "\": it is a folder");
  if (st.size > static_cast<uint64_t>(std::numeric_limits<int32_t>::max()))
    throw std::runtime_error("File \"" + fileName + "\" is too large");
  const auto size = static_cast<size_t>(st.size);
  if (size < TSourceText::kMapFrom || !st.isRegular || !strSource.map(host, size)) {
    std::ifstream in(host, std::ios::binary);
    if (!in) throw std::runtime_error("Cannot open file \"" + fileName + "\": " + std::strerror(errno));
    // One read into a string of the file's size: a stream buffer would copy the text twice.
    std::string text(size, '\0');
    in.read(text.data(), static_cast<std::streamsize>(text.size()));
    if (in.bad() || static_cast<size_t>(in.gcount()) != text.size())
      throw std::runtime_error("Cannot read file \"" + fileName + "\"");
    strSource.assign(std::move(text));
  }
  intSourceLen = static_cast<int32_t>(strSource.size());
  // The text keeps a UTF-8 byte order mark, but reading starts after it.
  if (std::string_view(strSource).substr(0, 3) == "\xEF\xBB\xBF") intCurChar = 3;
  return 0;
}

void TAFile::ReleaseText() {
  auto isLineBreak = [](char c) { return c == '\0' || c == '\n' || c == '\r'; };
  int32_t start = intCurChar;
  while (start >= 1 && !isLineBreak(CharAt(start))) --start;
  int32_t end = intCurChar < 1 ? 1 : intCurChar;
  while (end <= intSourceLen && !isLineBreak(CharAt(end))) ++end;
  // The line lies between the breaks at start and end; with the text before it gone, the
  // start of the text stands where the break was.
  std::string line;
  if (start + 1 < end) {
    line = strSource.substr(static_cast<size_t>(start), static_cast<size_t>(end - start - 1));
    intCurChar -= start;
  }
  strSource.assign(std::move(line));
  intSourceLen = static_cast<int32_t>(strSource.size());
}

int TAFile::InitFromText(const std::string& name, const std::string& text, int32_t parent) {
  resetPosition(name, parent);
  strSource.assign(text);
  intSourceLen = static_cast<int32_t>(strSource.size());
  return 0;
}

void AdvancePosition(const TAFile& f, int32_t from, int32_t to, int32_t& line, int32_t& column) {
  for (int32_t p = from + 1; p <= to; ++p) {
    const char c = f.CharAt(p);
    if (c == '\r' || (c == '\n' && f.CharAt(p - 1) != '\r')) {
      ++line;
      column = 0;
    } else if (c == '\n') {
      column = 0;
    } else {
      ++column;
    }
  }
}

void TAFile::CutFrom(const TAFile& from, int32_t first, int32_t line, int32_t column) {
  originFile = from.intID;
  originChar = first;
  originLine = line;
  originColumn = column;
  // A text cut from a cut text lies in the same loaded file.
  if (from.originFile >= 0) {
    originFile = from.originFile;
    from.PlaceInOrigin(originChar, originLine, originColumn);
  }
}

void TAFile::PlaceInOrigin(int32_t& charPos, int32_t& line, int32_t& column) const {
  if (charPos < 1) {
    charPos = 1;
    line = 1;
    column = 1;
  }
  charPos += originChar - 1;
  column = line == 1 ? originColumn + column - 1 : column;
  line += originLine - 1;
}

}  // namespace kelvo
