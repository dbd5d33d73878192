// The routines a plug-in reaches through pluginGetFunction. None lets an error unwind into the
// plug-in: it waits in the manager, the routine returns its failure value, and the host raises
// it once the plug-in's entry point or handler has returned.
#include <cmath>
#include <cstring>

#include "frontend/compiler.h"
#include "frontend/token_codes.h"
#include "plugins/host_callbacks.h"
#include "plugins/plugin_text.h"

namespace kelvo {
namespace {

std::string textOf(const char* text) { return text ? text : ""; }

// Runs a routine's body; while an error waits, or without a compile, it does nothing.
template <typename R, typename F>
R guarded(R failed, F&& body) {
  TPluginManager* m = TPluginManager::Current();
  TCompiler* c = TCompiler::Instance();
  if (!m || !c || m->ErrorPending()) return failed;
  try {
    return body(*c, *m);
  } catch (const std::exception& e) {
    m->SetPendingError(e.what());
    return failed;
  }
}

// For routines that read the source or compile: they need a file and a procedure to work on,
// which exist from the plug-ins' loading until the program is written.
template <typename R, typename F>
R driving(R failed, F&& body) {
  return guarded(failed, [&](TCompiler& c, TPluginManager& m) -> R {
    if (!c.curFile || !c.curFunc || m.unloading) return failed;
    return body(c, m);
  });
}

[[noreturn]] void refuse(TCompiler& c, const char* routine, const char* why) {
  c.Error(std::string("PlugSys: ") + routine + ": " + why);
}

// At most `length` bytes of a plug-in's text, never past its terminating zero.
std::string_view checkedText(TCompiler& c, const char* routine, const char* text, int32_t length) {
  if (!text) refuse(c, routine, "no text was given");
  if (length < 0) refuse(c, routine, "the length is negative");
  return {text, strnlen(text, static_cast<size_t>(length))};
}

// --- messages and files

void pluginError(const char* text) {
  guarded(0, [&](TCompiler& c, TPluginManager&) -> int { c.Error("PlugSys: " + textOf(text)); });
}

void pluginMessage(const char* text) {
  guarded(0, [&](TCompiler& c, TPluginManager&) {
    c.Print("PlugSys: " + textOf(text), clInfo);
    return 0;
  });
}

int32_t pluginCompileText(const char* text, int32_t length) {
  return driving(0, [&](TCompiler& c, TPluginManager& m) -> int32_t {
    const std::string_view source = checkedText(c, "pluginCompileText", text, length);
    TPluginFlagsScope flags(c, false);
    TPluginBufferScope buffer(c, m, source);
    return c.CompileBlock(-1, false, false, true) ? 1 : 0;
  });
}

TAFile* fileOf(TCompiler& c, uintptr_t handle) {
  return handle < c.listFiles.size() ? c.listFiles[handle].get() : nullptr;
}

uintptr_t pluginSetFileText(uintptr_t handle, const char* text, int32_t length) {
  return guarded(uintptr_t{0}, [&](TCompiler& c, TPluginManager& m) -> uintptr_t {
    TAFile* file = fileOf(c, handle);
    if (!file) return 0;
    c.curToken.Str.own();
    file->strSource.assign(std::string(checkedText(c, "pluginSetFileText", text, length)));
    file->intSourceLen = static_cast<int32_t>(file->strSource.size());
    m.NoteRewrite();
    return 1;
  });
}

const char* pluginGetFileText(uintptr_t handle) {
  return guarded<const char*>(nullptr, [&](TCompiler& c, TPluginManager& m) -> const char* {
    const TAFile* file = fileOf(c, handle);
    return file ? m.KeepText(std::string(file->strSource)) : nullptr;
  });
}

// --- keywords, tokens and procedures

int32_t addEntry(bool token, const char* name, kelvo_handler handler) {
  return guarded(-1, [&](TCompiler& c, TPluginManager& m) {
    const char* routine = token ? "pluginAddToken" : "pluginAddKeyword";
    if (!name || !*name) refuse(c, routine, "the name is empty");
    if (!handler) refuse(c, routine, "no handler was given");
    return m.AddEntry(token, name, handler);
  });
}

int32_t pluginAddKeyword(const char* name, kelvo_handler handler) { return addEntry(false, name, handler); }
int32_t pluginAddToken(const char* name, kelvo_handler handler) { return addEntry(true, name, handler); }

int32_t pluginRemoveKeyword(const char* name) {
  return guarded(0, [&](TCompiler&, TPluginManager& m) { return name && m.RemoveKeyword(name) ? 1 : 0; });
}

int32_t pluginEvalText(const char* text) {
  return driving(-1, [&](TCompiler& c, TPluginManager& m) -> int32_t {
    if (!text) refuse(c, "pluginEvalText", "no text was given");
    TPluginFlagsScope flags(c, true);
    TPluginBufferScope buffer(c, m, text);
    if (c.ExpectToken({tk::Function}) != tk::Function) return -1;
    // The declaration may stand inside a body; the body goes on afterwards.
    const bool inProcedure = c.bInProcedure;
    if (!c.CompileProcDecl(false, rdEAX, nullptr)) c.RaiseError();
    c.bInProcedure = inProcedure;
    return c.lastAddedProc->FuncIndex;
  });
}

int32_t pluginCallProc(int32_t index, const char* arguments) {
  return driving(0, [&](TCompiler& c, TPluginManager& m) -> int32_t {
    if (index < 0 || static_cast<size_t>(index) >= c.listProcedures.size()) return 0;
    if (!arguments) refuse(c, "pluginCallProc", "no argument text was given");
    TPluginBufferScope buffer(c, m, std::string(arguments) + ";");
    return c.CompileCall(c.listProcedures[static_cast<size_t>(index)].get(), false, 0) ? 1 : 0;
  });
}

// --- the lexer and the current token

int32_t pluginNextToken(int32_t expected) {
  return driving(-1, [&](TCompiler& c, TPluginManager&) -> int32_t {
    TPluginFlagsScope flags(c, false);
    const uint16_t read = c.ExpectToken({static_cast<uint16_t>(expected)});
    return read == tk::Invalid ? -1 : read;
  });
}

int32_t pluginCompileStatement() {
  return driving(-1, [&](TCompiler& c, TPluginManager&) -> int32_t {
    TPluginFlagsScope flags(c, false);
    return c.GetToken(false, true);
  });
}

int32_t pluginGetTokenSize() {
  return guarded(0, [](TCompiler& c, TPluginManager&) { return static_cast<int32_t>(c.curToken.Size); });
}

void pluginEmitBytes(const void* bytes, int32_t length) {
  driving(0, [&](TCompiler& c, TPluginManager&) {
    if (length < 0) refuse(c, "pluginEmitBytes", "the length is negative");
    if (!bytes && length > 0) refuse(c, "pluginEmitBytes", "no bytes were given");
    if (length > 0) c.curFunc->recAssembler.strCode.append(static_cast<const char*>(bytes), static_cast<size_t>(length));
    return 0;
  });
}

int32_t pluginIsLineEndAhead() {
  return driving(0, [](TCompiler& c, TPluginManager&) { return c.IsLineEndAhead() ? 1 : 0; });
}

int32_t pluginPeekToken() {
  return driving(-1, [](TCompiler& c, TPluginManager&) -> int32_t { return c.PeekToken(); });
}

// The line that holds the reading position, from the character after the previous line end.
int32_t pluginGetLine(char* buffer, int32_t length) {
  return driving(0, [&](TCompiler& c, TPluginManager&) -> int32_t {
    if (length < 0) refuse(c, "pluginGetLine", "the length is negative");
    if (length == 0) return 0;
    if (!buffer) refuse(c, "pluginGetLine", "no buffer was given");
    const TAFile& f = *c.curFile;
    auto isLineEnd = [](char ch) { return ch == '\n' || ch == '\r'; };
    int32_t start = f.intCurChar;
    while (start >= 1 && !isLineEnd(f.CharAt(start))) --start;
    int32_t copied = 0;
    for (int32_t at = start + 1; copied < length - 1 && at <= f.intSourceLen && !isLineEnd(f.CharAt(at)); ++at)
      buffer[copied++] = f.CharAt(at);
    buffer[copied] = '\0';
    return copied;
  });
}

int32_t pluginGetTokenDataId() {
  return guarded(-1, [](TCompiler& c, TPluginManager&) { return c.curToken.Data ? c.curToken.Data->dataIdent : -1; });
}

void pluginSetToken(int32_t code, const char* text) {
  guarded(0, [&](TCompiler& c, TPluginManager&) {
    if (!text) refuse(c, "pluginSetToken", "no text was given");
    c.curToken.Token = static_cast<uint16_t>(code);
    c.curToken.Str = text;
    return 0;
  });
}

int32_t pluginNextChar() {
  return driving(0, [](TCompiler& c, TPluginManager&) -> int32_t {
    TPluginFlagsScope flags(c, false);
    return static_cast<unsigned char>(c.NextChar());
  });
}

const char* pluginGetDataName(int32_t index) {
  return guarded<const char*>(nullptr, [&](TCompiler& c, TPluginManager& m) -> const char* {
    if (index < 0 || static_cast<size_t>(index) >= c.listData.size()) return nullptr;
    const PDataType type = c.listData[static_cast<size_t>(index)]->dataType;
    return type ? m.KeepText(type->typeName) : nullptr;
  });
}

int32_t pluginGetTokenInt() {
  return guarded(0, [](TCompiler& c, TPluginManager&) {
    return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(c.curToken.Int)));
  });
}

