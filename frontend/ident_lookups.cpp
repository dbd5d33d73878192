#include "frontend/compiler.h"

namespace kelvo {

PDataType TCompiler::FindType(std::string_view name) {
  const TIdentifier* entry = SmartIdents.Find(0, name);
  if (!entry) Error("Unable to find data type " + std::string(name));
  if (entry->identType != itType) return nullptr;
  return listTypes[static_cast<size_t>(entry->identPos)].get();
}

PFunction TCompiler::FindProc(std::string_view name) {
  const TIdentifier* entry = SmartIdents.Find(0, name);
  if (!entry) Error("Unable to find function or procedure " + std::string(name));
  if (entry->identType != itProcedure && entry->identType != itFunction)
    Error(std::string(name) + " is not a valid function or procedure");
  return listProcedures[static_cast<size_t>(entry->identPos)].get();
}

TIdentifier* TCompiler::DeclareIdent(std::string_view name, TIdentType kind, int32_t position) {
  if (kind == itMacro && findKeyword(name)) macroNamedLikeKeyword_ = true;
  return SmartIdents.Declare(name, kind, position);
}

PData TCompiler::AddNamedConst(std::string_view name, uint32_t value) {
  auto d = std::make_unique<TData>();
  d->dataName = name;
  d->dataMode = dmConst;
  d->dataType = compilerPtrType;
  d->dataAddress = value;
  d->dataSubMode = smLong;
  d->dataIdent = static_cast<int32_t>(listData.size());
  listData.push_back(std::move(d));
  DeclareIdent(name, itData, listData.back()->dataIdent);
  return listData.back().get();
}

PDataType TCompiler::AddType(std::string_view name, int32_t size, int64_t lower, int64_t upper) {
  auto t = std::make_unique<TDataType>();
  t->typeName = name;
  t->typeSize = size;
  t->typeLower = lower;
  t->typeUpper = upper;
  t->typeSigned = lower < 0;
  t->typeIdent = static_cast<int32_t>(listTypes.size());
  listTypes.push_back(std::move(t));
  DeclareIdent(name, itType, listTypes.back()->typeIdent);
  return listTypes.back().get();
}

}  // namespace kelvo
