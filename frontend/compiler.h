// The one record that holds the whole state of a compile.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "common/definitions.h"
#include "compiler/base_expression.h"
#include "compiler/member_access.h"
#include "compiler/operand_location.h"
#include "compiler/state_stack.h"
#include "frontend/define_list.h"
#include "frontend/function.h"
#include "frontend/ident_table.h"
#include "frontend/macro_tables.h"
#include "frontend/source_file.h"
#include "frontend/token.h"
#include "frontend/token_list.h"
#include "frontend/token_table.h"
#include "frontend/token_values.h"
#include "output/link_input.h"
#include "output/pe_file.h"
#include "output/procedure_layout.h"
#include "plugins/plugin_manager.h"

namespace kelvo {

struct TSimdStatement;

// Console attributes.
enum TColour : int { clNormal = 7, clInfo = 10, clError = 12, clWarning = 14 };

struct TSettings {
  bool writeLog = true;
  TRegister localsReg = rdEBP;
  bool MMX_is = true;
  bool SSE_is = true;
  bool skipPluginKeywords = false;
  bool peekToken = false;
  bool setUnnamed = false;
  std::string include_path;  // ends in a separator when set
};

// What is known about one 32-bit general register.
struct TRegState {
  PDataType pointsTo = nullptr;
  PData loadedFrom = nullptr;
  uint16_t castKind = 0;
  bool interfaceLoaded = false;
};

// Set from the program kind: the PE subsystem and the kind word as written.
extern uint16_t appSubSystem;
extern std::string appTypeText;

// What one statement means for the block that holds it.
// A handler's true or false is `next` or `failed` as it stands, with no conversion.
enum class TStatementResult : uint8_t { failed = 0, next = 1, endBlock = 2 };

struct TCompiler {
  // Diagnostics and output image
  std::string strLastError;
  TPEFile PEFile;
  // Components
  TMacroEngine macroSys;
  std::unique_ptr<TPluginManager> pluginSys;
  TSmartList SmartIdents;
  bool hexWide_ = false;  // a hexadecimal literal may fill 64 bits: its value goes to an 8-byte item
  // Switches
  TSettings Settings;
  TCallMethod defaultCallMethod = cmStdcall;
  TCompilerMode CompilerMode = cmCLEAN;
  int32_t curCPUMode = 386;
  // Lists, each owning its items; indexes stay valid for the whole compile
  std::vector<std::unique_ptr<TAFile>> listFiles;
  std::vector<std::unique_ptr<TFunction>> listProcedures;
  std::vector<std::unique_ptr<TData>> listData;
  std::vector<std::unique_ptr<TDataType>> listTypes;
  std::vector<std::string> slistDLLs;
  TDefineList listDefines;
  std::vector<TRegister> listUses;
  std::vector<TStateInfo> StateStack;
  std::vector<std::unique_ptr<TCurrentToken>> NCTList;
  TTokenList tokenStack;
  // Token state
  TCurrentToken curToken;
  uint16_t prevTokenType = 13;
  TBaseExpression curBaseExpression;
  // Position
  PAFile curFile = nullptr;
  PFunction curFunc = nullptr;
  PFunction lastAddedProc = nullptr;
  PData lastDataRegistered = nullptr;
  bool bInProcedure = false;
  TRegister curClassReg = rdEAX;
  // The address of an object held in a data item whose method is about to be called; the
  // call pushes it as "this" once its arguments are in place.
  PCurrentToken methodObject = nullptr;
  PDataType compilerPtrType = nullptr;
  int32_t intTotalLines = 0;
  std::string strProjectFolder;  // with its trailing separator
  std::string strOutFile;        // no folder, no extension
  // Register binding
  TRegState rsReg32[8];

  static TCompiler* Instance();

  // --- life cycle, console and log
  void Init();
  void Free();
  // Free for a process about to end: plug-ins unloaded and the log closed, but the lists kept;
  // the end of the process returns their memory at once, faster than freeing them one by one.
  void FreeForExit();
  int32_t AddFile(const std::string& fileName, int32_t parent);
  void Print(const std::string& text, int colour);
  void Log(const std::string& text);

