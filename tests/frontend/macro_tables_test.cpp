// Macro records and macro variables.
#include <gtest/gtest.h>

#include "frontend/macro_tables.h"

namespace kelvo {
namespace {

TEST(MacroEngine, VariablesByMacroAndName) {
  TMacroEngine e;
  e.Init();
  for (int i = 0; i < 6; ++i) EXPECT_EQ(e.NewMacro()->ID, i);
  EXPECT_EQ(e.MacroAt(5)->lblCounter, 0u);
  EXPECT_EQ(e.MacroAt(6), nullptr);
  EXPECT_EQ(e.MacroAt(-1), nullptr);
  const PMacroVar global = e.AddVariable(-1, "x", false, false);
  const PMacroVar local = e.AddVariable(3, "x", true, true);
  EXPECT_EQ(local->myToken, nullptr);
  EXPECT_EQ(e.FindVariable(3, "x"), local);
  EXPECT_EQ(e.FindVariable(5, "x"), global);
  EXPECT_EQ(e.FindVariable(5, "X"), global);  // names ignore letter case
  EXPECT_EQ(e.FindVariable(5, "y"), nullptr);
  const PMacroVar second = e.AddVariable(3, "y", true, true);
  e.AddVariable(4, "z", true, true);
  EXPECT_EQ(e.GetVariable(3, 0), local);
  EXPECT_EQ(e.GetVariable(3, 1), second);
  EXPECT_EQ(e.GetVariable(3, 2), nullptr);
  EXPECT_EQ(e.GetVariable(3, -1), nullptr);
  e.RemoveVariables(3);
  EXPECT_EQ(e.FindVariable(3, "y"), nullptr);
  EXPECT_EQ(e.FindVariable(3, "x"), global);
  EXPECT_EQ(e.GetVariable(4, 0)->name, "z");
  e.Free();
  EXPECT_TRUE(e.F_Variables.empty());
}

}  // namespace
}  // namespace kelvo
