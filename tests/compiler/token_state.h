// The whole state that reading one token may touch, as one text, for tests that compare a
// reading at character level with the lexer's.
#pragma once

#include <memory>
#include <sstream>
#include <string>

#include "frontend/compiler.h"
#include "tests/frontend/lexer_env.h"

namespace kelvo::testing {

inline std::string visible(const std::string& s) {
  std::string out;
  for (char c : s) {
    if (c == '\n') out += "\\n";
    else if (c == '\r') out += "\\r";
    else if (c == '\t') out += "\\t";
    else out += c;
  }
  return out;
}

// Every field that reading a token may touch, as one text to compare.
inline std::string stateOf(const TCompiler& c) {
  const TBaseExpression& e = c.curBaseExpression;
  const TCurrentToken& t = c.curToken;
  const TAFile& f = *c.curFile;
  auto set = [](const void* p) { return p ? "set" : "null"; };
  std::ostringstream s;
  s << "operand " << static_cast<int>(e.reg1) << ' ' << static_cast<int>(e.reg2) << ' ' << e.regcount << ' ' << e.scale << ' ' << e.disp
    << ' ' << set(e.dt) << ' ' << e.dtSize << "\ntoken " << t.Token << " '" << visible(t.Str) << "' " << static_cast<int>(t.Reg)
    << ' ' << static_cast<int>(t.Seg) << ' ' << static_cast<int>(t.RegID) << ' ' << t.Int << ' ' << static_cast<double>(t.Ext) << ' '
    << t.Length << ' ' << t.Size << ' ' << set(t.Data) << ' ' << set(t.DataType) << ' ' << t.DataOffset << ' '
    << set(t.Proc) << ' ' << set(t.Macro) << ' ' << set(t.MacroVar) << ' ' << t.ID << ' ' << static_cast<int>(t.Command)
    << "\nreader " << f.intCurChar << ' ' << f.intCurLine << ' ' << f.intCurLineChar << " lines "
    << c.intTotalLines << "\nprevious " << c.prevTokenType << " start " << c.tokenStart.charPos << ' '
    << c.tokenStart.line << ' ' << c.tokenStart.column << '\n';
  return s.str();
}

inline std::unique_ptr<TCompiler> freshCompiler(const std::string& text) {
  auto c = std::make_unique<TCompiler>();
  setUpLexerEnvironment(*c);
  useSource(*c, "main.kpr", text);
  return c;
}

}  // namespace kelvo::testing