  // --- diagnostics
  [[noreturn]] void RaiseError();
  [[noreturn]] void Error(const std::string& message);
  void Warning(const std::string& message);

  // --- character access on curFile; here, so the lexer's every character is no call
  char NextChar() {
    ++curFile->intCurChar;
    ++curFile->intCurLineChar;
    return curFile->CharAt(curFile->intCurChar);
  }
  void PrevChar() {
    --curFile->intCurChar;
    --curFile->intCurLineChar;
  }
  char PeekChar(int32_t offset) const { return curFile->CharAt(curFile->intCurChar + offset); }
  // The next character that is not blank; most often the very next one.
  char PeekNonBlank() {
    const char c = PeekChar(1);
    return static_cast<unsigned char>(c - 1) < 32 ? peekNonBlankAfter() : c;
  }
  char peekNonBlankAfter();
  char SkipToChars(const std::string& character);
  bool IsLineEndAhead();

  // --- token layer
  uint16_t SetToken(uint16_t code, std::string_view text = {});
  // A literal's text lasts as long as the program: the token refers to it.
  template <size_t N>
  uint16_t SetToken(uint16_t code, const char (&text)[N]) {
    return setTokenText(code, std::string_view(text), true);
  }
  uint16_t setTokenText(uint16_t code, std::string_view text, bool lasting);
  // A token that carries no value, its text built for it and copied, or, with `referSource`,
  // referred to where it stands in the source.
  uint16_t SetBuiltToken(uint16_t code, std::string_view text, bool referSource = false);
  // The length and size of a token that carries no value.
  void setPlainSize() {
    curToken.Length = static_cast<int32_t>(curToken.Str.size());
    curToken.Size = 4;
  }
  // The `n` characters read last, as they stand in the source.
  std::string_view lastChars(int32_t n) const {
    return {curFile->strSource.data() + curFile->intCurChar - n, static_cast<size_t>(n)};
  }
  uint16_t PeekToken();
  // The code read when it is one of `codes`; else 13 with the message in strLastError.
  // Inlined, so that the codes of a call are compared as constants where it stands.
  [[gnu::always_inline]] uint16_t ExpectToken(std::initializer_list<uint16_t> codes) {
    const uint16_t read = readExpected();
    for (const uint16_t code : codes)
      if (code == read) return read;
    SetExpectedError(codes.begin(), static_cast<int32_t>(codes.size()) - 1);
    return tk::Invalid;
  }
  // The next token as ExpectToken reads it: no plug-in keyword, no statement form.
  uint16_t readExpected() {
    lexChoices_ = kNoStatementForms | kSkipPluginKeywords;
    return readQuick();
  }
  uint16_t ExpectToken(const uint16_t* codes, int32_t high);
  // Reads the one-character token `c` (code `code`) when it comes next after nothing but blanks
  // on the same line, leaving the token and the reader as GetToken does: the commonest tokens
  // between operands and around bodies cost a look at a few characters. False, with nothing
  // read, for anything else, and for a token inside another (it keeps the outer one's start).
  bool TakePunctuation(char c, uint16_t code);
  // Takes the token with no value that starts at index `at` of the line being read, `length`
  // characters long, and leaves the token and the reader as GetToken does; `text` is its text.
  // For a caller that found it in place, at the outer level and with no plug-in reading.
  uint16_t TakeInPlace(int32_t at, int32_t length, uint16_t code, std::string_view text);
  bool CanTakeInPlace() const { return lexDepth_ == 0 && lexerReadsPlain(); }
  // The "Expected ... but found ..." text for the current token, as ExpectToken leaves it.
  void SetExpectedError(const uint16_t* codes, int32_t high);
  // A copy of the token kept for the rest of the compile, for what outlives a statement.
  PCurrentToken SaveToken();
  // The same copy by value, for a statement's own use.
  TCurrentToken TokenCopy();
  void RestoreToken(const TCurrentToken* saved);
  static void CopyToken(TCurrentToken* destination, const TCurrentToken* source);

  // --- identifier table
  PDataType FindType(std::string_view name);
  PFunction FindProc(std::string_view name);
  TIdentifier* DeclareIdent(std::string_view name, TIdentType kind, int32_t position);
  PData AddNamedConst(std::string_view name, uint32_t value);
  PDataType AddType(std::string_view name, int32_t size, int64_t lower, int64_t upper);

