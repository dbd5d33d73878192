// The scoped identifier table and the lookups built on it.
#include <chrono>

#include "tests/frontend/frontend_fixture.h"

namespace kelvo::testing {
namespace {

TIdentifier* add(TSmartList& t, const std::string& name, TIdentType kind = itIdent, int32_t pos = 0) {
  return t.Declare(name, kind, pos);
}

TEST(SmartList, ScopesHideAndReveal) {
  TSmartList t;
  t.Init();
  TIdentifier* outer = add(t, "x");
  EXPECT_EQ(t.NextScope(), 1);
  TIdentifier* inner = add(t, "x");
  EXPECT_EQ(inner->identScope, 1);
  EXPECT_EQ(t.Find(0, "X"), inner);
  t.PopScope(1);
  EXPECT_EQ(t.Find(0, "x"), outer);
  EXPECT_EQ(t.F_CurScope, 0);
  // Popping stops at the first entry of another scope, even with older ones of the scope below it.
  t.NextScope();
  add(t, "a1");
  t.F_CurScope = 0;
  add(t, "a2");
  t.F_CurScope = 1;
  add(t, "a3");
  t.PopScope(1);
  EXPECT_EQ(t.Find(0, "a3"), nullptr);
  EXPECT_NE(t.Find(0, "a2"), nullptr);
  EXPECT_NE(t.Find(0, "a1"), nullptr);
}

TEST(SmartList, Remove) {
  TSmartList t;
  t.Init();
  TIdentifier* first = add(t, "Abc");
  add(t, "abc");
  EXPECT_EQ(t.F_List[0].entries.size(), 2u);
  EXPECT_TRUE(t.Remove("ABC"));
  EXPECT_EQ(t.Find(0, "abc"), first);
  add(t, "abd");
  EXPECT_TRUE(t.Remove("abc"));
  EXPECT_FALSE(t.Remove("abc"));
  EXPECT_NE(t.Find(0, "abd"), nullptr);  // positions stay right after a removal
}

TEST_F(FrontEnd, FindBelowStartSeesOnlyEntriesVisibleOutsideTheirScope) {
  TSmartList& t = c.SmartIdents;
  t.Free();
  auto data = [&](TDataMode mode) {
    auto d = std::make_unique<TData>();
    d->dataMode = mode;
    c.listData.push_back(std::move(d));
    return static_cast<int32_t>(c.listData.size() - 1);
  };
  add(t, "q", itData, data(dmVar));      // position 0
  add(t, "q", itData, data(dmPointer));  // 1
  add(t, "q", itIdent);                  // 2
  EXPECT_EQ(t.Find(3, "q"), &t.F_List['q' - 'a'].entries[0]);
  EXPECT_EQ(t.Find(2, "q"), &t.F_List['q' - 'a'].entries[2]);
  EXPECT_EQ(t.Find(0, "q"), &t.F_List['q' - 'a'].entries[2]);
  add(t, "r", itData, data(dmBlock));
  EXPECT_EQ(t.Find(1, "r"), nullptr);
  add(t, "r", itType);
  EXPECT_EQ(t.Find(5, "r"), &t.F_List['r' - 'a'].entries[1]);
}

TEST_F(FrontEnd, LookupsAndRegistrations) {
  EXPECT_EQ(c.FindType("DWord")->typeSize, 4);
  EXPECT_EQ(c.FindType("proc1"), nullptr);  // no message: the caller reports
  EXPECT_EQ(c.FindProc("PROC1"), c.listProcedures[1].get());
  EXPECT_EQ(printedBy([&] { c.FindProc("dword"); }), "[0,0]: dword is not a valid function or procedure in []\n|" +
                                                         std::string(kSilentAbort));
  EXPECT_NE(printedBy([&] { c.FindType("nothing_here"); }).find("Unable to find data type nothing_here"),
            std::string::npos);
  EXPECT_NE(printedBy([&] { c.FindProc("nothing_here"); }).find("Unable to find function or procedure nothing_here"),
            std::string::npos);
  EXPECT_TRUE(c.AddType("s8", 1, -1, 127)->typeSigned);
  const PDataType u = c.AddType("U8", 1, 0, 255);
  EXPECT_FALSE(u->typeSigned);
  EXPECT_EQ(c.FindType("u8"), u);
  EXPECT_EQ(c.listTypes[static_cast<size_t>(u->typeIdent)].get(), u);
  const PData k = c.AddNamedConst("Limit", 99);
  EXPECT_EQ(k->dataMode, dmConst);
  EXPECT_EQ(k->dataType, c.compilerPtrType);
  EXPECT_EQ(c.listData[static_cast<size_t>(k->dataIdent)].get(), k);
  const TIdentifier* e = c.SmartIdents.Find(0, "LIMIT");
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(c.SmartIdents.NameOf(*e), "limit");
  EXPECT_EQ(e->identType, itData);
}

// A name of k, every third too long to lie in its entry.
std::string nameK(uint32_t k) { return "k" + std::to_string(k) + (k % 3 == 0 ? "_Long_Tail" : ""); }

// Scopes opened and closed at random over names that share a bucket, the index growing while
// they are open: after every pop each name must still find its newest surviving entry, and
// long names declared after a pop must not meet the text of the popped ones.
TEST(SmartList, PoppedScopesLeaveEveryOtherNameFindable) {
  TSmartList t;
  t.Init();
  const uint32_t kNames = 1000;
  std::vector<std::vector<const TIdentifier*>> newest(kNames);  // per name, oldest first
  std::vector<std::vector<uint32_t>> scopes;                    // names added in each open scope
  uint32_t seed = 12345;
  auto next = [&](uint32_t n) { return ((seed = seed * 1103515245u + 12345u) >> 16 & 0x7FFF) % n; };
  for (int step = 0; step < 20000; ++step) {
    const uint32_t roll = next(16);
    if (roll == 0 && !scopes.empty()) {
      t.PopScope(t.F_CurScope);
      for (const uint32_t k : scopes.back()) newest[k].pop_back();
      scopes.pop_back();
      for (uint32_t k = 0; k < kNames; ++k)
        ASSERT_EQ(t.Find(0, nameK(k)), newest[k].empty() ? nullptr : newest[k].back())
            << "k" << k << " at step " << step;
    } else if (roll == 1 || scopes.empty()) {  // names live only in scopes that close again
      scopes.emplace_back();
      t.NextScope();
    } else {
      const uint32_t k = next(kNames);
      newest[k].push_back(add(t, nameK(k)));
      ASSERT_EQ(t.NameOf(*newest[k].back()), lowerCase(nameK(k)));
      scopes.back().push_back(k);
    }
  }
}

// A removal from a bucket that spans several blocks of entries moves every later entry down a
// place across the blocks' edges; each name still finds its own entry.
TEST(SmartList, RemovalAcrossBlocksKeepsEveryOtherName) {
  TSmartList t;
  t.Init();
  const int32_t n = 3 * static_cast<int32_t>(TSmartEntries::kBlock) + 5;
  // Odd names are too long for their entries.
  auto name = [](int32_t i) { return "m" + std::to_string(i) + (i % 2 ? "_long_name" : ""); };
  for (int32_t i = 0; i < n; ++i) add(t, name(i), itIdent, i);
  EXPECT_TRUE(t.Remove("M7_Long_Name"));
  EXPECT_EQ(t.Find(0, "m7_long_name"), nullptr);
  for (int32_t i = 0; i < n; ++i) {
    if (i == 7) continue;
    const TIdentifier* found = t.Find(0, name(i));
    ASSERT_NE(found, nullptr) << i;
    EXPECT_EQ(found->identPos, i);
  }
  EXPECT_EQ(t.Count(), static_cast<size_t>(n - 1));
}

// Leaving a scope takes its names out of every bucket, the last one ("everything else")
// included, and leaves the names of the scopes around it.
TEST(SmartList, LeavingAScopeEmptiesItFromEveryBucket) {
  TSmartList t;
  t.Init();
  const std::string firsts = "abcdefghijklmnopqrstuvwxyz_";
  for (const char f : firsts) add(t, std::string(1, f) + "0");
  for (int depth = 1; depth <= 3; ++depth) {
    t.NextScope();
    for (const char f : firsts) add(t, std::string(1, f) + std::to_string(depth));
  }
  for (int depth = 3; depth >= 1; --depth) {
    t.PopScope(depth);
    for (const char f : firsts) {
      for (int d = 0; d <= 3; ++d) {
        const TIdentifier* found = t.Find(0, std::string(1, f) + std::to_string(d));
        EXPECT_EQ(found != nullptr, d < depth) << f << d;
        if (found) {
          EXPECT_EQ(found->identScope, d);
        }
      }
    }
  }
  EXPECT_EQ(t.Count(), firsts.size());
}

// A declared name is kept lower-cased whatever its letter case, and an entry handed out again
// after its scope was left holds only the new name's fields, none of the old one's.
TEST(SmartList, DeclaredNamesAreLowerCasedIntoReusedEntries) {
  TSmartList t;
  t.Init();
  t.NextScope();
  TIdentifier* old = add(t, "LongerOldName_1", itData, 7);
  old->identData = &t;
  t.PopScope(1);
  t.NextScope();
  const TIdentifier* declared = t.Declare("LoopVar_A", itType, 3);
  EXPECT_EQ(declared, old);  // the same slot again
  EXPECT_EQ(t.NameOf(*declared), "loopvar_a");
  EXPECT_EQ(declared->identType, itType);
  EXPECT_EQ(declared->identPos, 3);
  EXPECT_EQ(declared->identScope, 1);
  EXPECT_EQ(declared->identData, nullptr);
  EXPECT_EQ(t.Find(0, "LOOPVAR_a"), declared);
  EXPECT_EQ(t.Find(0, "longeroldname_1"), nullptr);
  const TIdentifier* other = t.Declare("_Under", itIdent, 1);
  EXPECT_EQ(t.Find(0, "_under"), other);
  t.PopScope(1);
  EXPECT_EQ(t.Find(0, "loopvar_a"), nullptr);
  EXPECT_EQ(t.Count(), 0u);
}

// A program with many names must not slow down: every name of one bucket, each looked up.
TEST(SmartList, HundredThousandNamesInOneBucket) {
  TSmartList t;
  t.Init();
  const int n = 100000;
  const auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < n; ++i) add(t, "n" + std::to_string(i));
  t.NextScope();
  for (int i = 0; i < n; i += 2) add(t, "N" + std::to_string(i));
  for (int i = 0; i < n; ++i) ASSERT_NE(t.Find(0, "n" + std::to_string(i)), nullptr);
  t.PopScope(1);
  EXPECT_EQ(t.Count(), static_cast<size_t>(n));
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
}

}  // namespace
}  // namespace kelvo::testing
