// Resources as objects: a module that holds resources, and a details class per kind of
// resource data, chosen from a registry of detail classes. No build step uses these; they are
// a base for tools that read and edit resources.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <memory>
#include <string>
#include <vector>

namespace kelvo {

class TResourceModule;

class TResourceDetails {
 public:
  // `data` may be null: the details then start with the class's new data (InitNew).
  TResourceDetails(TResourceModule* parent, uint32_t language, std::string name, std::string type, size_t size,
                   const void* data);
  virtual ~TResourceDetails() = default;
  TResourceDetails(const TResourceDetails&) = delete;
  TResourceDetails& operator=(const TResourceDetails&) = delete;

  virtual void InitNew() {}
  virtual void SetResourceName(const std::string& name);
  void SetResourceType(const std::string& type);
  virtual std::string& Data() { return fData; }
  virtual void BeforeDelete() {}
  virtual void ChangeData(const std::string& newData);
  // What a class accepts: raw data of type "10" under this name, or data in general.
  static bool SupportsRCData(const std::string&, size_t, const void*) { return false; }
  static bool SupportsData(size_t, const void*) { return false; }
  static std::string GetBaseType() { return "0"; }

  // Details of type T::GetBaseType(), registered with the parent, which owns them; null when
  // the parent does not take resources.
  template <class T>
  static T* CreateNew(TResourceModule* parent, uint32_t language, const std::string& name);
  // The details object that suits the data best (see the registry below).
  static std::unique_ptr<TResourceDetails> CreateResourceDetails(TResourceModule* parent, uint32_t language,
                                                                 const std::string& name, const std::string& type,
                                                                 size_t size, const void* data);

  TResourceModule* Parent() const { return fParent; }
  const std::string& RawData() const { return fData; }
  const std::string& ResourceName() const { return fResourceName; }
  const std::string& ResourceType() const { return fResourceType; }
  uint32_t ResourceLanguage() const { return fResourceLanguage; }
  int32_t CodePage() const { return fCodePage; }
  bool Dirty() const { return fDirty; }
  void SetDirty(bool dirty) { fDirty = dirty; }

  uint32_t fCharacteristics = 0, fVersion = 0, fDataVersion = 0;
  uint16_t fMemoryFlags = 0;
  int32_t fTag = 0;

 protected:
  TResourceModule* fParent;
  std::string fData;
  int32_t fCodePage;
  uint32_t fResourceLanguage;
  std::string fResourceName, fResourceType;
  bool fDirty = false;
};

// Text resources: 8-bit characters.
class TAnsiResourceDetails : public TResourceDetails {
 public:
  using TResourceDetails::TResourceDetails;
  void InitNew() override { fData.clear(); }
  static bool SupportsData(size_t size, const void* data);
  std::string Text() const { return fData; }
  void SetText(const std::string& text) { ChangeData(text); }
};

// Text resources: 16-bit characters.
class TUnicodeResourceDetails : public TResourceDetails {
 public:
  using TResourceDetails::TResourceDetails;
  void InitNew() override { fData.clear(); }
  static bool SupportsData(size_t size, const void* data);
  std::u16string Text() const;
  void SetText(const std::u16string& text);
};

// A details class as the registry knows it.
struct TResourceDetailsClass {
  std::string (*baseType)();
  bool (*supportsRCData)(const std::string& name, size_t size, const void* data);
  bool (*supportsData)(size_t size, const void* data);
  std::unique_ptr<TResourceDetails> (*create)(TResourceModule*, uint32_t, const std::string&, const std::string&,
                                              size_t, const void*);
};

template <class T>
TResourceDetailsClass DetailsClassOf() {
  return {&T::GetBaseType, &T::SupportsRCData, &T::SupportsData,
          [](TResourceModule* p, uint32_t l, const std::string& n, const std::string& t, size_t s, const void* d) {
            std::unique_ptr<TResourceDetails> r = std::make_unique<T>(p, l, n, t, s, d);
            if (!d) r->InitNew();
            return r;
          }};
}

// The classes CreateResourceDetails tries before the built-in ones. Nothing registers here
// by default.
void RegisterResourceDetails(const TResourceDetailsClass& detailsClass);
void UnregisterAllResourceDetails();

// The default ANSI code page of a language id (1252 for languages it does not know).
int32_t DefaultCodePage(uint32_t language);

class TResourceModule {
 public:
  virtual ~TResourceModule() = default;
  virtual int ResourceCount() const = 0;
  virtual TResourceDetails* ResourceByIndex(int idx) const = 0;
  virtual void DeleteResource(int idx);
  virtual void InsertResource(int, std::unique_ptr<TResourceDetails>) {}
  // Takes the details; the index they got, or -1 when the module does not hold resources.
  virtual int AddResource(std::unique_ptr<TResourceDetails>) { return -1; }
  virtual int IndexOfResource(const TResourceDetails* details) const = 0;
  virtual void SaveToStream(std::ostream& stream);
  virtual void LoadFromStream(std::istream& stream);
  // Writes through SaveToStream; the file before is kept under the backup name, and put back
  // when writing fails.
  virtual void SaveToFile(const std::string& fileName);
  virtual void LoadFromFile(const std::string& fileName);
  virtual void SortResources() {}

  TResourceDetails* FindResource(const std::string& type, const std::string& name, uint32_t language) const;
  std::string GetUniqueResourceName(const std::string& type) const;
  bool Dirty() const;
  void ClearDirty();
  static std::string BackupName(const std::string& fileName);

 protected:
  bool fDirty = false;
};

template <class T>
T* TResourceDetails::CreateNew(TResourceModule* parent, uint32_t language, const std::string& name) {
  auto created = std::make_unique<T>(parent, language, name, T::GetBaseType(), 0, nullptr);
  created->InitNew();
  T* raw = created.get();
  if (!parent || parent->AddResource(std::move(created)) < 0) return nullptr;
  return raw;
}

}  // namespace kelvo