  // --- lexer
  uint16_t GetToken(bool keepMacroVarName = false, bool noStatementForms = false);
  // Where the last token read at the outer level began, so a statement can read it again.
  struct TTokenStart {
    int32_t charPos = 0, line = 1, column = 0;
  };
  TTokenStart tokenStart;
  // The reader's state once a peeked token was read: TakePeeked takes that token from it.
  struct TPeeked {
    uint16_t code = 0, previous = 0;
    int32_t charPos = 0, line = 0, column = 0, lines = 0;
    TTokenStart start;
  };
  uint16_t PeekToken(TPeeked& peeked);
  // Leaves the reader as the peek's own read left it, with the peeked token current: for a
  // caller that knows a read now would find the same token, so that it is not read twice.
  void TakePeeked(const TPeeked& peeked);
  void RewindToTokenStart();
  // Labels named by "offset", with the code position where they were named.
  std::vector<TNamedEntry> OffsetLabels;

  // --- entry points the lexer calls in later stages (compiler/pending_*.cpp until built)
  void ParseRegPointer(TRegister reg);
  void ParseRegOffset(TRegister reg);
  void ParseBaseExpression();
  void ParseMemberAccess(PData data, int32_t useRegister, TVarInfo& info);
  bool InvokeMacro(PMacro macro);
  void CompilePluginText(const std::string& text);
  // Plug-in tables: what a handler answered for a character or word offered to it.
  enum class TPluginAnswer { noEntry, accepted, declined };
  TPluginAnswer OfferPluginToken(std::string_view lowerText);
  TPluginAnswer OfferPluginKeyword(std::string_view lowerText);

  // --- constant expressions
  // The general evaluator: leaves the value in curToken as a Float (asFloat) or a Number.
  uint16_t ConstExpression(bool asFloat);
  long double ConstSimpleExpression();
  long double ConstTerm();
  long double ConstFactor();
  int64_t ConstIntFactor();
  int64_t ConstIntTerm();
  int64_t constToInt(long double value);
  int32_t applyInt32(uint16_t op, int32_t left, int32_t right);
  // The small evaluator: groups from the right, register names count as their numbers.
  int32_t IntOperand(bool& done, int32_t& depth);
  int32_t IntExpression(bool& done, int32_t& depth, int32_t accumulator);
  int32_t IntChain(bool& done, int32_t& depth, bool readOperand, int32_t accumulator);

  // --- compile-time directives
  // True when the directive ends the construct being compiled.
  bool CompileDirective();
  bool DirectiveIf();
  bool DirectiveRepeat();
  void DirectiveIfdef(bool negated);
  void DirectiveInclude(const std::string& name, bool reinclude);
  void CompileResource();
  bool IsDefined(std::string_view name) const;
  std::string findInclude(const std::string& name, bool reinclude) const;

  // --- macros
  bool CompileInline();
  bool CompileMacroDecl();
  bool CompileMacroVarStatement();
  bool CompileRecast();
  bool CompileMacroVarDefinition(std::string_view name);
  // A jump label's name as this text sees it: inside a macro body, unique to the expansion.
  std::string LocalLabelName(const std::string& name);
  // The label a jump names, noted when it may lie outside the macro body that names it.
  std::string LabelJumpName();

  // --- compile driver
  bool Compile(const std::string& outputName);
  bool ParseAppType();
  void RegisterBuiltInTypes();
  void createGlobalScope();
  void readPluginStatements();
  void loadStandardInclude();

  // --- block compiler
  bool CompileBlock(int32_t funcIndex, bool directiveEnds, bool singleStatement, bool stopAtFileEnd);
  TStatementResult CompileStatement(uint16_t code, bool directiveEnds, bool stopAtFileEnd);
  TStatementResult CompileOtherStatement(uint16_t code);
  TStatementResult CompileClosingBrace();
  TStatementResult CompileFileEnd(bool stopAtFileEnd);
  TStatementResult CompileDirectiveStatement(bool directiveEnds);
  bool CompileJumpLabel();
  bool CompileEntry();
  bool CompileLoopExit(bool isBreak);
  bool CompileBswap();
  bool CompileSetae();
  bool CompileRet();

