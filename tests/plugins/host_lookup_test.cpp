// The lookup handed to plug-ins: every routine of the header is there, ids compare as 16-bit
// values, and the routines refuse bad input without a crash when called from outside a build.
#include <gtest/gtest.h>

#include "plugins/host_callbacks.h"
#include "plugins/kelvo_plugin.h"
#include "tests/frontend/frontend_fixture.h"

namespace kelvo::testing {
namespace {

constexpr uint32_t kRoutineIds[] = {
    KELVO_FN_ERROR, KELVO_FN_MESSAGE, KELVO_FN_COMPILE_TEXT, KELVO_FN_SET_FILE_TEXT, KELVO_FN_GET_FILE_TEXT,
    KELVO_FN_ADD_KEYWORD, KELVO_FN_REMOVE_KEYWORD, KELVO_FN_EVAL_TEXT, KELVO_FN_ADD_TOKEN, KELVO_FN_CALL_PROC,
    KELVO_FN_NEXT_TOKEN, KELVO_FN_COMPILE_STATEMENT, KELVO_FN_GET_TOKEN_SIZE, KELVO_FN_EMIT_BYTES,
    KELVO_FN_IS_LINE_END_AHEAD, KELVO_FN_PEEK_TOKEN, KELVO_FN_GET_LINE, KELVO_FN_GET_TOKEN_DATA_ID,
    KELVO_FN_SET_TOKEN, KELVO_FN_NEXT_CHAR, KELVO_FN_GET_DATA_NAME, KELVO_FN_GET_TOKEN_INT,
    KELVO_FN_GET_TOKEN_FLOAT, KELVO_FN_GET_TOKEN_STR};

using HostLookup = FrontEnd;

TEST_F(HostLookup, EveryRoutineIsThereUnderItsIdAndTheIdsCompareAs16Bits) {
  for (uint32_t id : kRoutineIds) {
    SCOPED_TRACE(id);
    const uintptr_t routine = pluginGetFunction(id);
    EXPECT_NE(routine, 0u);
    EXPECT_EQ(pluginGetFunction(id + 0x10000u), routine);
    for (uint32_t other : kRoutineIds) {
      if (other != id) {
        EXPECT_NE(pluginGetFunction(other), routine);
      }
    }
  }
  for (uint32_t unknown : {0u, 1u, 11u, 999u, 1005u, 2004u, 3001u, 5010u, 5501u, 6003u, 0xFFFFu})
    EXPECT_EQ(pluginGetFunction(unknown), 0u) << unknown;
  c.curCPUMode = 586;
  EXPECT_EQ(pluginGetFunction(KELVO_VALUE_CPU_MODE), 586u);
}

TEST_F(HostLookup, ReadingRoutinesAnswerTheirFailureValueWithoutASource) {
  c.curFile = nullptr;  // before any file is loaded
  char buffer[4] = {'x', 'x', 'x', 'x'};
  EXPECT_EQ(reinterpret_cast<kelvo_get_line_fn>(pluginGetFunction(KELVO_FN_GET_LINE))(buffer, 4), 0);
  EXPECT_EQ(buffer[0], 'x');
  EXPECT_EQ(reinterpret_cast<kelvo_next_token_fn>(pluginGetFunction(KELVO_FN_NEXT_TOKEN))(1), -1);
  EXPECT_EQ(reinterpret_cast<kelvo_get_file_text_fn>(pluginGetFunction(KELVO_FN_GET_FILE_TEXT))(7), nullptr);
  EXPECT_EQ(reinterpret_cast<kelvo_get_data_name_fn>(pluginGetFunction(KELVO_FN_GET_DATA_NAME))(-1), nullptr);
  EXPECT_EQ(reinterpret_cast<kelvo_get_token_float_fn>(pluginGetFunction(KELVO_FN_GET_TOKEN_FLOAT))(6), 0.0);
}

}  // namespace
}  // namespace kelvo::testing
