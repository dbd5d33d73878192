// Enumerations and records shared by every part of the compiler.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "common/name_index.h"
#include "common/rare_fields.h"

namespace kelvo {

// Carries a report out of the build; the entry prints it unless it is the silent abort.
class ECompileError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};
inline constexpr const char* kSilentAbort = "Operation aborted";

// Registers by size bank, each bank in x86 encoding order: the bank is the operand size.
enum TRegister : uint8_t {
  rdEAX, rdECX, rdEDX, rdEBX, rdESP, rdEBP, rdESI, rdEDI,
  rdAX, rdCX, rdDX, rdBX, rdSP, rdBP, rdSI, rdDI,
  rdAL, rdCL, rdDL, rdBL, rdAH, rdCH, rdDH, rdBH,
};
constexpr int kRegisterCount = 24;

enum TSegment : uint8_t { segCS, segSS, segDS, segES, segFS, segGS };
constexpr int kSegmentCount = 6;

enum TCallMethod : uint8_t { cmUnknown, cmStdcall, cmCdecl, cmFastcall, cmKelCall };
enum TIdentType : uint8_t { itIdent, itProcedure, itFunction, itType, itMacro, itData };
enum TDataMode : uint8_t { dmPointer, dmConst, dmVar, dmBlock, dmLocalVar, dmLocalParam };
enum TDataSubMode : uint8_t { smLong, smFloat, smString };
enum TCompilerMode : uint8_t { cmCLEAN, cmMEAN };
enum TFixType : uint8_t {
  ftNone, ftJmp, ftCall, ftProcAddress, ftDataAddress, ftAppendDataAddr,
  ftAppendBase, ftAppendCodeBase, ftLabelAddress, ftOffsetLabelAddress,
};
enum TPECOFFType : uint8_t { petEXE, petDLL, petCOFF, petBOOTLOADER };

struct TDataType;
struct TData;
struct TFunction;
struct TAFile;
struct TMacro;
struct TMacroVariable;
struct TCurrentToken;
struct TStateInfo;
struct TFixUp;
using PDataType = TDataType*;
using PData = TData*;
using PFunction = TFunction*;
using PAFile = TAFile*;
using PMacro = TMacro*;
using PMacroVar = TMacroVariable*;
using PCurrentToken = TCurrentToken*;
using PStateInfo = TStateInfo*;
using PFixUp = TFixUp*;

// What the scoped identifier table tells of a name; the table keeps the name itself beside it.
// Members run from widest to narrowest, so the table's entry packs its own after them.
struct TIdentifier {
  void* identData = nullptr;
  int32_t identScope = 0;
  int32_t identPos = -1;  // index into the list that holds the named thing
  TIdentType identType = itIdent;
};

struct TDataDefaultType {
  int32_t ttype = 0;
  void* ct = nullptr;
};

// A declared data item: variable, parameter, constant or block. Members run from widest to
// narrowest so the record carries no padding; every parameter of every procedure has one.
struct TData {
  std::string dataName;
  // Only constants have these.
  TRareText strVal;
  TRareValue<long double> dataValExt;
  PDataType dataType = nullptr;
  PDataType dataPtrType = nullptr;
  TDataDefaultType defaultValue;  // "default" is a C++ keyword
  int32_t dataIdent = 0;  // index in listData
  uint32_t dataAddress = 0;  // image offset, frame offset, or integer constant value
  uint32_t intMultiplier = 0;  // element count
  int32_t strLength = 0;
  // 0 or 1: a parameter passed in dataRegister; an item bound to dataRegister (assume, "this").
  uint8_t dataIsRegister = 0;
  uint8_t dataUseRegister = 0;
  TDataMode dataMode = dmPointer;
  TDataSubMode dataSubMode = smLong;
  TRegister dataRegister = rdEAX;
  bool dataSigned = false;
  bool dataIsArray = false;  // declared with [n] or []: an index picks elements even for one

  // From a pool: a large program makes one for every parameter and keeps it to the end.
  static void* operator new(size_t size);
  static void operator delete(void* record) noexcept;
};

// A built-in or declared type; the four member arrays run in parallel.
struct TDataType {
  int32_t typeIdent = 0;
  std::string typeName;
  int32_t typeSize = 0;
  int64_t typeLower = 0;
  int64_t typeUpper = 0;
  bool typeSigned = false;
  bool typeClass = false;
  TRegister typeClassUseReg = rdEAX;
  bool typeInterface = false;
  uint32_t typeFieldCount = 0;
  std::vector<std::string> typeVars;   // member names
  std::vector<PDataType> typeFields;   // member types; none for a method
  std::vector<int32_t> typeFunc;       // method's procedure index; -1 for data
  std::vector<uint32_t> typeOffset;    // data member's byte offset
  int32_t typeLargestSize = 0;
  uint32_t typeInheritedCount = 0;     // leading members copied from the base type
  // Member positions by name, so that neither declaring nor finding a member walks the others:
  // a type may have very many.
  TNameIndex typeMemberIndex;
};

// The position of the member of that name (any letter case), or -1.
int32_t memberPosition(const TDataType& type, std::string_view name);
// Appends a member name to the type's names and index.
void addMemberName(TDataType& type, std::string_view name);

extern const char* const kRegisterNames[kRegisterCount];
extern const char* const kSegmentNames[kSegmentCount];

// Width in bits of a register's bank.
constexpr int regSize(TRegister r) { return r < rdAX ? 32 : (r < rdAL ? 16 : 8); }
// The register's number inside its bank, as x86 encodes it.
constexpr int regNumber(TRegister r) { return static_cast<int>(r) & 7; }

// Token codes: both defined with the token table.
std::string opcodeToStr(uint16_t code);
uint16_t strToVarKind(std::string_view text);
TCallMethod strToCallMethod(std::string_view text);
TRegister strToReg(std::string_view text);
TSegment strToSeg(std::string_view text);
uint32_t strToCharConst(std::string_view text);
uint16_t strToSubSystem(std::string_view text);
int64_t hexToInt64(std::string_view digits);
uint32_t alignValue(uint32_t value, uint32_t alignment);

// Letter-case helpers for the 8-bit texts of the language.
inline char lowerChar(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }
std::string lowerCase(std::string_view text);
bool sameText(std::string_view a, std::string_view b);
bool isFloatType(const TDataType* t);  // single, double, extended and their real names

}  // namespace kelvo