  // --- the body being compiled
  // One record for every body open, innermost last; the first is the global code's.
  std::vector<TBodyState> openBodies;
  TBodyState& CurBody() { return openBodies.back(); }
  const TBodyState& CurBody() const { return openBodies.back(); }
  // Jump labels of the body being compiled: names compare without regard to letter case; the
  // first of a name wins.
  int32_t FindLabel(const std::string& name);

  // --- structured statements: conditions, if, while, repeat, for, case, try
  uint16_t CompileCondition(bool negate);
  uint16_t CompileUntilCondition(bool negate);  // also reads the closing ")"
  bool EmitCompare(const TCurrentToken& left, const TCurrentToken& right);
  void CompileConditionChain(TLabelName falseLabel, TLabelName bodyLabel);
  bool CompileIf();
  bool CompileWhile();
  bool CompileRepeat();
  bool CompileCountedLoop();
  bool CompileCase();
  bool CompileState(bool isDefault);
  bool CompileTryExcept();
  void CompileBracedBody(const char* failure);
  void DefineLabel(TLabelName name);
  void JumpToLabel(uint16_t kind, TLabelName label);
  void ExpectOrRaise(uint16_t code);
  // The punctuation `c` (code `code`) next, or the error raised: inlined where the character is
  // known, so that the usual case is one call.
  void ExpectOrRaise(char c, uint16_t code) {
    if (!TakePunctuation(c, code)) ExpectOrRaise(code);
  }
  bool NextIsChar(char c, uint16_t code);
  // Try blocks open between the innermost level and the level at index `target` (-1: all).
  int TryFramesAbove(int32_t target);
  int UnwindTryFrames(int32_t target);

  // --- procedure declarations
  bool CompileProcDecl(bool isMethod, TRegister objectReg, PDataType classType);
  PFunction ParseProcHeader(bool addIdentifier);
  bool CompileProcPointerDecl(bool isMethod, TRegister objectReg, PDataType classType);
  PFunction NewProcedure(const std::string& name, bool isFunction);
  PData DeclareParameter(PFunction proc, const std::string& name, PDataType type, PDataType pointedTo,
                         int32_t& offset);
  PData DeclareThis(PFunction proc, TRegister objectReg, PDataType classType, int32_t& offset);
  // "TYPE.name" after the convention: the declared method whose body follows.
  PFunction FindDeclaredMethod(PDataType type, int32_t& headerCount);

  // --- record, class and interface types
  PDataType CompileBlockDecl();
  bool CompileClassDecl(bool isInterface);
  // Offset of a data member, or -1 for a method (index = its procedure, size = its slot
  // offset when it is a method pointer) or for a name that is not a member (index -1).
  int32_t FindMember(PDataType type, std::string_view name, int32_t& index, int32_t& size);
  // A member name written after ".", read as plain text so no other item's name interferes.
  std::string ReadMemberName();
  void FollowMembers(PDataType type, TVarInfo& info);
  void ReadTypeMembers(PDataType type, uint32_t& size, bool inClass);
  void AddTypeMember(PDataType type, const std::string& name, PDataType fieldType, int32_t funcIndex,
                     uint32_t offset);
  PDataType NewRecordType(const std::string& name);
  // The object a method call through a data item works on: its address or its register.
  void SetMethodObject(PData data, bool isPointer, const TVarInfo& info, uint32_t itemOffset);
  void ReadParameterDefault(PData param);
  void ReadParameterList(PFunction proc, int32_t& offset);
  void ReadHeaderSignature(PFunction proc);
  void ReadResultType(PFunction proc);
  void EmitPrologue(PFunction proc);
  // Once the body is compiled: lays the procedure out where it can be done on its own and
  // keeps only the room its code, fix-ups and labels fill.
  void FinishProcedure(PFunction proc);

