// Macro records and macro variables.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "frontend/macro_tables.h"
#include "frontend/token_codes.h"

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

// Thousands of variables: the table grows while names repeat in other macros, a macro's
// variables go from the middle of their chains, and what stays keeps its place and order.
TEST(MacroEngine, ManyVariablesGrowAndShrink) {
  TMacroEngine e;
  e.Init();
  std::vector<PMacroVar> top;
  for (int i = 0; i < 3000; ++i) {
    top.push_back(e.AddVariable(-1, "Name" + std::to_string(i), false, true));
    e.AddVariable(1, "name" + std::to_string(i), true, true);
    if (i % 3 == 0) e.AddVariable(2, "NAME" + std::to_string(i), false, true);
  }
  const PMacroVar newest = e.AddVariable(-1, "name7", false, true);
  EXPECT_EQ(e.VariableCount(), 7001u);
  EXPECT_EQ(e.FindVariable(-1, "nAmE7"), newest);
  EXPECT_EQ(e.FindVariable(-1, "name8"), top[8]);
  EXPECT_EQ(e.FindVariable(1, "name8")->parentmacroid, 1);
  EXPECT_EQ(e.FindVariable(2, "name8"), nullptr);
  EXPECT_EQ(e.GetVariable(2, 999)->Name(), "NAME2997");
  e.RemoveVariables(1);
  EXPECT_EQ(e.VariableCount(), 4001u);
  EXPECT_EQ(e.FindVariable(1, "name8"), nullptr);
  EXPECT_EQ(e.FindVariable(2, "name9")->Name(), "NAME9");
  // The freed places serve new variables; the old ones are where they were.
  for (int i = 0; i < 2000; ++i) e.AddVariable(3, "n" + std::to_string(i), true, true);
  for (int i = 0; i < 3000; ++i) ASSERT_EQ(e.FindVariable(-1, "NAME" + std::to_string(i)), i == 7 ? newest : top[i]);
  EXPECT_EQ(e.FindVariable(3, "N1999"), e.GetVariable(3, 1999));
  e.Free();
}

// A value is the token's fields and text: a long text and an extended number come back whole.
TEST(MacroEngine, ValueKeepsTheTokenFields) {
  TMacroEngine e;
  e.Init();
  const PMacroVar v = e.AddVariable(-1, "a_name_of_more_than_twelve", false, true);
  TCurrentToken t;
  t.Token = tk::Float;
  t.Str = "a text of more than twelve letters";
  t.Ext = 1.0L / 3;
  t.Int = -5;
  t.Reg = rdECX;
  t.Length = 7;
  v->SetValue(t);
  t.Str = "short";
  v->SetValue(t);
  TCurrentToken back;
  v->LoadValue(back);
  EXPECT_EQ(back.Str, "short");
  EXPECT_EQ(back.Ext, 1.0L / 3);
  EXPECT_EQ(back.Int, -5);
  EXPECT_EQ(back.Reg, rdECX);
  EXPECT_EQ(back.Length, 7);
  t.Str = "and again a text longer than the first";
  v->SetValue(t);
  v->LoadValue(back);
  EXPECT_EQ(back.Str, "and again a text longer than the first");
  EXPECT_EQ(v->Name(), "a_name_of_more_than_twelve");
  e.Free();
}

}  // namespace
}  // namespace kelvo
