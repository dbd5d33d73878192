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
  EXPECT_FALSE(local->HasValue());
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
  EXPECT_EQ(e.GetVariable(4, 0)->Name(), "z");
  e.Free();
  EXPECT_EQ(e.VariableCount(), 0u);
}

// A text a macro includes may make global variables while the macro's own are made: only the
// macro's go when its expansion ends, and a name it hid shows again.
TEST(MacroEngine, RemovingAMacrosVariablesKeepsTheOthers) {
  TMacroEngine e;
  e.Init();
  e.NewMacro();
  const PMacroVar outer = e.AddVariable(-1, "v", false, true);
  const PMacroVar param = e.AddVariable(0, "V", true, true);
  const PMacroVar global = e.AddVariable(-1, "g", false, true);
  const PMacroVar second = e.AddVariable(0, "w", false, true);
  EXPECT_EQ(e.FindVariable(0, "v"), param);
  EXPECT_EQ(e.FindVariable(-1, "v"), outer);
  EXPECT_EQ(e.GetVariable(0, 1), second);
  e.RemoveVariables(0);
  EXPECT_EQ(e.VariableCount(), 2u);
  EXPECT_EQ(e.FindVariable(0, "v"), nullptr);  // a local of the top level is not seen in a macro
  EXPECT_EQ(e.FindVariable(-1, "v"), outer);
  EXPECT_EQ(e.FindVariable(-1, "G"), global);
  EXPECT_EQ(e.FindVariable(0, "w"), nullptr);
  EXPECT_EQ(e.GetVariable(0, 0), nullptr);
  e.RemoveVariables(0);  // nothing left of it
  EXPECT_EQ(e.VariableCount(), 2u);
  e.Free();
}

}  // namespace
}  // namespace kelvo