  // --- data declarations
  bool DeclareLocalData(PDataType type, bool inherit);
  bool DeclareGlobalData(PDataType type, bool inherit);
  bool CompileDataPrefix(uint16_t prefix);
  bool CompileConst();
  bool CompileStatic();
  bool CompileLabel();
  bool CompileAssume();
  bool CompileDrop();
  // enum, type, uses, blob
  bool CompileEnum();
  bool CompileTypeAlias();
  bool CompileRegisterList();
  bool CompileEmit();

  // --- imports and exports
  bool CompileImports();
  bool CompileExports();
  // A procedure called or addressed here goes into the image; an import can not, in a boot image.
  void UseProcedure(TFunction& proc);
  // Procedures before this index come from the standard include: "exports +" leaves them out.
  size_t firstProjectProcedure = 1;

  // --- operand statements
  bool CompileRegisterStatement(PCurrentToken reg);
  bool CompileRegisterAssign(PCurrentToken reg);
  bool CompileMemoryAssign();
  bool CompileRegMemberAssign(PCurrentToken member);
  bool CompileSegMemAssign(PCurrentToken seg);
  bool CompileSegRegAssign(PCurrentToken seg);
  bool CompilePointerStatement();
  bool CompileStringStatement(PCurrentToken var);
  bool CompileDataStatement(PCurrentToken var, bool initialiser);
  bool CompileVarOperand(PCurrentToken destination, PCurrentToken source);
  bool PushOperand(uint16_t code, PCurrentToken token);
  // The bytes the last PushOperand put on the stack.
  int32_t lastPushSize = 0;
  PData AddAnonymousString(const std::string& text);
  // The memory place of a memory operand (20), register member (23), segment address (24),
  // local (28), parameter (29) or global (30) token.
  TLocation OperandLocation(const TCurrentToken& t);
  // Memory operands that wait in the call queue, each token pointing at its own by `Int`.
  std::vector<TBaseExpression> queuedBaseExpressions;
  void StoreFunctionResult(const TCurrentToken& call, const TLocation& place, bool registerBound);
  void StoreFloat(const TLocation& place, long double value);
  void RequireFunction(PFunction proc);

  // --- procedure calls
  bool CompileCall(PFunction proc, bool nested, uint32_t memberOffset);
  bool CompileRegisterCall(TRegister reg);
  bool CompileProcStatement(PCurrentToken target);
  // Emits and removes the queued call steps from index `first` on, last step first.
  void ReplayCallQueue(size_t first);
  void EmitCallStep(PCurrentToken step);
  // A saved register token (tk::Register, size of its bank) for a call step.
  PCurrentToken RegisterToken(TRegister reg);

  // --- integer instruction statements
  bool CompileAdd();
  bool CompileSub();
  bool CompileMov();
  bool CompileLea();
  bool CompileCmp();
  bool CompileOr();
  bool CompileXor();
  bool CompileTest();
  bool CompileAnd();
  bool CompileImul();
  bool CompileOneRegister(uint16_t code);  // idiv, div, mul, neg, not, sldt, verr, verw
  bool CompileIn();
  bool CompileOut();
  bool CompileRegisterPair(uint16_t code);  // lar, bt, btc, btr, bts, adc
  bool CompileCallInstruction();
  bool CompileMovzx();
  bool CompileRolRor(uint16_t code);
  bool CompileShift(uint16_t code);
  bool CompileXchg();
  bool CompilePush();
  bool CompilePop();
  bool CompileInt();
  bool CompileInc();
  bool CompileDec();
  bool CompileGoto();
  bool CompileJcc(uint16_t jumpKind);
  bool CompileCmovz();
  // MMX and SSE instruction statements (compiler/instr_simd.cpp).
  bool CompileSimdInstruction(const TSimdStatement& row);
  // After "-", a decimal number or a hexadecimal number: its value ("-" reads the number).
  bool ReadInstrNumber(int64_t& value);
  // Refuses an immediate that does not fit an operand of `bytes` bytes (signed or unsigned).
  void CheckImmediate(int64_t value, int32_t bytes);
  void WarnWideRead(TRegister reg, int32_t itemBytes, std::string_view name);
  // Where a local, parameter or register-held item lies: [localsReg or its register + disp].
  TMemOperand InstrDataOperand(const TCurrentToken& t) const;
  TMemOperand InstrDataOperand(const TData& d, uint32_t offset) const;
  bool ExpectComma();

