// The resource module's lookups, dirty state and files.
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <stdexcept>

#include "output/resource_module.h"

namespace kelvo {

void TResourceModule::DeleteResource(int idx) {
  fDirty = true;
  if (TResourceDetails* r = ResourceByIndex(idx)) r->BeforeDelete();
}

void TResourceModule::SaveToStream(std::ostream&) { throw std::runtime_error("Module doesn't support streaming"); }
void TResourceModule::LoadFromStream(std::istream&) { throw std::runtime_error("Module doesn't support streaming"); }

// The exact language first, then the neutral one.
TResourceDetails* TResourceModule::FindResource(const std::string& type, const std::string& name,
                                                uint32_t language) const {
  TResourceDetails* neutral = nullptr;
  for (int i = 0; i < ResourceCount(); ++i) {
    TResourceDetails* r = ResourceByIndex(i);
    if (r->ResourceType() != type || r->ResourceName() != name) continue;
    if (r->ResourceLanguage() == language) return r;
    if (!neutral && r->ResourceLanguage() == 0) neutral = r;
  }
  return neutral;
}

// One above the largest all-digit name of the type. Names of more than 18 digits are past
// any count of resources and are left out, so the arithmetic cannot overflow.
std::string TResourceModule::GetUniqueResourceName(const std::string& type) const {
  int64_t largest = 0;  // other names count as -1, so they never raise it
  for (int i = 0; i < ResourceCount(); ++i) {
    const TResourceDetails* r = ResourceByIndex(i);
    if (r->ResourceType() != type) continue;
    const std::string& name = r->ResourceName();
    if (name.empty() || name.size() > 18 || name.find_first_not_of("0123456789") != std::string::npos) continue;
    largest = std::max<int64_t>(largest, std::stoll(name));
  }
  return std::to_string(largest + 1);
}

bool TResourceModule::Dirty() const {
  if (fDirty) return true;
  for (int i = 0; i < ResourceCount(); ++i)
    if (ResourceByIndex(i)->Dirty()) return true;
  return false;
}

void TResourceModule::ClearDirty() {
  fDirty = false;
  for (int i = 0; i < ResourceCount(); ++i) ResourceByIndex(i)->SetDirty(false);
}

// "name.ext" → "name.~ext"; "name" → "name.~". Only the last part of the path counts.
std::string TResourceModule::BackupName(const std::string& fileName) {
  const size_t slash = fileName.find_last_of("/\\");
  const size_t dot = fileName.find_last_of('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return fileName + ".~";
  return fileName.substr(0, dot + 1) + "~" + fileName.substr(dot + 1);
}

void TResourceModule::SaveToFile(const std::string& fileName) {
  namespace fs = std::filesystem;
  const std::string backup = BackupName(fileName);
  const bool hadFile = fs::exists(fileName);
  if (hadFile) {
    fs::remove(backup);
    fs::rename(fileName, backup);
  }
  try {
    std::ofstream out(fileName, std::ios::binary | std::ios::trunc);
    if (!out) throw std::runtime_error("Cannot create file \"" + fileName + "\"");
    SaveToStream(out);
    out.close();
    if (out.fail()) throw std::runtime_error("Cannot write file \"" + fileName + "\"");
  } catch (...) {
    std::error_code ignored;
    fs::remove(fileName, ignored);
    if (hadFile) fs::rename(backup, fileName, ignored);
    throw;
  }
  ClearDirty();
}

void TResourceModule::LoadFromFile(const std::string& fileName) {
  std::ifstream in(fileName, std::ios::binary);
  if (!in) throw std::runtime_error("Cannot open file \"" + fileName + "\"");
  LoadFromStream(in);
}

}  // namespace kelvo
