// Writes hand-built programs through the link step into a folder, for the end-to-end tests:
//   kelvo_link_samples <folder>
// Prints a JSON manifest: for each image, the jumps and calls as pairs of marker ids. A marker
// is the no-op NOPL disp32(%eax) carrying an id; one stands in front of every checked jump
// or call and one at every label and procedure body, so a disassembly shows where each lands.
#include <cstdio>
#include <string>
#include <vector>

#include "tests/output/hand_program.h"

using namespace kelvo;
using kelvo::testing::THandProgram;

namespace {

struct TManifest {
  std::string json;
  std::vector<std::pair<uint32_t, uint32_t>> pairs;
};
TManifest manifest;

void mark(TFunction& f, uint32_t id) {
  THandProgram::bytes(f, {0x0F, 0x1F, 0x80});
  THandProgram::dword(f, id);
}
void markedLabel(TFunction& f, const std::string& name, uint32_t id) {
  THandProgram::label(f, name);
  mark(f, id);
}
void markedJump(TFunction& f, uint16_t kind, const std::string& label, uint32_t id, uint32_t target) {
  mark(f, id);
  THandProgram::jump(f, kind, label);
  manifest.pairs.emplace_back(id, target);
}
void markedCall(TFunction& f, TFunction& proc, uint32_t id, uint32_t target) {
  mark(f, id);
  THandProgram::call(f, proc);
  if (target) manifest.pairs.emplace_back(id, target);
}
void callImport(TFunction& f, TFunction& proc) { THandProgram::call(f, proc); }

void finish(THandProgram& p, const std::string& folder, const std::string& name) {
  p.c->BuildOutput(folder + "/" + name);
  if (!manifest.json.empty()) manifest.json += ",\n";
  manifest.json += "  \"" + p.c->PEFile.writtenFile.substr(folder.size() + 1) + "\": [";
  for (size_t i = 0; i < manifest.pairs.size(); ++i)
    manifest.json += (i ? ", [" : "[") + std::to_string(manifest.pairs[i].first) + ", " +
                     std::to_string(manifest.pairs[i].second) + "]";
  manifest.json += "]";
  manifest.pairs.clear();
}

// ExitProcess(code), with some data or none.
// With "addreloc" defined the data address it pushes and pops gets a relocation.
void exitProgram(const std::string& folder, const std::string& name, uint16_t subsystem, uint32_t code,
                 bool withData, bool addReloc = false) {
  THandProgram p(petEXE, subsystem);
  TFunction& exitProcess = p.import("kernel32.dll", "ExitProcess");
  if (withData) p.string("data");
  if (addReloc) {
    p.c->listDefines.push_back("AddReloc");
    p.pushData(p.global(), 0);
    p.bytes(p.global(), {0x58});  // POP EAX
  }
  p.pushImm(p.global(), code);
  callImport(p.global(), exitProcess);
  finish(p, folder, name);
}

// Prints a line three times in a loop and exits with 42, gathered through calls, a procedure
// address, label addresses, data, and every prologue form.
void helloProgram(const std::string& folder) {
  THandProgram p(petEXE);
  TFunction& g = p.global();
  TFunction& exitProcess = p.import("kernel32.dll", "ExitProcess");
  TFunction& getStdHandle = p.import("kernel32.dll", "GetStdHandle");
  TFunction& writeConsole = p.import("kernel32.dll", "WriteConsoleA");
  TFunction& missing = p.import("nosuch.dll", "NotThere");
  TFunction& main = p.proc("main", 0, 1, 8);
  TFunction& seven = p.proc("seven");
  TFunction& big = p.proc("big", 1, 1, 200);
  TFunction& unused = p.proc("unused");
  const int32_t hello = p.string("Hello World!\r\n");
  const int32_t thirty = p.dword(30);

  mark(g, 1);
  markedCall(g, main, 2, 10);
  p.bytes(g, {0x50});  // PUSH EAX
  callImport(g, exitProcess);

  mark(main, 10);
  p.pushImm(main, 0xFFFFFFF5);  // STD_OUTPUT_HANDLE
  callImport(main, getStdHandle);
  p.bytes(main, {0x8B, 0xD8, 0xBE, 3, 0, 0, 0});  // MOV EBX,EAX / MOV ESI,3
  markedLabel(main, "loop", 11);
  p.bytes(main, {0x6A, 0x00, 0x8D, 0x45, 0xFC, 0x50, 0x6A, 14});  // PUSH 0 / LEA EAX,[EBP-4] / PUSH EAX / PUSH 14
  p.pushData(main, hello);
  p.bytes(main, {0x53});  // PUSH EBX
  callImport(main, writeConsole);
  p.bytes(main, {0x4E});  // DEC ESI
  markedJump(main, 5, "LOOP", 12, 11);
  markedJump(main, 16, "far", 13, 14);
  p.nops(main, 200);
  markedLabel(main, "far", 14);
  p.bytes(main, {0xB9});  // MOV ECX, address of "after" / JMP ECX
  p.fix(main, ftLabelAddress, 2, p.here(main));
  p.dword(main, 0);
  p.bytes(main, {0xFF, 0xE1});
  p.bytes(main, {0xCC, 0xCC});
  markedLabel(main, "after", 15);
  main.ofsLabels.emplace_back("after2", 0);
  p.bytes(main, {0xBA});  // MOV EDX, address of "after2" / JMP EDX
  p.fix(main, ftOffsetLabelAddress, 0, p.here(main));
  p.dword(main, 0);
  p.bytes(main, {0xFF, 0xE2, 0xCC});
  markedLabel(main, "after2", 16);
  p.bytes(main, {0xB8});  // MOV EAX, address of seven / CALL EAX / MOV EDI,EAX
  p.fix(main, ftProcAddress, seven.FuncIndex, p.here(main));
  p.dword(main, 0);
  seven.Called = true;
  p.bytes(main, {0xFF, 0xD0, 0x8B, 0xF8});
  p.bytes(main, {0xA1});  // MOV EAX, [thirty] / ADD EDI,EAX
  p.fix(main, ftDataAddress, thirty, p.here(main));
  p.dword(main, 0);
  p.bytes(main, {0x03, 0xF8});
  p.pushImm(main, 5);
  markedCall(main, big, 17, 30);
  p.bytes(main, {0x03, 0xC7, 0x33, 0xC9});  // ADD EAX,EDI / XOR ECX,ECX
  markedJump(main, 115, "done", 18, 19);  // JECXZ over a wrong result
  p.bytes(main, {0xB8, 99, 0, 0, 0});
  markedLabel(main, "done", 19);
  p.leaveRet(main, 0);

  mark(seven, 20);
  p.bytes(seven, {0xB8, 7, 0, 0, 0});
  p.ret(seven, 0);

  mark(big, 30);
  p.bytes(big, {0x8B, 0x45, 0x08});  // MOV EAX,[EBP+8]
  p.leaveRet(big, 4);

  callImport(unused, missing);  // never runs: its DLL must not be needed
  p.ret(unused, 0);
  unused.Called = true;
  finish(p, folder, "hello");
}

// A DLL with an entry, several exports, data it writes and addresses that need relocating.
void libraryProgram(const std::string& folder, const std::string& name, const std::string& text) {
  THandProgram p(petDLL, 2);
  TFunction& dllMain = p.proc("DllMain", 3);
  TFunction& addTwo = p.proc("AddTwo", 2);
  TFunction& getText = p.proc("GetText");
  TFunction& counter = p.proc("GetCounter");
  TFunction& nine = p.proc("nine");
  TFunction& getNine = p.proc("GetNine");
  const int32_t textItem = p.string(text);
  const int32_t count = p.dword(0);
  p.entry(dllMain);
  p.bytes(dllMain, {0xB8, 1, 0, 0, 0});
  p.leaveRet(dllMain, 12);
  p.bytes(addTwo, {0x8B, 0x45, 0x08, 0x03, 0x45, 0x0C});
  p.leaveRet(addTwo, 8);
  p.fix(getText, ftDataAddress, textItem, p.here(getText) + 1);
  p.bytes(getText, {0xB8});
  p.dword(getText, 0);
  p.ret(getText, 0);
  p.fix(counter, ftDataAddress, count, p.here(counter) + 2);
  p.bytes(counter, {0xFF, 0x05});  // INC dword [count] / MOV EAX,[count]
  p.dword(counter, 0);
  p.fix(counter, ftDataAddress, count, p.here(counter) + 1);
  p.bytes(counter, {0xA1});
  p.dword(counter, 0);
  p.ret(counter, 0);
  p.bytes(nine, {0xB8, 9, 0, 0, 0});
  p.ret(nine, 0);
  p.fix(getNine, ftProcAddress, nine.FuncIndex, p.here(getNine) + 1);
  p.bytes(getNine, {0xB8});  // returns the address of nine
  p.dword(getNine, 0);
  p.ret(getNine, 0);
  nine.Called = true;
  for (TFunction* f : {&addTwo, &getText, &counter, &getNine}) p.exportProc(*f);
  int value = 1;
  for (const char* n : {"Zeta", "alpha", "Beta"}) {
    TFunction& f = p.proc(n);
    p.bytes(f, {0xB8, uint8_t(value++), 0, 0, 0});
    p.ret(f, 0);
    p.exportProc(f);
  }
  finish(p, folder, name);
}

// Uses both DLLs through the import table: prints their texts, exits with 42.
void dllUser(const std::string& folder) {
  THandProgram p(petEXE);
  TFunction& g = p.global();
  TFunction& exitProcess = p.import("kernel32.dll", "ExitProcess");
  TFunction& getStdHandle = p.import("kernel32.dll", "GetStdHandle");
  TFunction& writeConsole = p.import("kernel32.dll", "WriteConsoleA");
  TFunction& strLen = p.import("kernel32.dll", "lstrlenA");
  TFunction& addTwo = p.import("kelvolib.dll", "AddTwo");
  TFunction& counter = p.import("kelvolib.dll", "GetCounter");
  TFunction& getNine = p.import("kelvolib.dll", "GetNine");
  TFunction& text1 = p.import("kelvolib.dll", "GetText");
  TFunction& text2 = p.import("kelvolib2.dll", "GetText");
  const int32_t written = p.dword(0);
  p.pushImm(g, 0xFFFFFFF5);
  callImport(g, getStdHandle);
  p.bytes(g, {0x8B, 0xD8});  // MOV EBX,EAX
  for (TFunction* getText : {&text1, &text2}) {
    callImport(g, *getText);
    p.bytes(g, {0x8B, 0xF0, 0x56});  // MOV ESI,EAX / PUSH ESI
    callImport(g, strLen);
    p.bytes(g, {0x6A, 0x00});
    p.pushData(g, written);
    p.bytes(g, {0x50, 0x56, 0x53});  // PUSH EAX / PUSH ESI / PUSH EBX
    callImport(g, writeConsole);
  }
  callImport(g, counter);
  p.bytes(g, {0x8B, 0xF0});  // MOV ESI,EAX
  callImport(g, counter);
  p.bytes(g, {0x03, 0xF0});  // ADD ESI,EAX: 1 + 2
  callImport(g, getNine);
  p.bytes(g, {0xFF, 0xD0, 0x03, 0xF0, 0x56, 0x6A, 30});  // CALL EAX / ADD ESI,EAX / PUSH ESI / PUSH 30
  callImport(g, addTwo);
  p.bytes(g, {0x50});
  callImport(g, exitProcess);
  finish(p, folder, "usedll");
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: kelvo_link_samples <folder>\n");
    return 2;
  }
  const std::string folder = argv[1];
  try {
    exitProgram(folder, "exit42", 3, 42, true);
    exitProgram(folder, "nodata.exe", 3, 3, false);
    exitProgram(folder, "gui", 2, 7, true);
    exitProgram(folder, "reloc", 3, 5, true, true);
    helloProgram(folder);
    libraryProgram(folder, "kelvolib", "from the kelvo DLL\r\n");
    libraryProgram(folder, "kelvolib2.dll", "from the second kelvo DLL\r\n");
    dllUser(folder);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "link failed: %s\n", e.what());
    return 1;
  }
  std::printf("{\n%s\n}\n", manifest.json.c_str());
  return 0;
}