  // --- x87 instruction statements and fpush (instr_fpu.cpp)
  bool CompileFpuInstruction(uint16_t code);

  // --- link step
  void BuildOutput(const std::string& outputPath);
  // The compiled program as the writers take it; errors are reported through this state.
  TLinkInput MakeLinkInput();

 private:
  bool initialised_ = false;
  std::FILE* logFile_ = nullptr;
  bool logFailed_ = false;
  bool entryDeclared_ = false;
  int blockDepth_ = 0;
  TBodyRoom bodyRoom_;  // a finished body's room, for the next one
  TProcedureLayout procedureLayout_;  // scratch for FinishProcedure
  void releaseState();
  // structured statements
  TBaseExpression leftExpression_;  // the memory operand on the left of a comparison
  int conditionDepth_ = 0;
  void readLeftOperand(TCurrentToken& left, uint16_t code);
  void readRightOperand();  // left as the current token, which the compare reads
  uint16_t readComparison();  // the comparator and the right operand; 0 before ")"
  [[gnu::noinline]] uint16_t compareOperands(bool negate, uint16_t leftCode);
  void compareMemory(const TCurrentToken& left, const TCurrentToken& right);
  void compareRegister(TRegister left, const TCurrentToken& right);
  void compileBranchBody(uint32_t level, const char* failure);
  void compileIfBranch(uint32_t branch, const char* failure);
  uint16_t takeElse();
  void emitCaseDispatch(uint32_t n, TRegister selector);
  void emitTryUnwind();
  void checkTryBodyJumps(size_t firstFixUp, size_t firstLabel);
  int32_t findContinueLevel(uint32_t n) const;
  std::string errorPosition() const;
  std::string sourceLineAtCursor() const;
  // data declarations
  PData assumed_[8] = {};  // the item bound to each 32-bit register by assume
  std::vector<std::string> globalInits_;  // globals set by global code not yet known to run
  int readItemName(bool inherit, bool local, std::string& name);
  PData newDataItem(const std::string& name, TDataMode mode, PDataType type);
  PDataType writtenType(PDataType type) const;
  void storeLocalValue(PData item);
  bool storeGlobalValues(PData item, uint32_t count, bool open);
  void storeArrayText(PData item, uint32_t count, bool open);
  void storeGlobalElement(PData item, uint32_t size);
  void compileGlobalInitCode(PData item);
  void warnSkippedInitialisers();
  std::string readConstText(std::string text);
  bool ParseDataValues(int64_t& value);
  bool compileTypedConst(PData item, PDataType type);
  void readImportHeader(PFunction proc);
  bool readingStandardInclude_ = false;  // its procedures are checked when the link reaches them
  // directives
  void checkRepetitions(int64_t count);
  int32_t passiveEnds_ = 0;    // "#end"s ahead that close an #ifdef, #ifndef or #else, not a body
  bool elsePending_ = false;   // the branches before an "#else" were not taken
  int64_t repetitions_ = 0;    // bodies of #repeat compiled or begun so far in this build
  int64_t repeatsAround_ = 1;  // times the text being read is still to be compiled, by the #repeats around it
  TAFile* exitedFile_ = nullptr;  // an included text left by "#exit": the bodies inside it end
  TAFile* bodyText_ = nullptr;    // the text that holds the directive body being compiled
  TAFile* holdingText(TAFile* f) const;
  bool exitEndsBody() const;
  struct TConditionOperand {
    TCurrentToken token;
    std::string text;
  };
  struct TDirectiveMark {
    int32_t charPos = 0, column = 0;
  };
  enum class TScanWord { open, close, branch, other };
  bool compileSwitchDirective(const std::string& word);
  void directiveOnOff(bool& setting, const char* define, const char* message);
  void directiveLocals();
  void directiveUndef();
  bool directiveExit();
  void expectSemicolon();
  std::string expectString();
  PMacro bodyMacro(const char* directive);
  TConditionOperand readConditionOperand();
  bool namesConstant(const TConditionOperand& left, bool stringOnly);
  void compileTakenBranch();
  void compileDirectiveBody();
  void scanLineEnd(char c);
  void scanQuoted(char quote);
  bool scanComment();
  bool scanToDirective(std::string& word, TDirectiveMark& hash);
  static TScanWord scanWordKind(const std::string& word);
  void backToDirective(const TDirectiveMark& hash);
  bool scanToEnd(bool branches, bool stopAtBranch, int32_t& branchEnd, const char* what);
  // macros
  std::vector<int32_t> expandingMacros_;  // macros whose bodies are being compiled, innermost last
  struct TMacroLabelJump {
    PFunction func;
    size_t fixup;
    std::string plainName;
  };
  std::vector<TMacroLabelJump> macroLabelJumps_;  // jumps to labels named inside macro bodies
  std::string captureMacroBody(const std::string& name);
  void resolveMacroLabelJumps(size_t first, const std::string& suffix);
  // lexer internals
  // Deep enough for any real source; stops runs like "((((" or "@@@@" before the stack does.
  static constexpr int kMaxLexDepth = 200;
  int lexDepth_ = 0;
  int callDepth_ = 0;  // calls open as arguments of calls
  bool noJoin_ = false;  // reading one operand of a string join
  std::string wordLower_;  // the current word lower-cased, reused so words do not allocate
  // Some macro bears a fixed word's name: only then must a fixed word look for a macro call.
  bool macroNamedLikeKeyword_ = false;
  // The run of "+" or "-" tokens last looked at: the meaning of each depends on the ones after it.
  struct TOperatorRun {
    const TAFile* file = nullptr;
    char c = 0;
    std::vector<int32_t> positions;
    bool endsInAssign = false;
  } operatorRun_;
  // GetToken's quick path (readQuick) and what it hands over to: getTokenFull, the depth guard
  // and the scanning loop (readFull), and continueWord, the rest of a word it has read
  // (readWordRest; without `kw` the word is looked up there). The choices of the call wait in
  // lexChoices_ for the path that reads the token, so that the quick path keeps no registers
  // for them.
  enum : uint8_t { kKeepMacroVarName = 1, kNoStatementForms = 2, kSkipPluginKeywords = 4 };
  uint8_t lexChoices_ = 0;
  uint16_t readQuick();
  [[gnu::noinline]] uint16_t getTokenFull();
  [[gnu::noinline]] uint16_t continueWord(std::string_view word, const TKeyword* kw);
  [[gnu::noinline]] uint16_t continueWord(std::string_view word);
  template <typename... A>
  uint16_t withChoices(uint16_t (TCompiler::*read)(A...), A... args);
  [[gnu::noinline]] uint16_t readFull();
  [[gnu::noinline]] uint16_t readWordRest(std::string_view word, const TKeyword* kw);
  // Only readFull calls it; inlined there to spare a call and a frame per token.
  [[gnu::always_inline]] inline uint16_t scanToken(bool keepMacroVarName, bool noStatementForms);
  uint16_t scanOn(bool keepMacroVarName, bool noStatementForms);  // the loop, past the first token's start
  // No plug-in listens for characters or words: the lexer may read the commonest tokens alone.
  bool lexerReadsPlain() const { return !pluginSys || !pluginSys->HasEntries(); }
  void resetToken(uint16_t code, std::string_view text, bool lasting = false);
  uint16_t setSourceToken(uint16_t code, std::string_view word);
  // Every field from Token to DataOffset zero (+0.0, no register, segment CS), then the code.
  void clearTokenFields(uint16_t code) {
    static_assert(rdEAX == 0 && segCS == 0);
    constexpr size_t kCleared = offsetof(TCurrentToken, DataOffset) + sizeof curToken.DataOffset;
    std::memset(static_cast<void*>(&curToken), 0, kCleared);
    curToken.Token = code;
  }
  // Tokens the lexer's quick path reads, their text in the source: a code with no value, a
  // register, a decimal number whose value it worked out as it read the digits.
  uint16_t setPlainSourceToken(uint16_t code, std::string_view word) {
    curToken.Str.refer(word);
    clearTokenFields(code);
    setPlainSize();
    return code;
  }
  uint16_t setPlainRegisterToken(std::string_view word, TRegister r) {
    curToken.Str.refer(word);
    clearTokenFields(tk::Register);
    setRegisterFields(r);
    return tk::Register;
  }
  uint16_t setDecimalToken(std::string_view digits, int64_t value) {
    curToken.Str.refer(digits);
    clearTokenFields(tk::Number);
    curToken.Length = static_cast<int32_t>(digits.size());
    curToken.Int = value;
    setExtendedFromInt(curToken.Ext, value);
    return tk::Number;
  }
  bool inSource(std::string_view text) const;
  void setRegisterFields(TRegister r) {
    TCurrentToken& t = curToken;
    t.Reg = r;
    t.RegID = static_cast<uint8_t>(regNumber(r));
    t.Size = regSize(r);
    t.Length = t.Size / 8;
  }
  uint16_t setRegisterToken(std::string_view word, TRegister r, bool readOn = false);
  // Those marked noinline read what few tokens are: called, not inlined, so the scanning loop
  // that every token passes through stays small.
  [[gnu::noinline]] bool offerCharToPlugins(char c);
  void startLine();
  char nextNonBlank();
  [[gnu::noinline]] void checkNotNul(char c);
  uint16_t lexOperator(char c);
  uint16_t lexPlusMinus(char c);
  uint16_t lexParen(bool noStatementForms);
  uint16_t lexBracket();
  bool plainRegisterAhead() const;
  [[gnu::noinline]] uint16_t lexAt();
  uint16_t addressOfCurrent();
  [[gnu::noinline]] uint16_t lexString(char quote, bool allowConstants);
  bool readQuoted(char quote, std::string& text);
  void appendJoined(std::string& text, bool allowConstants);
  [[gnu::noinline]] uint16_t lexOrdinal();
  [[gnu::noinline]] int lexSlash();  // -1: no comment; 0: comment skipped; 1: end of text
  [[gnu::noinline]] uint16_t lexDollar(bool keepMacroVarName, bool noStatementForms);
  uint16_t lexMacroArgument();
  void loadMacroValue(PMacroVar var);
  void needMacroValue(PMacroVar var);  // the error for a variable never given a value
  [[gnu::noinline]] uint16_t lexHash();
  uint16_t lexNumber(char first);
  int lexWord(char first, uint16_t& code);  // 0 token ready, 1 scan again
  int lexKnownWord(std::string_view word, const TKeyword* kw, uint16_t& code);  // after the plug-ins
  [[gnu::noinline]] int offerWordToPlugins(std::string_view word, uint16_t& code);  // -1: not taken
  uint16_t lexFixedWord(const TKeyword& kw, std::string_view word);
  uint16_t lexRegister32(std::string_view word, TRegister reg);
  [[gnu::noinline]] uint16_t lexFpuStack();
  [[gnu::noinline]] uint16_t lexSegment(std::string_view word);
  [[gnu::noinline]] uint16_t lexFunction(const TKeyword& kw);
  uint16_t fnSizeof();
  uint16_t fnTypeText(bool deftype);
  uint16_t fnLoadfs();
  uint16_t fnOffset();
  int lexIdentifierWord(std::string_view word, uint16_t& code);
  uint16_t lexTypeName(std::string_view word, PDataType type);
  bool intStartsInstruction() const;
  void checkHexWidth(std::string_view digits);
  void checkDecimalWidth(std::string_view digits);
  uint16_t lexMacro(PMacro macro);
  int lexData(PData data, std::string_view word, uint16_t& code);  // 0 token ready, 1 scan again
  void lexIndex(PData data);
  int lexMember(PData data);
  void expectOrRaise(std::initializer_list<uint16_t> codes);
};

// Lets hexadecimal literals fill 64 bits while the value of an 8-byte item is read.
class TWideHex {
 public:
  TWideHex(TCompiler& c, bool wide) : flag_(c.hexWide_), old_(c.hexWide_) { flag_ = wide; }
  ~TWideHex() { flag_ = old_; }
  TWideHex(const TWideHex&) = delete;
  TWideHex& operator=(const TWideHex&) = delete;

 private:
  bool& flag_;
  bool old_;
};

}  // namespace kelvo
