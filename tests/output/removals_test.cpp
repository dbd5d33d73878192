// Positions through removed bytes: the search and the forward walk against the bytes
// themselves, taken out one by one.
#include <gtest/gtest.h>

#include <vector>

#include "output/procedure_layout.h"

using namespace kelvo;

namespace {

// Where each original position lands once the removed bytes are gone; a removed byte lands
// where its run of removed bytes began.
std::vector<uint32_t> expectedPlaces(const std::vector<bool>& removed) {
  std::vector<uint32_t> places;
  uint32_t kept = 0;
  for (size_t pos = 0; pos <= removed.size(); ++pos) {
    const bool inRun = pos > 0 && pos < removed.size() && removed[pos] && removed[pos - 1];
    places.push_back(inRun ? places.back() : kept);
    if (pos < removed.size() && !removed[pos]) ++kept;
  }
  return places;
}

}  // namespace

TEST(Removals, SearchAndWalkAgreeWithTheClosedUpBytes) {
  TRemovals removals;
  std::vector<bool> removed(60, false);
  const uint32_t spans[][2] = {{0, 3}, {7, 4}, {11, 2}, {20, 1}, {33, 6}, {50, 4}};
  for (const auto& s : spans) {
    removals.add(s[0], s[1]);
    for (uint32_t i = 0; i < s[1]; ++i) removed[s[0] + i] = true;
  }
  const std::vector<uint32_t> places = expectedPlaces(removed);
  for (uint32_t pos = 0; pos < places.size(); ++pos) EXPECT_EQ(removals.map(pos), places[pos]) << pos;

  // Ascending, with repeats, then out of order: the walk falls back to the search.
  const uint32_t order[] = {0, 1, 7, 7, 10, 13, 20, 21, 40, 5, 12, 36, 60, 2, 59};
  TRemovals::TWalk walk(removals);
  for (uint32_t pos : order) EXPECT_EQ(walk.map(pos), places[pos]) << pos;

  std::string text(60, 'k');
  for (size_t i = 0; i < text.size(); ++i) text[i] = removed[i] ? '#' : static_cast<char>('a' + i % 26);
  std::string expected;
  for (char c : text)
    if (c != '#') expected += c;
  TCodeBytes code;
  code = text;
  removals.compact(code);
  EXPECT_EQ(code, expected);
}

// The list keeps its room from one procedure to the next: after clear, a shorter list of
// spans is all there is, for the search, the walk and the closing up alike.
TEST(Removals, AClearedListForgetsTheLongerOneBefore) {
  TRemovals removals;
  for (uint32_t pos = 0; pos < 40; pos += 4) removals.add(pos, 2);
  removals.clear();
  removals.add(10, 5);
  EXPECT_EQ(removals.total(), 5u);
  EXPECT_EQ(removals.map(30), 25u);
  EXPECT_EQ(removals.map(5), 5u);
  EXPECT_EQ(removals.map(12), 10u);  // inside the span: its start
  TRemovals::TWalk walk(removals);
  EXPECT_EQ(walk.map(9), 9u);
  EXPECT_EQ(walk.map(39), 34u);
  TCodeBytes code;
  code = std::string("0123456789-----abcdefghij");
  removals.compact(code);
  EXPECT_EQ(code, "0123456789abcdefghij");
}
