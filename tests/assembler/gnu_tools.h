// Running GNU binutils from a test and reading what they print.
#pragma once

#include "tests/hex_text.h"
#include <stdlib.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace gnu {

struct TRun {
  int status = -1;
  std::string output;  // stdout and stderr together
};

inline TRun run(const std::string& command) {
  TRun result;
  FILE* pipe = popen((command + " 2>&1").c_str(), "r");
  if (!pipe) return result;
  char buffer[4096];
  size_t got;
  while ((got = fread(buffer, 1, sizeof buffer, pipe)) > 0) result.output.append(buffer, got);
  result.status = pclose(pipe);
  return result;
}

// The names of the tools in `tools` that cannot be found on PATH.
inline std::string missingTools(const std::vector<std::string>& tools) {
  std::string missing;
  for (const std::string& tool : tools)
    if (run("command -v " + tool).status != 0) missing += (missing.empty() ? "" : ", ") + tool;
  return missing;
}

// A scratch folder removed with the object.
class TTempDir {
 public:
  TTempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "kelvo-gnu-XXXXXX").string();
    if (mkdtemp(pattern.data())) path_ = pattern;
  }
  ~TTempDir() {
    std::error_code ignored;
    if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
  }
  std::string file(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

inline void writeFile(const std::string& path, const std::string& data) {
  std::ofstream(path, std::ios::binary) << data;
}

inline std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// `nm` lines "00000010 t name" as name -> address.
inline std::map<std::string, uint32_t> symbolAddresses(const std::string& nmOutput) {
  std::map<std::string, uint32_t> symbols;
  std::istringstream lines(nmOutput);
  std::string line;
  while (std::getline(lines, line)) {
    std::istringstream fields(line);
    std::string address, kind, name;
    if (fields >> address >> kind >> name)  // undefined symbols have no address
      symbols[name] = static_cast<uint32_t>(std::stoul(address, nullptr, 16));
  }
  return symbols;
}

struct TReloc {
  uint32_t offset = 0;
  std::string type;    // R_386_32, R_386_PC32, R_386_16, R_386_PC16
  std::string symbol;
};

// `objdump -r` lines "00000046 R_386_32          var7".
inline std::vector<TReloc> relocations(const std::string& objdumpOutput) {
  std::vector<TReloc> relocs;
  std::istringstream lines(objdumpOutput);
  std::string line;
  while (std::getline(lines, line)) {
    std::istringstream fields(line);
    TReloc r;
    std::string offset;
    if (!(fields >> offset >> r.type >> r.symbol) || r.type.rfind("R_386_", 0) != 0) continue;
    r.offset = static_cast<uint32_t>(std::stoul(offset, nullptr, 16));
    relocs.push_back(r);
  }
  return relocs;
}

struct TDecoded {
  uint32_t address = 0;
  std::string text;  // mnemonic and operands, blanks squeezed
};

// `objdump -D -b binary` lines "   b:\t66 64 a3 30 00 00 00 \tmov    fs:0x30,ax".
inline std::vector<TDecoded> disassembly(const std::string& objdumpOutput) {
  std::vector<TDecoded> decoded;
  std::istringstream lines(objdumpOutput);
  std::string line;
  while (std::getline(lines, line)) {
    const size_t colon = line.find(":\t");
    const size_t tab = line.find('\t', colon + 2);
    if (colon == std::string::npos || tab == std::string::npos) continue;
    TDecoded d;
    try {
      d.address = static_cast<uint32_t>(std::stoul(line.substr(0, colon), nullptr, 16));
    } catch (...) {
      continue;
    }
    for (char c : line.substr(tab + 1))
      if (c != ' ' || (!d.text.empty() && d.text.back() != ' ')) d.text += c;
    decoded.push_back(d);
  }
  return decoded;
}

using kelvo::testing::hex;

}  // namespace gnu
