// What the writers are given: the compiled program as the link step hands it over, without
// the rest of the compiler state.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "common/definitions.h"
#include "frontend/function.h"
#include "output/data_image.h"
#include "output/resource_store.h"

namespace kelvo {

struct TLinkInput {
  TPECOFFType kind = petEXE;
  uint32_t subSystem = 3;    // the PE subsystem: 2 GUI, 3 console
  std::string outFileName;   // with its extension
  int32_t entryFuncId = -1;  // index in procedures; -1: the entry lies in the global code
  uint32_t entryOffset = 0;  // where the program starts inside the global code
  bool hasEntry = false;     // an entry label or an entry procedure was declared
  bool addReloc = false;     // the define "addreloc": an executable gets base relocations
  // Procedures by index, the global code first; the writers lay out and patch their code.
  std::vector<std::unique_ptr<TFunction>>* procedures = nullptr;
  const std::vector<std::unique_ptr<TData>>* data = nullptr;  // data items by index
  const std::vector<std::string>* dlls = nullptr;             // imported DLLs by index
  TDataMan* dataImage = nullptr;
  TResMan* resources = nullptr;
  // The compiler's report of an error in the program, at the end of the source; it does not
  // return. Without one, the message travels in the exception.
  std::function<void(const std::string&)> reportError;
  // Plain lines on standard output, not logged.
  std::function<void(const std::string&)> printLine;

  [[noreturn]] void Error(const std::string& message) const {
    if (reportError) reportError(message);
    throw ECompileError(message);
  }
  // State that only a broken compiler can produce; never a fault in the user's program.
  [[noreturn]] static void InternalError(const std::string& what) {
    throw ECompileError("Internal error in the link step: " + what);
  }
  void Print(const std::string& line) const {
    if (printLine) printLine(line);
  }
  std::vector<std::unique_ptr<TFunction>>& procs() const { return *procedures; }
};

// Writes the output file of the program's kind; the result is the file written.
std::string WriteOutputFile(const TLinkInput& input);

}  // namespace kelvo
