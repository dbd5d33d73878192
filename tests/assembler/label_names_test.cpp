// The compiler-wide label names: numbers that stay with their spelling however many names
// come after, and one key for every letter case of a name.
#include "assembler/label_names.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace kelvo;

TEST(LabelNames, NumbersAndKeysSurviveTheTableGrowing) {
  TLabelNames& names = TLabelNames::Get();
  // Lengths 1 to 40, so that short, word-sized and long names all pass every comparison.
  std::vector<std::string> spellings;
  for (int i = 0; i < 3000; ++i) spellings.push_back("Lbl" + std::to_string(i) + std::string(i % 38, 'x'));
  spellings.push_back("a");
  spellings.push_back("Ab");
  std::vector<TLabelName> ids;
  for (const std::string& s : spellings) ids.push_back(names.Intern(s));
  for (size_t i = 0; i < spellings.size(); ++i) {
    EXPECT_EQ(names.Intern(spellings[i]), ids[i]) << spellings[i];
    EXPECT_EQ(names.Text(ids[i]), spellings[i]);
    EXPECT_EQ(names.Lookup(spellings[i]), ids[i]);
  }
  // Another letter case: a number of its own, the key of the lower-cased spelling.
  const TLabelName upper = names.Intern("LBL77" + std::string(77 % 38, 'X'));
  EXPECT_NE(upper, ids[77]);
  EXPECT_EQ(names.Key(upper), names.Key(ids[77]));
  EXPECT_EQ(names.Key(names.Intern("lbl77" + std::string(77 % 38, 'x'))), names.Key(ids[77]));
  // A spelling never interned finds the name in another case; one never seen at all is 0.
  EXPECT_EQ(names.Key(names.Lookup("LBL5XXXXX")), names.Key(ids[5]));
  EXPECT_EQ(names.Lookup("no such label"), 0u);
  EXPECT_EQ(names.Intern(""), 0u);
}

// Owners nest: an inner owner that takes a key gives it back to the open owner around it,
// while the slots of owners already released are simply taken over.
TEST(LabelNames, AnInnerOwnerGivesBackTheOpenOwnersLabels) {
  TLabelNames& names = TLabelNames::Get();
  const uint32_t a = names.Key(names.Intern("nest_a")), b = names.Key(names.Intern("nest_b"));
  const uint32_t done = names.NewOwner();
  names.Bind(done, a, 7);
  names.Release(done);
  const uint32_t outer = names.NewOwner();
  names.Bind(outer, a, 1);
  names.Bind(outer, a, 9);  // the first of a name counts
  for (int round = 0; round < 2; ++round) {  // procedure after procedure
    const uint32_t inner = names.NewOwner();
    EXPECT_EQ(names.Find(inner, a), -1);
    names.Bind(inner, a, 2);
    names.Bind(inner, b, 3);
    EXPECT_EQ(names.Find(inner, a), 2);
    EXPECT_EQ(names.Find(inner, b), 3);
    EXPECT_EQ(names.Find(outer, a), -1);
    names.Release(inner);
    EXPECT_EQ(names.Find(outer, a), 1) << round;
    EXPECT_EQ(names.Find(outer, b), -1) << round;
  }
  names.Release(outer);
}

// A layout's round binds labels apart from the owners open while it runs, and the next round
// sees none of the last one's labels.
TEST(LabelNames, ARoundLeavesTheOwnersAloneAndForgetsTheRoundBefore) {
  TLabelNames& names = TLabelNames::Get();
  const uint32_t a = names.Key(names.Intern("round_a")), b = names.Key(names.Intern("round_b"));
  const uint32_t open = names.NewOwner();
  names.Bind(open, a, 1);
  const uint32_t first = names.NewRound();
  EXPECT_EQ(names.FindInRound(first, a), -1);
  names.BindInRound(first, a, 4);
  names.BindInRound(first, a, 8);  // the first of a name counts
  names.BindInRound(first, b, 5);
  EXPECT_EQ(names.FindInRound(first, a), 4);
  EXPECT_EQ(names.Find(open, a), 1);
  EXPECT_EQ(names.Find(open, b), -1);
  const uint32_t second = names.NewRound();
  EXPECT_EQ(names.FindInRound(second, a), -1);
  names.BindInRound(second, b, 6);
  EXPECT_EQ(names.FindInRound(second, b), 6);
  EXPECT_EQ(names.FindInRound(second, names.Key(names.Intern("ROUND_A"))), -1);
  names.BindInRound(second, names.Key(names.Intern("ROUND_A")), 2);
  EXPECT_EQ(names.FindInRound(second, a), 2);  // letter case ignored
  names.Release(open);
}
