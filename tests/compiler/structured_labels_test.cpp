// The generated labels of the structured statements: found by kind and brace level id, with
// the same spelling whichever procedure asks first, as a listing or a report shows them.
#include "compiler/structured_labels.h"

#include <gtest/gtest.h>

using namespace kelvo;

TEST(LevelLabels, SpelledByKindAndIdAndFoundAgain) {
  const TLabelNames& names = TLabelNames::Get();
  // A high id first, so that the lower ones are found in a table grown past them.
  const TLabelName late = LevelLabel(llRepEnd, 70000);
  EXPECT_EQ(names.Text(late), "=repend70000");
  EXPECT_EQ(names.Text(LevelLabel(llEndIf, 3)), "~endif3");
  EXPECT_EQ(names.Text(LevelLabel(llWhileBody, 0)), "=whilebody0");
  EXPECT_EQ(names.Text(LevelLabel(llExceptEnd, 4294967295u)), "=EXCEPTEND_4294967295");
  EXPECT_EQ(LevelLabel(llRepEnd, 70000), late);
  const TLabelName endIf = LevelLabel(llEndIf, 3);
  EXPECT_EQ(endIf, names.Lookup("~endif3"));
  EXPECT_NE(LevelLabel(llEndIf, 3), LevelLabel(llExitIf, 3));
  // Labels ignore letter case: the upper-case kinds share their key with the lower spelling.
  const TLabelName handler = LevelLabel(llExcept, 9);
  EXPECT_EQ(names.Key(handler), names.Key(names.Lookup("=except_9")));
}
