// The directives that set a switch of the compiler or print a message.
#include <algorithm>

#include "frontend/compiler.h"
#include "frontend/directive_words.h"
#include "frontend/token_codes.h"

namespace kelvo {

bool TCompiler::compileSwitchDirective(const std::string& word) {
  switch (directiveKind(word)) {
    case TDirective::dCallconv: {
      expectOrRaise({tk::CallMethod});
      const std::string text = curToken.Str;
      const TCallMethod method = strToCallMethod(text);
      if (method == cmUnknown) Error("Unknown calling convension \"" + text + "\"");
      defaultCallMethod = method;
      break;
    }
    case TDirective::dCpu:
      expectOrRaise({tk::Number});
      if (curToken.Int != 386 && curToken.Int != 486 && curToken.Int != 686)
        Error("Available optimisation modes: 386, 486 and 686");
      curCPUMode = static_cast<int32_t>(curToken.Int);
      break;
    case TDirective::dBits:
      expectOrRaise({tk::Number});
      if (curToken.Int != 16 && curToken.Int != 32) Error("Bit modes: 16 and 32");
      curFunc->recAssembler.cpuMode = static_cast<uint16_t>(curToken.Int);
      break;
    case TDirective::dMmx: directiveOnOff(Settings.MMX_is, "assembler_MMX_ON", "Available MMX setting: on, off"); break;
    case TDirective::dSse: directiveOnOff(Settings.SSE_is, "assembler_SSE_ON", "Available SSE setting: on, off"); break;
    case TDirective::dMode: {
      expectOrRaise({tk::Identifier});
      const std::string text = curToken.Str;
      if (sameText(text, "mean")) CompilerMode = cmMEAN;
      else if (sameText(text, "clean")) CompilerMode = cmCLEAN;
      else Error("Unknown compiler mode \"" + text + "\"");
      break;
    }
    case TDirective::dRaise: Error(expectString());
    case TDirective::dEcho: Print(expectString(), clNormal); return false;
    case TDirective::dWarning: Warning(expectString()); return false;
    case TDirective::dDepreciated: {
      const PMacro m = bodyMacro("depreciated");
      m->depreciated = expectString();
      return false;
    }
    case TDirective::dRequire: {
      const std::string name = expectString();
      expectSemicolon();
      if (!IsDefined(name))
        Error("\"" + curFile->strShortFileName + "\" requires \"" + name + "\" for compilation.");
      return false;
    }
    default: Error("Unknown compiler directive \"" + curToken.Str + "\"");
  }
  expectSemicolon();
  return false;
}

// "on" or "off" (lower case only) for a switch and the define that shows it.
void TCompiler::directiveOnOff(bool& setting, const char* define, const char* message) {
  GetToken();
  const std::string word = curToken.Str;
  if (word != "on" && word != "off") Error(message);
  setting = word == "on";
  const bool present = IsDefined(define);
  if (setting && !present) listDefines.push_back(define);
  if (!setting) listDefines.erase(define);
}

void TCompiler::directiveLocals() {
  expectOrRaise({tk::Register});
  if (curToken.Size != 32) Error("Expected 32 bit register");
  if (curToken.Reg == rdESP) Error("ESP can not be used for a stack frame");
  // A body's frame is built on the register chosen before it; switching inside would unwind
  // another register than the one the prologue saved.
  if (bInProcedure && curToken.Reg != Settings.localsReg)
    Error("#locals can not change the frame register inside a procedure");
  Settings.localsReg = curToken.Reg;
  expectSemicolon();
}

void TCompiler::directiveUndef() {
  expectOrRaise({tk::Identifier});
  const std::string name = curToken.Str;
  if (!IsDefined(name)) Error("\"" + name + "\" is not defined");
  listDefines.erase(name);
  expectSemicolon();
}

}  // namespace kelvo
