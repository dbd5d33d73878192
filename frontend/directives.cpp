// Compile-time directives: "#" followed by a word. The dispatcher, defines and the directives
// that only make sense in a macro body; switches and messages, conditions, repetition and
// inclusion live beside this file.
#include "frontend/compiler.h"
#include "frontend/directive_words.h"
#include "frontend/token_codes.h"

namespace kelvo {

namespace {

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

}  // namespace

TDirective directiveKind(const std::string& lower) {
  for (const TDirectiveWord& d : kDirectives)
    if (lower == d.word) return d.kind;
  return TDirective::unknown;
}

bool TCompiler::IsDefined(std::string_view name) const { return listDefines.contains(name); }

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
      return exitEndsBody();
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
    case TDirective::dRepeat: return DirectiveRepeat();
    case TDirective::dReturn: {
      const PMacro m = bodyMacro("return");
      GetToken();
      if (m->Result) CopyToken(m->Result, &curToken);
      return false;
    }
    case TDirective::dLocals: directiveLocals(); return false;
    case TDirective::dExit: return directiveExit();
    case TDirective::dResource: CompileResource(); return false;
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

// In an included file or a macro body: the rest of that text is not compiled, nor the rest of
// any branch or repeated body inside it that holds the directive (they end here, and the text
// ends when its own block reads on). In the project file it ends the body of the directive
// that holds it, like "#end".
bool TCompiler::directiveExit() {
  TAFile* f = holdingText(curFile);
  if (f->intParent < 0) return true;
  for (TAFile* t = curFile;; t = listFiles[static_cast<size_t>(t->intParent)].get()) {
    t->intCurChar = t->intSourceLen;
    if (t == f) break;
  }
  exitedFile_ = f;
  return exitEndsBody();
}

// A branch of #if is a text of its own; this is the text it was cut from.
TAFile* TCompiler::holdingText(TAFile* f) const {
  while (f->isBranchText && f->intParent >= 0) f = listFiles[static_cast<size_t>(f->intParent)].get();
  return f;
}

// Whether "#exit" left the text that holds the directive body being compiled, so that body
// ends too; a body of the including text reads on past the included one's end.
bool TCompiler::exitEndsBody() const { return exitedFile_ && exitedFile_ == bodyText_; }

}  // namespace kelvo
