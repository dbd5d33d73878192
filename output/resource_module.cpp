#include "output/resource_module.h"

#include <algorithm>
#include <stdexcept>

namespace kelvo {

namespace {

std::vector<TResourceDetailsClass>& registry() {
  static std::vector<TResourceDetailsClass> classes;
  return classes;
}

bool isTextChar(uint32_t c) { return (c >= 32 && c <= 127) || c == 9 || c == 10 || c == 13; }

// Primary language → ANSI code page, for the languages whose code page is not 1252.
struct TLangPage {
  uint16_t primary;
  uint16_t codePage;
};
constexpr TLangPage kCodePages[] = {
    {0x01, 1256}, {0x02, 1251}, {0x05, 1250}, {0x08, 1253}, {0x0D, 1255}, {0x0E, 1250}, {0x11, 932},
    {0x12, 949},  {0x15, 1250}, {0x18, 1250}, {0x19, 1251}, {0x1A, 1250}, {0x1B, 1250}, {0x1C, 1250},
    {0x1E, 874},  {0x1F, 1254}, {0x20, 1256}, {0x22, 1251}, {0x23, 1251}, {0x24, 1250}, {0x25, 1257},
    {0x26, 1257}, {0x27, 1257}, {0x29, 1256}, {0x2A, 1258}, {0x2F, 1251}, {0x3F, 1251}, {0x44, 1251},
};

}  // namespace

int32_t DefaultCodePage(uint32_t language) {
  switch (language & 0xFFFF) {  // the ones whose sublanguage decides
    case 0x0404: case 0x0C04: case 0x1404: return 950;   // Chinese, traditional
    case 0x0804: case 0x1004: return 936;                 // Chinese, simplified
    case 0x0C1A: case 0x1C1A: return 1251;                // Serbian and Bosnian, Cyrillic
    default: break;
  }
  for (const TLangPage& p : kCodePages)
    if (p.primary == (language & 0x3FF)) return p.codePage;
  return 1252;
}

void RegisterResourceDetails(const TResourceDetailsClass& detailsClass) { registry().push_back(detailsClass); }
void UnregisterAllResourceDetails() { registry().clear(); }

TResourceDetails::TResourceDetails(TResourceModule* parent, uint32_t language, std::string name, std::string type,
                                   size_t size, const void* data)
    : fParent(parent),
      fCodePage(DefaultCodePage(language)),
      fResourceLanguage(language),
      fResourceName(std::move(name)),
      fResourceType(std::move(type)) {
  if (data) fData.assign(static_cast<const char*>(data), size);
}

void TResourceDetails::SetResourceName(const std::string& name) {
  if (name != fResourceName) fDirty = true;
  fResourceName = name;
}

void TResourceDetails::SetResourceType(const std::string& type) {
  if (type != fResourceType) fDirty = true;
  fResourceType = type;
}

void TResourceDetails::ChangeData(const std::string& newData) { fData = newData; }

// The registry first: classes of the type (raw data only when the class takes it under this
// name), then classes that take the data; then text in 8 or 16 bits, else plain details. A
// class whose check fails with an exception ends the registry's part of the search.
std::unique_ptr<TResourceDetails> TResourceDetails::CreateResourceDetails(TResourceModule* parent,
                                                                          uint32_t language, const std::string& name,
                                                                          const std::string& type, size_t size,
                                                                          const void* data) {
  const TResourceDetailsClass* chosen = nullptr;
  try {
    for (const TResourceDetailsClass& c : registry())
      if (c.baseType() == type && (type != "10" || c.supportsRCData(name, size, data))) {
        chosen = &c;
        break;
      }
    if (!chosen)
      for (const TResourceDetailsClass& c : registry())
        if (c.supportsData(size, data)) {
          chosen = &c;
          break;
        }
  } catch (const std::exception&) {
    chosen = nullptr;
  }
  if (chosen) return chosen->create(parent, language, name, type, size, data);
  if (TAnsiResourceDetails::SupportsData(size, data))
    return DetailsClassOf<TAnsiResourceDetails>().create(parent, language, name, type, size, data);
  if (TUnicodeResourceDetails::SupportsData(size, data))
    return DetailsClassOf<TUnicodeResourceDetails>().create(parent, language, name, type, size, data);
  return DetailsClassOf<TResourceDetails>().create(parent, language, name, type, size, data);
}

bool TAnsiResourceDetails::SupportsData(size_t size, const void* data) {
  if (size < 1 || !data) return false;
  const auto* p = static_cast<const uint8_t*>(data);
  for (size_t i = 0; i < size && i < 1024; ++i)
    if (!isTextChar(p[i])) return false;
  return true;
}

bool TUnicodeResourceDetails::SupportsData(size_t size, const void* data) {
  if (size <= 5 || !data) return false;
  const auto* p = static_cast<const uint8_t*>(data);
  const size_t chars = std::min<size_t>(size / 2, 1024);
  for (size_t i = 0; i + 1 < chars; ++i)  // the last one may be the terminating zero
    if (!isTextChar(p[2 * i] | static_cast<uint32_t>(p[2 * i + 1]) << 8)) return false;
  return true;
}

std::u16string TUnicodeResourceDetails::Text() const {
  std::u16string text(fData.size() / 2, u'\0');
  for (size_t i = 0; i < text.size(); ++i)
    text[i] = static_cast<char16_t>(static_cast<uint8_t>(fData[2 * i]) | static_cast<uint8_t>(fData[2 * i + 1]) << 8);
  return text;
}

void TUnicodeResourceDetails::SetText(const std::u16string& text) {
  std::string bytes;
  bytes.reserve(text.size() * 2);
  for (char16_t c : text) {
    bytes.push_back(static_cast<char>(c & 0xFF));
    bytes.push_back(static_cast<char>(c >> 8));
  }
  ChangeData(bytes);
}

}  // namespace kelvo
