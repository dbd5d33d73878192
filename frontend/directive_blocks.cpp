// The directives that choose or repeat text: #if/#elseif, #ifdef/#ifndef, #repeat, and the
// inclusion of files.
#include <algorithm>
#include <stdexcept>

#include "frontend/compiler.h"
#include "frontend/token_codes.h"
#include "platform/system.h"

namespace kelvo {

namespace {

// Includes nest this deep at most; a file that reincludes itself stops here.
constexpr int kMaxIncludeDepth = 64;

// A build repeats at most this many bodies of #repeat in all, so that a mistyped count stops
// with a report instead of running for days. 100 MB of code fits.
constexpr int64_t kMaxRepetitions = 100000000;

bool isBlankChar(char c) { return static_cast<unsigned char>(c) <= 32; }

}  // namespace

// One operand of a condition: its token and the text the comparison sees.
TCompiler::TConditionOperand TCompiler::readConditionOperand() {
  GetToken(false, true);
  TConditionOperand o;
  CopyToken(&o.token, &curToken);
  o.token.DataType = curToken.DataType;
  o.text = curToken.Token == tk::Number ? std::to_string(curToken.Int) : curToken.Str;
  return o;
}

// Whether the left operand names a constant (of text, with `stringOnly`).
bool TCompiler::namesConstant(const TConditionOperand& left, bool stringOnly) {
  if (left.token.Token == tk::String) return stringOnly;
  PData d = left.token.Data;
  if (!d) {
    const TIdentifier* e = SmartIdents.Find(SmartIdents.F_CurScope, left.text);
    if (e && e->identType == itData && e->identPos >= 0 && static_cast<size_t>(e->identPos) < listData.size())
      d = listData[static_cast<size_t>(e->identPos)].get();
  }
  return d && d->dataMode == dmConst && (!stringOnly || d->dataSubMode == smString);
}

static int32_t conditionNumber(const std::string& text) { return static_cast<int32_t>(std::stoll(text)); }

bool TCompiler::DirectiveIf() {
  const TConditionOperand left = readConditionOperand();
  const uint16_t op = ExpectToken({tk::Equal, tk::NotEqual, tk::Less, tk::Greater, tk::LessEqual,
                                   tk::GreaterEqual, tk::Of});
  if (op == tk::Invalid) RaiseError();
  const TConditionOperand right = readConditionOperand();
  const bool isConst = sameText(right.text, "const");
  bool stringTest = false;
  if (isConst && PeekToken() != tk::Invalid && sameText(curToken.Str, "string")) {
    GetToken();
    stringTest = true;
  }
  if (ExpectToken({tk::Colon}) == tk::Invalid) return false;
  bool taken = false;
  switch (op) {
    case tk::Equal: taken = isConst ? namesConstant(left, stringTest) : left.text == right.text; break;
    case tk::NotEqual: taken = isConst ? !namesConstant(left, stringTest) : left.text != right.text; break;
    case tk::Of: taken = left.token.Token == right.token.Token; break;
    default: {
      if (left.token.Token != tk::Number || right.token.Token != tk::Number)
        Error("\"" + left.text + "\" or \"" + right.text + "\" are not valid numbers");
      const int32_t a = conditionNumber(left.text), b = conditionNumber(right.text);
      taken = op == tk::Less ? a < b : op == tk::Greater ? a > b : op == tk::LessEqual ? a <= b : a >= b;
    }
  }
  if (taken) {
    compileTakenBranch();
    return true;
  }
  int32_t branchEnd = 0;
  // Stops before an "#else" or "#elseif", which the lexer then reads; or after the "#end".
  if (!scanToEnd(true, true, branchEnd, "if")) elsePending_ = true;
  return true;
}

// The branch's text up to its "#else", "#elseif" or "#end" becomes a text of its own, compiled
// as a block that ends with it; reading then goes on after the "#end".
void TCompiler::compileTakenBranch() {
  TAFile* parent = curFile;
  const int32_t start = parent->intCurChar + 1;
  int32_t line = parent->intCurLine, column = parent->intCurLineChar;
  int32_t branchEnd = 0;
  scanToEnd(true, false, branchEnd, "if");
  int32_t first = start, last = branchEnd - 1;
  while (first < last && isBlankChar(parent->CharAt(first))) ++first;
  while (last >= first && isBlankChar(parent->CharAt(last))) --last;
  const std::string text = last >= first ? parent->strSource.substr(static_cast<size_t>(first - 1),
                                                                     static_cast<size_t>(last - first + 1))
                                         : std::string();
  auto branch = std::make_unique<TAFile>();
  // A branch inside a branch is named like the outer one: the file it comes from.
  branch->InitFromText(parent->isBranchText ? parent->strShortFileName : parent->strShortFileName + " @ if statement",
                       text, parent->intID);
  AdvancePosition(*parent, start - 1, first, line, column);
  branch->CutFrom(*parent, first, line, column);
  branch->macID = parent->macID;
  branch->isBranchText = true;
  branch->intID = static_cast<int32_t>(listFiles.size());
  TAFile* b = branch.get();
  listFiles.push_back(std::move(branch));
  curFile = b;
  compileDirectiveBody();
  b->boolAssembled = true;
  curFile = parent;
  // Nothing reads a finished branch again; unless a text was added after it (an include, a
  // macro body), its place is given back, so a branch taken in every expansion costs nothing.
  if (listFiles.back().get() == b) {
    operatorRun_.file = nullptr;  // the lexer's look-ahead may point at it
    curToken.Str.own();
    listFiles.pop_back();
  }
}

// A body of #if or #repeat: its own count of "#end"s that close constructs inside it.
void TCompiler::compileDirectiveBody() {
  const int32_t passive = passiveEnds_;
  const bool pending = elsePending_;
  TAFile* const holder = bodyText_;
  passiveEnds_ = 0;
  elsePending_ = false;
  bodyText_ = holdingText(curFile);
  if (!CompileBlock(-1, true, false, false)) RaiseError();
  passiveEnds_ = passive;
  elsePending_ = pending;
  bodyText_ = holder;
}

void TCompiler::DirectiveIfdef(bool negated) {
  expectOrRaise({tk::Identifier});
  const bool compiled = IsDefined(curToken.Str) != negated;
  if (compiled) {
    ++passiveEnds_;  // its "#end" passes
    return;
  }
  int32_t branchEnd = 0;
  scanToEnd(false, false, branchEnd, negated ? "ifndef" : "ifdef");
}

bool TCompiler::DirectiveRepeat() {
  expectOrRaise({tk::Number});
  const int64_t count = std::max<int64_t>(curToken.Int, 1);
  checkRepetitions(count);
  expectOrRaise({tk::Colon});
  TAFile* f = curFile;
  const int32_t pos = f->intCurChar, line = f->intCurLine, column = f->intCurLineChar;
  auto goBack = [&] {
    curFile = f;
    f->intCurChar = pos;
    f->intCurLine = line;
    f->intCurLineChar = column;
  };
  // The body must have its "#end" before any of it is compiled.
  int32_t bodyEnd = 0;
  scanToEnd(false, false, bodyEnd, "repeat");
  goBack();
  repetitions_ += count;
  const int64_t around = repeatsAround_;
  for (int64_t i = 1; i <= count; ++i) {
    // A #repeat inside meets this body's remaining repetitions, and those of every later
    // pass over this one.
    repeatsAround_ = count - i + 1 + (around - 1) * count;
    compileDirectiveBody();
    if (exitedFile_ && exitedFile_ == holdingText(f)) break;  // the text was left: no more rounds
    if (i < count) goBack();
  }
  repeatsAround_ = around;
  return exitEndsBody();
}

// A #repeat of `count` asks for `count` repetitions each time the text around it is compiled
// again; what all of them would add to the build's total must stay within the limit.
void TCompiler::checkRepetitions(int64_t count) {
  const int64_t left = kMaxRepetitions - repetitions_;
  if (count > left || repeatsAround_ > left / count)
    Error("Too many repetitions: a build may repeat at most " + std::to_string(kMaxRepetitions) +
          " times (nested #repeat counts multiply)");
}

// Where an included file is found: the project folder, "includes" beside the compiler, then
// the "-i" path (not for a reinclude).
std::string TCompiler::findInclude(const std::string& name, bool reinclude) const {
  const std::string candidates[3] = {strProjectFolder + name, platform::executableFolder() + "includes/" + name,
                                     Settings.include_path.empty() ? std::string() : Settings.include_path + name};
  for (int i = 0; i < (reinclude ? 2 : 3); ++i)
    if (!candidates[i].empty() && platform::fileExists(candidates[i])) return candidates[i];
  return {};
}

void TCompiler::DirectiveInclude(const std::string& name, bool reinclude) {
  const bool seen = IsDefined(name);
  if (seen && !reinclude) return;
  if (!seen) listDefines.push_back(name);
  const std::string path = findInclude(name, reinclude);
  if (path.empty()) Error("Included file not found \"" + name + "\"");
  int depth = 0;
  for (const TAFile* f = curFile; f->intParent >= 0; f = listFiles[static_cast<size_t>(f->intParent)].get())
    if (++depth > kMaxIncludeDepth) Error("Includes are nested too deeply at \"" + name + "\"");
  int32_t index = 0;
  try {
    index = AddFile(path, curFile->intID);
  } catch (const std::runtime_error& e) {
    // Said at the directive, with the name as written there, like a file that is missing.
    std::string why = e.what();
    if (const size_t at = why.find(path); at != std::string::npos) why.replace(at, path.size(), name);
    Error(why);
  }
  curFile = listFiles[static_cast<size_t>(index)].get();
}

}  // namespace kelvo
