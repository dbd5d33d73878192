// Records cut from slabs: apart, aligned, reused once given back, and the pool usable again
// after every record went back.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <set>
#include <vector>

#include "common/record_pool.h"

namespace kelvo {
namespace {

using TPool = TRecordPool<40, 16>;  // a size no record of the compiler has: a pool of its own

std::vector<char*> takeMany(size_t count) {
  std::vector<char*> records;
  for (size_t i = 0; i < count; ++i) {
    char* r = static_cast<char*>(TPool::take());
    std::memset(r, static_cast<int>(i & 0xFF), 40);
    records.push_back(r);
  }
  return records;
}

TEST(RecordPool, RecordsStayApartAcrossSlabs) {
  for (int round = 0; round < 2; ++round) {  // the second after every record went back
    std::vector<char*> records = takeMany(300);
    std::set<char*> seen(records.begin(), records.end());
    EXPECT_EQ(seen.size(), records.size());
    for (size_t i = 0; i < records.size(); ++i) {
      ASSERT_EQ(reinterpret_cast<uintptr_t>(records[i]) % 16, 0u);
      for (int b = 0; b < 40; ++b) ASSERT_EQ(records[i][b], static_cast<char>(i & 0xFF)) << i;
    }
    for (char* r : records) TPool::give(r);
  }
}

TEST(RecordPool, GivenBackRecordIsTakenFirst) {
  if (KELVO_ADDRESS_SANITIZER) GTEST_SKIP() << "under AddressSanitizer each record is a block of its own";
  std::vector<char*> records = takeMany(3);
  TPool::give(records[1]);
  EXPECT_EQ(TPool::take(), records[1]);
  TPool::give(nullptr);  // as delete of a null pointer
  for (char* r : records) TPool::give(r);
}

}  // namespace
}  // namespace kelvo
