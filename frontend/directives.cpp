// Compile-time directives: "#" followed by a word. Switches, defines, messages and the
// dispatcher; conditions, repetition and inclusion live beside this file.
#include "frontend/compiler.h"
#include "frontend/token_codes.h"

namespace kelvo {

namespace {

enum class TDirective {
  unknown, dIf, dElseIf, dElse, dEnd, dRepeat, dReturn, dLocals, dExit, dResource, dInclude, dReinclude,
  dDefine, dUndef, dCallconv, dCpu, dBits, dMmx, dSse, dMode, dRaise, dEcho, dWarning, dDepreciated,
  dRequire, dIfdef, dIfndef,
};

struct TDirectiveWord {
  const char* word;
  TDirective kind;
};

constexpr TDirectiveWord kDirectives[] = {
    {"if", TDirective::dIf},           {"elseif", TDirective::dElseIf},   {"else", TDirective::dElse},
    {"end", TDirective::dEnd},         {"repeat", TDirective::dRepeat},   {"return", TDirective::dReturn},
    {"locals", TDirective::dLocals},   {"exit", TDirective::dExit},       {"resource", TDirective::dResource},
    {"include", TDirective::dInclude}, {"reinclude", TDirective::dReinclude}, {"define", TDirective::dDefine},
    {"undef", TDirective::dUndef},     {"callconv", TDirective::dCallconv}, {"cpu", TDirective::dCpu},
    {"bits", TDirective::dBits},       {"mmx", TDirective::dMmx},         {"sse", TDirective::dSse},
    {"mode", TDirective::dMode},       {"raise", TDirective::dRaise},     {"echo", TDirective::dEcho},
    {"warning", TDirective::dWarning}, {"depreciated", TDirective::dDepreciated},
    {"require", TDirective::dRequire}, {"ifdef", TDirective::dIfdef},     {"ifndef", TDirective::dIfndef},
};

TDirective directiveKind(const std::string& lower) {
  for (const TDirectiveWord& d : kDirectives)
    if (lower == d.word) return d.kind;
  return TDirective::unknown;
}

}  // namespace

bool TCompiler::IsDefined(std::string_view name) const {
  for (const std::string& d : listDefines)
    if (sameText(d, name)) return true;
  return false;
}

void TCompiler::expectSemicolon() { expectOrRaise({tk::Semicolon}); }

std::string TCompiler::expectString() {
  expectOrRaise({tk::String});
  return curToken.Str;
}

// The macro whose body is being read, for the directives that only make sense there.
PMacro TCompiler::bodyMacro(const char* directive) {
  const PMacro m = macroSys.MacroAt(curFile->macID);
  if (!m) Error(std::string("#") + directive + " can only be used inside a macro body");
  return m;
}

bool TCompiler::CompileDirective() {
  const std::string word = lowerCase(curToken.Str);
  switch (directiveKind(word)) {
    case TDirective::dIf:
    case TDirective::dElseIf:
      elsePending_ = false;
      if (!DirectiveIf()) RaiseError();
      return false;
    case TDirective::dElse:
      // After branches that were not taken the statements up to "#end" are compiled here.
      if (elsePending_) ++passiveEnds_;
      elsePending_ = false;
      return false;
    case TDirective::dEnd:
      if (passiveEnds_ > 0) {
        --passiveEnds_;
        return false;
      }
      return true;
    case TDirective::dRepeat: DirectiveRepeat(); return false;
    case TDirective::dReturn: {
      const PMacro m = bodyMacro("return");
      GetToken();
      if (m->Result) CopyToken(m->Result, &curToken);
      return false;
    }
    case TDirective::dLocals: directiveLocals(); return false;
    case TDirective::dExit: return directiveExit();
    case TDirective::dResource: Error("Resources are not supported by this build");
    case TDirective::dInclude: DirectiveInclude(expectString(), false); return false;
    case TDirective::dReinclude: DirectiveInclude(expectString(), true); return false;
    case TDirective::dDefine:
      expectOrRaise({tk::Identifier});
      listDefines.push_back(curToken.Str);
      expectSemicolon();
      return false;
    case TDirective::dUndef: directiveUndef(); return false;
    case TDirective::dIfdef: DirectiveIfdef(false); return false;
    case TDirective::dIfndef: DirectiveIfdef(true); return false;
    default: return compileSwitchDirective(word);
  }
}

// The directives that set a switch or print a message.
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
  if (!setting) std::erase_if(listDefines, [define](const std::string& d) { return sameText(d, define); });
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
  std::erase_if(listDefines, [&name](const std::string& d) { return sameText(d, name); });
  expectSemicolon();
}

// In an included file or a macro body: the rest of that text is not compiled, nor the rest of
// any branch inside it that holds the directive. In the project file it ends the body of the
// directive that holds it, like "#end".
bool TCompiler::directiveExit() {
  TAFile* f = curFile;
  while (f->isBranchText && f->intParent >= 0) f = listFiles[static_cast<size_t>(f->intParent)].get();
  if (f->intParent < 0) return true;
  for (TAFile* t = curFile;; t = listFiles[static_cast<size_t>(t->intParent)].get()) {
    t->intCurChar = t->intSourceLen;
    if (t == f) break;
  }
  return false;
}

}  // namespace kelvo
