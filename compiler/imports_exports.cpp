// Procedures that live in a DLL ("imports") and procedures the program offers ("exports").
#include <algorithm>

#include "frontend/compiler.h"
#include "frontend/token_codes.h"
#include "output/raw_writer.h"

namespace kelvo {

// The parameter list and result type of an imported procedure, up to the ";" after them.
// Parameter names get a leading "+" so they never collide with the program's own names.
void TCompiler::readImportHeader(PFunction proc) {
  const uint16_t opened = ExpectToken({tk::LParen, proc->isFunction ? tk::Colon : tk::Semicolon});
  if (opened == tk::Invalid) RaiseError();
  if (opened == tk::Colon) {
    ReadResultType(proc);
  } else if (opened == tk::LParen) {
    if (ExpectToken({tk::RParen, tk::TypeName}) == tk::Invalid) RaiseError();
    bool defaultsStarted = false;
    while (curToken.Token == tk::TypeName) {
      const PDataType type = curToken.DataType;
      uint16_t next = tk::Comma;
      while (next == tk::Comma) {
        if (ExpectToken(tk::kParameterNameCodes) == tk::Invalid) RaiseError();
        auto param = std::make_unique<TData>();
        param->dataName = "+" + lowerCase(curToken.Str);
        param->dataType = type;
        param->dataMode = dmLocalParam;
        param->dataSigned = type->typeSigned;
        param->intMultiplier = 1;
        param->defaultValue.ttype = tk::Invalid;
        param->dataIdent = static_cast<int32_t>(listData.size());
        PData p = param.get();
        listData.push_back(std::move(param));
        DeclareIdent(p->dataName, itData, p->dataIdent);
        proc->AddParam(p, type);
        proc->dwTotalParamSize += alignValue(static_cast<uint32_t>(type->typeSize), 4);
        if (PeekToken() == tk::Assign || defaultsStarted) {
          if (ExpectToken({tk::Assign}) == tk::Invalid) RaiseError();
          defaultsStarted = true;
          ReadParameterDefault(p);
        }
        next = ExpectToken({tk::Comma, tk::Semicolon, tk::RParen, tk::LBracket});
      }
      if (next == tk::Invalid) RaiseError();
      if (next == tk::LBracket) {
        if (ExpectToken({tk::RBracket}) == tk::Invalid || ExpectToken({tk::RParen}) == tk::Invalid) RaiseError();
        proc->bMinParams = true;
        break;
      }
      if (next == tk::RParen) break;
      if (ExpectToken({tk::TypeName}) == tk::Invalid) RaiseError();
    }
    if (proc->isFunction) {
      if (ExpectToken({tk::Colon}) == tk::Invalid) RaiseError();
      ReadResultType(proc);
    }
  }
  if (curToken.Token != tk::Semicolon && ExpectToken({tk::Semicolon}) == tk::Invalid) RaiseError();
}

// imports ("name.dll") { function name [= other] (params): type; convention; ... }
bool TCompiler::CompileImports() {
  if (ExpectToken({tk::LParen}) == tk::Invalid || ExpectToken({tk::String}) == tk::Invalid) return false;
  const std::string dll = curToken.Str;
  if (dll.empty()) Error("DLL name expected");
  if (ExpectToken({tk::RParen}) == tk::Invalid || ExpectToken({tk::LBrace}) == tk::Invalid) return false;
  int32_t dllIndex = -1;
  for (size_t i = 0; i < slistDLLs.size(); ++i)
    if (sameText(slistDLLs[i], dll)) dllIndex = static_cast<int32_t>(i);
  for (;;) {
    const uint16_t kind = ExpectToken({tk::Function, tk::Procedure, tk::RBrace});
    if (kind == tk::Invalid) return false;
    if (kind == tk::RBrace) break;
    std::string name;
    if (PeekToken() == tk::ProcCall) {
      // Importing again what is already imported (the standard include imports some
      // procedures too) declares a newer procedure under the name.
      GetToken();
      if (curToken.Proc->DLLIndex == -1) Error("Identifier Redeclared \"" + curToken.Str + "\".");
      name = curToken.Str;
    } else if (readItemName(false, false, name) != 0) {
      return false;
    }
    std::string importName = name;
    if (PeekToken() == tk::Assign) {
      GetToken();
      // The DLL's name for it: a word, or a quoted text for names that are not words.
      if (GetToken() == tk::LParen) {
        if (ExpectToken({tk::String}) == tk::Invalid) return false;
        importName = curToken.Str;
        if (ExpectToken({tk::RParen}) == tk::Invalid) return false;
      } else if (curToken.Token == tk::Identifier || curToken.Token == tk::ProcCall) {
        importName = curToken.Str;
      } else {
        strLastError = "Expected identifier but found " + curToken.Str;
        return false;
      }
    }
    PFunction proc = NewProcedure(name, kind == tk::Function);
    proc->ImportName = importName;
    proc->Address = 0xFFFFFFFFu;
    const TIdentType identType = proc->isFunction ? itFunction : itProcedure;
    DeclareIdent(lowerCase(name), identType, proc->FuncIndex);
    // The DLL's own name reaches the import too, unless that name already stands for something
    // else (an import of the same name from another DLL): an alias must not redirect it.
    const std::string lowerImport = lowerCase(importName);
    if (lowerImport != lowerCase(name) && !SmartIdents.Find(0, lowerImport))
      DeclareIdent(lowerImport, identType, proc->FuncIndex);
    readImportHeader(proc);
    const uint16_t method = ExpectToken({tk::CallMethod, tk::Identifier});
    if (method == tk::Invalid) return false;
    if (method == tk::Identifier) Error("Unknown calling method");
    proc->CallMethod = strToCallMethod(curToken.Str);
    if (proc->CallMethod == cmUnknown) Error("Unknown calling method");
    if (proc->bMinParams && proc->CallMethod != cmCdecl)
      Error("Only cdecl calling convension support uncounted arguments[]");
    if (ExpectToken({tk::Semicolon}) == tk::Invalid) return false;
    if (dllIndex < 0) {
      dllIndex = static_cast<int32_t>(slistDLLs.size());
      slistDLLs.push_back(dll);
    }
    proc->DLLIndex = dllIndex;
    lastAddedProc = proc;
  }
  return true;
}

// A boot image is loaded by the BIOS, which resolves nothing: an import would be a call into
// the bytes before the image. The standard include's procedures that use imports are refused
// by the link step, only when the program reaches them.
void TCompiler::UseProcedure(TFunction& proc) {
  proc.Called = true;
  if (PEFile.F_FileType != petBOOTLOADER || proc.DLLIndex == -1 || readingStandardInclude_) return;
  Error(NoImportsInBootImage(proc.Name, slistDLLs[static_cast<size_t>(proc.DLLIndex)]));
}

// exports name, name;  or  exports +;  (every procedure with a body the project declared so far)
bool TCompiler::CompileExports() {
  if (PEFile.F_FileType == petBOOTLOADER) Error("A boot image has no exports: nothing can call into it by name");
  if (PeekToken() == tk::Plus) {
    GetToken();
    for (size_t i = std::max<size_t>(firstProjectProcedure, 1); i < listProcedures.size(); ++i) {
      TFunction& f = *listProcedures[i];
      if (f.DLLIndex != -1 || f.isDeclaration || f.isPointer) continue;  // no code of ours to offer
      f.isExported = true;
      f.Called = true;
    }
    if (PeekToken() == tk::Semicolon) GetToken();
    return true;
  }
  for (;;) {
    if (ExpectToken({tk::ProcCall}) == tk::Invalid) return false;
    const PFunction f = curToken.Proc;
    if (f->DLLIndex != -1) Error("Imported procedure \"" + f->Name + "\" can not be exported");
    if (f->isDeclaration || f->isPointer) Error("\"" + f->Name + "\" has no code to export");
    f->isExported = true;
    f->Called = true;
    const uint16_t next = ExpectToken({tk::Comma, tk::Semicolon});
    if (next == tk::Invalid) return false;
    if (next == tk::Semicolon) return true;
  }
}

}  // namespace kelvo