double pluginGetTokenFloat(int32_t size) {
  return guarded(0.0, [&](TCompiler& c, TPluginManager&) -> double {
    const long double value = c.curToken.Ext;
    switch (size) {
      case 4: return static_cast<float>(value);
      case 8:
      case 10: return static_cast<double>(value);
      default: return 0.0;
    }
  });
}

const char* pluginGetTokenStr() {
  return guarded<const char*>(nullptr, [](TCompiler& c, TPluginManager& m) { return m.KeepText(c.curToken.Str); });
}

template <typename F>
uintptr_t address(F* routine) {
  return reinterpret_cast<uintptr_t>(routine);
}

}  // namespace

uintptr_t pluginGetFunction(uint32_t id) {
  switch (static_cast<uint16_t>(id)) {
    case KELVO_VALUE_CPU_MODE: {
      const TCompiler* c = TCompiler::Instance();
      return c ? static_cast<uintptr_t>(c->curCPUMode) : 0;
    }
    case KELVO_FN_ERROR: return address(&pluginError);
    case KELVO_FN_MESSAGE: return address(&pluginMessage);
    case KELVO_FN_COMPILE_TEXT: return address(&pluginCompileText);
    case KELVO_FN_SET_FILE_TEXT: return address(&pluginSetFileText);
    case KELVO_FN_GET_FILE_TEXT: return address(&pluginGetFileText);
    case KELVO_FN_ADD_KEYWORD: return address(&pluginAddKeyword);
    case KELVO_FN_REMOVE_KEYWORD: return address(&pluginRemoveKeyword);
    case KELVO_FN_EVAL_TEXT: return address(&pluginEvalText);
    case KELVO_FN_ADD_TOKEN: return address(&pluginAddToken);
    case KELVO_FN_CALL_PROC: return address(&pluginCallProc);
    case KELVO_FN_NEXT_TOKEN: return address(&pluginNextToken);
    case KELVO_FN_COMPILE_STATEMENT: return address(&pluginCompileStatement);
    case KELVO_FN_GET_TOKEN_SIZE: return address(&pluginGetTokenSize);
    case KELVO_FN_EMIT_BYTES: return address(&pluginEmitBytes);
    case KELVO_FN_IS_LINE_END_AHEAD: return address(&pluginIsLineEndAhead);
    case KELVO_FN_PEEK_TOKEN: return address(&pluginPeekToken);
    case KELVO_FN_GET_LINE: return address(&pluginGetLine);
    case KELVO_FN_GET_TOKEN_DATA_ID: return address(&pluginGetTokenDataId);
    case KELVO_FN_SET_TOKEN: return address(&pluginSetToken);
    case KELVO_FN_NEXT_CHAR: return address(&pluginNextChar);
    case KELVO_FN_GET_DATA_NAME: return address(&pluginGetDataName);
    case KELVO_FN_GET_TOKEN_INT: return address(&pluginGetTokenInt);
    case KELVO_FN_GET_TOKEN_FLOAT: return address(&pluginGetTokenFloat);
    case KELVO_FN_GET_TOKEN_STR: return address(&pluginGetTokenStr);
    default: return 0;
  }
}

}  // namespace kelvo
