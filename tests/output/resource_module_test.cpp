// The resource container classes: which details class the data gets, lookups with their
// language fallback, unique names, dirty tracking, and saving with backup and restore.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "output/resource_module.h"

namespace kelvo {
namespace {

// A module that holds its resources in memory and writes their data one after the other.
class TListModule : public TResourceModule {
 public:
  std::vector<std::unique_ptr<TResourceDetails>> items;
  int failAfter = -1;  // the resource after whose data writing fails; -1: never
  int ResourceCount() const override { return static_cast<int>(items.size()); }
  TResourceDetails* ResourceByIndex(int idx) const override { return items[static_cast<size_t>(idx)].get(); }
  int AddResource(std::unique_ptr<TResourceDetails> details) override {
    items.push_back(std::move(details));
    return ResourceCount() - 1;
  }
  int IndexOfResource(const TResourceDetails* details) const override {
    for (size_t i = 0; i < items.size(); ++i)
      if (items[i].get() == details) return static_cast<int>(i);
    return -1;
  }
  void SaveToStream(std::ostream& out) override {
    for (int i = 0; i < ResourceCount(); ++i) {
      out << items[static_cast<size_t>(i)]->RawData();
      out.flush();
      if (i == failAfter) throw std::runtime_error("disk full");
    }
  }
  void LoadFromStream(std::istream& in) override {
    std::stringstream all;
    all << in.rdbuf();
    items.clear();
    add("10", "1", 0, all.str());
  }
  TResourceDetails* add(const std::string& type, const std::string& name, uint32_t lang, const std::string& data) {
    AddResource(TResourceDetails::CreateResourceDetails(this, lang, name, type, data.size(), data.data()));
    return items.back().get();
  }
};

class TNoModule : public TResourceModule {
 public:
  int ResourceCount() const override { return 0; }
  TResourceDetails* ResourceByIndex(int) const override { return nullptr; }
  int IndexOfResource(const TResourceDetails*) const override { return -1; }
};

template <class T>
bool is(const std::unique_ptr<TResourceDetails>& d) {
  return typeid(*d) == typeid(T);
}

std::unique_ptr<TResourceDetails> made(const std::string& data, const std::string& type = "6") {
  return TResourceDetails::CreateResourceDetails(nullptr, 1033, "1", type, data.size(), data.data());
}

TEST(ResourceDetails, TheClassChosenForTheData) {
  EXPECT_TRUE(is<TAnsiResourceDetails>(made("Hello\r\n\tworld")));
  EXPECT_TRUE(is<TResourceDetails>(made(std::string("Hi\0", 3))));  // a zero is no text
  EXPECT_TRUE(is<TResourceDetails>(made("")));
  EXPECT_TRUE(is<TUnicodeResourceDetails>(made(std::string("H\0i\0!\0\0\0", 8))));
  EXPECT_TRUE(is<TResourceDetails>(made(std::string("H\0i\0", 4))));  // 5 bytes or fewer
  EXPECT_TRUE(is<TUnicodeResourceDetails>(made(std::string("H\0i\0!\0\x01\x02", 8))));  // the last may be anything
  EXPECT_TRUE(is<TResourceDetails>(made("\x80\x81\x82")));
  // Only the first 1024 bytes are looked at.
  EXPECT_TRUE(is<TAnsiResourceDetails>(made(std::string(1024, 'a') + std::string(1, '\0'))));
  std::string wide;
  for (int i = 0; i < 1024; ++i) wide += std::string("a\0", 2);
  EXPECT_TRUE(is<TUnicodeResourceDetails>(made(wide + std::string("\x01\x01", 2))));

  const auto d = made("text");
  EXPECT_EQ(d->CodePage(), 1252);
  EXPECT_EQ(made("x", "6")->ResourceLanguage(), 1033u);
  EXPECT_EQ(TResourceDetails::CreateResourceDetails(nullptr, 0x0419, "1", "6", 1, "x")->CodePage(), 1251);
  EXPECT_EQ(TResourceDetails::CreateResourceDetails(nullptr, 0x0411, "1", "6", 1, "x")->CodePage(), 932);
  EXPECT_EQ(TResourceDetails::CreateResourceDetails(nullptr, 0x0804, "1", "6", 1, "x")->CodePage(), 936);
  EXPECT_EQ(TResourceDetails::CreateResourceDetails(nullptr, 0x0404, "1", "6", 1, "x")->CodePage(), 950);
}

// A registered class that wants type "20", and one whose check throws.
struct TIconDetails : TResourceDetails {
  using TResourceDetails::TResourceDetails;
  static std::string GetBaseType() { return "20"; }
};
struct TThrowingDetails : TResourceDetails {
  using TResourceDetails::TResourceDetails;
  static bool SupportsData(size_t, const void*) { throw std::runtime_error("broken check"); }
};

TEST(ResourceDetails, RegisteredClassesComeFirstAndAThrowingCheckEndsTheSearch) {
  RegisterResourceDetails(DetailsClassOf<TIconDetails>());
  EXPECT_TRUE(is<TIconDetails>(made("text", "20")));
  EXPECT_TRUE(is<TAnsiResourceDetails>(made("text", "21")));
  RegisterResourceDetails(DetailsClassOf<TThrowingDetails>());
  EXPECT_TRUE(is<TAnsiResourceDetails>(made("text", "21")));
  UnregisterAllResourceDetails();
  EXPECT_TRUE(is<TAnsiResourceDetails>(made("text", "20")));
}

TEST(ResourceDetails, TextAndNewDetails) {
  TListModule m;
  auto* a = TResourceDetails::CreateNew<TAnsiResourceDetails>(&m, 1031, "5");
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(a->ResourceType(), "0");
  EXPECT_EQ(a->RawData(), "");
  a->SetText("abc");
  EXPECT_EQ(a->RawData(), "abc");
  auto* u = TResourceDetails::CreateNew<TUnicodeResourceDetails>(&m, 0, "6");
  u->SetText(u"hé");
  EXPECT_EQ(u->RawData(), std::string("h\0\xE9\0", 4));
  EXPECT_EQ(u->Text(), u"hé");
  EXPECT_EQ(m.ResourceCount(), 2);
  TNoModule none;
  EXPECT_EQ(TResourceDetails::CreateNew<TAnsiResourceDetails>(&none, 0, "1"), nullptr);
}

TEST(ResourceModule, FindResourceFallsBackToTheNeutralLanguage) {
  TListModule m;
  TResourceDetails* neutral = m.add("6", "1", 0, "n");
  TResourceDetails* german = m.add("6", "1", 1031, "g");
  m.add("6", "2", 1033, "e");
  EXPECT_EQ(m.FindResource("6", "1", 1031), german);
  EXPECT_EQ(m.FindResource("6", "1", 1033), neutral);
  EXPECT_EQ(m.FindResource("6", "2", 1031), nullptr);
  EXPECT_EQ(m.FindResource("6", "01", 0), nullptr);  // texts compare exactly
  EXPECT_EQ(m.FindResource("06", "1", 0), nullptr);
}

TEST(ResourceModule, UniqueNames) {
  TListModule m;
  EXPECT_EQ(m.GetUniqueResourceName("6"), "1");
  m.add("6", "icon", 0, "x");
  EXPECT_EQ(m.GetUniqueResourceName("6"), "1");
  m.add("6", "007", 0, "x");
  m.add("6", "3", 0, "x");
  m.add("6", "12a", 0, "x");
  m.add("9", "40", 0, "x");
  m.add("6", "99999999999999999999999", 0, "x");
  EXPECT_EQ(m.GetUniqueResourceName("6"), "8");
  EXPECT_EQ(m.GetUniqueResourceName("9"), "41");
}

TEST(ResourceModule, DirtyTracking) {
  TListModule m;
  TResourceDetails* r = m.add("6", "1", 0, "x");
  EXPECT_FALSE(m.Dirty());
  r->SetResourceName("1");
  EXPECT_FALSE(m.Dirty());
  r->SetResourceName("2");
  EXPECT_TRUE(m.Dirty());
  m.ClearDirty();
  r->SetResourceType("7");
  EXPECT_TRUE(r->Dirty());
  m.ClearDirty();
  m.DeleteResource(0);
  EXPECT_TRUE(m.Dirty());
}

class ResourceFiles : public ::testing::Test {
 protected:
  std::filesystem::path dir = std::filesystem::temp_directory_path() /
                              ("kelvo-resmod-" + std::to_string(::getpid()) + "-" +
                               ::testing::UnitTest::GetInstance()->current_test_info()->name());
  void SetUp() override { std::filesystem::create_directories(dir); }
  void TearDown() override { std::filesystem::remove_all(dir); }
  std::string read(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }
  void write(const std::filesystem::path& p, const std::string& text) { std::ofstream(p, std::ios::binary) << text; }
};

TEST_F(ResourceFiles, BackupNames) {
  EXPECT_EQ(TResourceModule::BackupName("a.res"), "a.~res");
  EXPECT_EQ(TResourceModule::BackupName("dir/a.b.res"), "dir/a.b.~res");
  EXPECT_EQ(TResourceModule::BackupName("a"), "a.~");
  EXPECT_EQ(TResourceModule::BackupName("dir.x/a"), "dir.x/a.~");
}

TEST_F(ResourceFiles, SaveKeepsABackupAndClearsDirty) {
  const std::string file = (dir / "m.res").string();
  write(file, "old");
  write(dir / "m.~res", "older");
  TListModule m;
  m.add("6", "1", 0, "new")->SetResourceName("2");
  m.SaveToFile(file);
  EXPECT_EQ(read(file), "new");
  EXPECT_EQ(read(dir / "m.~res"), "old");
  EXPECT_FALSE(m.Dirty());
  TListModule loaded;
  loaded.LoadFromFile(file);
  EXPECT_EQ(loaded.items.at(0)->RawData(), "new");
  EXPECT_THROW(loaded.LoadFromFile((dir / "none.res").string()), std::runtime_error);
}

TEST_F(ResourceFiles, AWriteThatFailsHalfWayLeavesTheOriginalAsItWas) {
  const std::string file = (dir / "m").string();
  write(file, "original bytes");
  TListModule m;
  m.add("6", "1", 0, "first part ");
  m.add("6", "2", 0, "second part")->SetResourceName("3");
  m.failAfter = 0;
  EXPECT_THROW(m.SaveToFile(file), std::runtime_error);
  EXPECT_EQ(read(file), "original bytes");
  EXPECT_FALSE(std::filesystem::exists(dir / "m.~"));
  EXPECT_TRUE(m.Dirty());
  // With no file before, a failed write leaves none behind.
  const std::string fresh = (dir / "fresh.res").string();
  EXPECT_THROW(m.SaveToFile(fresh), std::runtime_error);
  EXPECT_FALSE(std::filesystem::exists(fresh));
}

TEST_F(ResourceFiles, TheBaseModuleDoesNotStream) {
  TNoModule m;
  const std::string file = (dir / "base.res").string();
  write(file, "kept");
  try {
    m.SaveToFile(file);
    FAIL() << "no exception";
  } catch (const std::runtime_error& e) {
    EXPECT_STREQ(e.what(), "Module doesn't support streaming");
  }
  EXPECT_EQ(read(file), "kept");
  std::stringstream s;
  EXPECT_THROW(m.LoadFromStream(s), std::runtime_error);
  EXPECT_EQ(m.AddResource(nullptr), -1);
}

}  // namespace
}  // namespace kelvo
