// Compiler state built by hand, the way the statement compiler leaves it, for the link step's
// tests.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <initializer_list>
#include <memory>
#include <string>

#include "frontend/compiler.h"

namespace kelvo::testing {

// A folder of its own for each test, removed after it.
class TScratchFolderTest : public ::testing::Test {
 protected:
  explicit TScratchFolderTest(const char* prefix) : prefix_(prefix) {}
  void SetUp() override {
    dir = std::filesystem::temp_directory_path() /
          (prefix_ + std::to_string(::getpid()) + "-" +
           ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(dir);
  }
  void TearDown() override { std::filesystem::remove_all(dir); }
  std::string path(const std::string& name) const { return (dir / name).string(); }
  static std::string read(const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }

  std::filesystem::path dir;

 private:
  std::string prefix_;
};

class THandProgram {
 public:
  explicit THandProgram(TPECOFFType kind, uint16_t subsystem = 3) : c(std::make_unique<TCompiler>()) {
    c->Settings.writeLog = false;
    c->Init();
    c->PEFile.F_FileType = kind;
    c->PEFile.F_entryFuncID = -1;
    appSubSystem = subsystem;
    auto g = std::make_unique<TFunction>();
    g->Called = true;
    c->listProcedures.push_back(std::move(g));
  }
  ~THandProgram() { c->Free(); }

  std::unique_ptr<TCompiler> c;

  TFunction& global() { return *c->listProcedures[0]; }

  // A procedure with the prologue 55 / 8B EC / six 90 bytes, as its declaration writes it.
  TFunction& proc(const std::string& name, int params = 0, int locals = 0, uint32_t localSize = 0) {
    TFunction& f = add(name);
    f.intParamCount = params;
    f.intLocalCount = locals;
    f.dwTotalLocalSize = localSize;
    f.localFixupOffset = 4;
    bytes(f, {0x55, 0x8B, 0xEC, 0x90, 0x90, 0x90, 0x90, 0x90, 0x90});
    return f;
  }

  TFunction& import(const std::string& dll, const std::string& name) {
    int32_t index = -1;
    for (size_t i = 0; i < c->slistDLLs.size(); ++i)
      if (sameText(c->slistDLLs[i], dll)) index = static_cast<int32_t>(i);
    if (index < 0) {
      index = static_cast<int32_t>(c->slistDLLs.size());
      c->slistDLLs.push_back(dll);
    }
    TFunction& f = add(name);
    f.ImportName = name;
    f.DLLIndex = index;
    return f;
  }

  // Data items whose bytes live in the data image; the result is the item's index.
  int32_t string(const std::string& text) { return item(c->PEFile.dataMan.AddString(text)); }
  int32_t dword(uint32_t value) { return item(c->PEFile.dataMan.AddInt(4, value)); }
  int32_t raw(const std::string& bytes) { return item(c->PEFile.dataMan.AddRaw(bytes)); }

  void entry(TFunction& f) {
    c->PEFile.F_entryFuncID = f.FuncIndex;
    f.Called = true;
  }
  void exportProc(TFunction& f) { f.isExported = f.Called = true; }

  // --- code
  static uint32_t here(const TFunction& f) { return static_cast<uint32_t>(f.recAssembler.strCode.size()); }
  static void bytes(TFunction& f, std::initializer_list<uint8_t> b) {
    for (uint8_t x : b) f.recAssembler.strCode.push_back(static_cast<char>(x));
  }
  static void dword(TFunction& f, uint32_t v) {
    for (int i = 0; i < 4; ++i) f.recAssembler.strCode.push_back(static_cast<char>(v >> (8 * i)));
  }
  static TFixUp& fix(TFunction& f, TFixType type, uint32_t index, uint32_t at, uint32_t offset = 0) {
    TFixUp& x = f.recAssembler.FixUps.emplace_back();
    x.fixType = type;
    x.fixIndex = index;
    x.fixAddr = at;
    x.fixOffset = offset;
    x.fixSize = 32;
    x.fixJmp = 16;
    return x;
  }
  static void call(TFunction& f, TFunction& target) {  // CALL rel32
    target.Called = true;
    fix(f, ftCall, target.FuncIndex, here(f) + 1);
    bytes(f, {0xE8});
    dword(f, 0);
  }
  static void pushImm(TFunction& f, uint32_t v) {
    bytes(f, {0x68});
    dword(f, v);
  }
  static void pushData(TFunction& f, int32_t item, uint32_t offset = 0) {  // PUSH address
    fix(f, ftDataAddress, item, here(f) + 1, offset);
    pushImm(f, 0);
  }
  static void label(TFunction& f, const std::string& name) {
    f.jmpLabels.push_back({TLabelNames::Get().Intern(name), static_cast<uint32_t>(here(f))});
  }
  static void jump(TFunction& f, uint16_t kind, const std::string& name) {
    TFixUp& x = fix(f, ftJmp, 0, here(f));
    x.fixSize = f.recAssembler.cpuMode == 16 ? 16 : 0;  // as the encoder records it
    x.fixJmp = kind;
    x.fixLabel = TLabelNames::Get().Intern(name);
    bytes(f, {0x90, 0x90, 0x90, 0x90, 0x90, 0x90});
  }
  static void nops(TFunction& f, int n) { f.recAssembler.strCode.append(n, '\x90'); }
  // LEAVE / RET n for a procedure that keeps its frame; RET n for one that loses it.
  static void leaveRet(TFunction& f, uint16_t n) { bytes(f, {0xC9, 0xC2, uint8_t(n), uint8_t(n >> 8)}); }
  static void ret(TFunction& f, uint16_t n) { bytes(f, {0xC2, uint8_t(n), uint8_t(n >> 8)}); }

 private:
  TFunction& add(const std::string& name) {
    auto f = std::make_unique<TFunction>();
    f->Name = name;
    f->FuncIndex = static_cast<int32_t>(c->listProcedures.size());
    TFunction& r = *f;
    c->listProcedures.push_back(std::move(f));
    return r;
  }
  int32_t item(uint32_t address) {
    auto d = std::make_unique<TData>();
    d->dataIdent = static_cast<int32_t>(c->listData.size());
    d->dataMode = dmConst;
    d->dataAddress = address;
    c->listData.push_back(std::move(d));
    return c->listData.back()->dataIdent;
  }
};

}  // namespace kelvo::testing
