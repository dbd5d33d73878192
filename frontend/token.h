// The current token and saved copies of it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "common/definitions.h"
#include "frontend/token_codes.h"
#include "frontend/token_text.h"

namespace kelvo {

// Steps of a procedure call, queued while its arguments are read.
enum TCommand : uint8_t {
  ctCallGV, ctCALLfuncid, ctPush, ctAddREGNO, ctMOVecx, ctMOVedx, ctMOVeax,
  ctMOVedi, ctMOVesi, ctMOVebx, ctPOPecx, ctPOPedx, ctPOPebx, ctPOPesi, ctPOPedi,
  ctPOPeax,  // a nested call's result, kept on the stack until the registers are loaded
  ctPushSign,  // the sign of a 32-bit value as a dword: the high half of a widened argument
};

struct TCurrentToken {
  // From Token to DataOffset the fields a new token clears (see TCompiler::clearTokenFields):
  // side by side, so that clearing them is a few wide stores.
  uint16_t Token = tk::Invalid;
  TRegister Reg = rdEAX;
  TSegment Seg = segCS;
  uint8_t RegID = 0;
  int32_t Length = 0;
  int32_t Size = 0;
  int64_t Int = 0;
  long double Ext = 0;
  PData Data = nullptr;
  PFunction Proc = nullptr;
  PMacro Macro = nullptr;
  uint32_t DataOffset = 0;
  TTokenText Str;
  PDataType DataType = nullptr;
  PMacroVar MacroVar = nullptr;
  int32_t ID = 0;
  TCommand Command = ctCallGV;
};
static_assert(offsetof(TCurrentToken, Token) == 0 && offsetof(TCurrentToken, DataOffset) < offsetof(TCurrentToken, Str),
              "the fields a new token clears come first");

}  // namespace kelvo
