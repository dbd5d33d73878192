// Link-step speed: time per fix-up for a small and a large hand-built program.
//   kelvo_link_bench [procedures] [jumps per procedure]
// Without arguments it links 1,000 and 100,000 procedures with 10 jumps each.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "tests/output/hand_program.h"

using namespace kelvo;
using kelvo::testing::THandProgram;

namespace {

// Each procedure: a kept prologue, jumps forward (short) and one backward over more than 127
// bytes (near), a data address, and a call to the next procedure.
void fill(THandProgram& p, int procedures, int jumps, size_t& fixups) {
  const int32_t item = p.dword(1);
  std::vector<TFunction*> procs;
  for (int i = 0; i < procedures; ++i) procs.push_back(&p.proc("p" + std::to_string(i), 1));
  p.call(p.global(), *procs[0]);
  p.bytes(p.global(), {0xC3});
  fixups = 1;
  for (int i = 0; i < procedures; ++i) {
    TFunction& f = *procs[i];
    p.label(f, "top");
    p.nops(f, 130);
    for (int j = 0; j < jumps - 1; ++j) {
      p.jump(f, static_cast<uint16_t>(j % 16), "l" + std::to_string(j));
      p.nops(f, 3);
      p.label(f, "l" + std::to_string(j));
    }
    p.jump(f, 16, "top");
    p.pushData(f, item);
    if (i + 1 < procedures) p.call(f, *procs[i + 1]);
    p.leaveRet(f, 4);
    fixups += f.recAssembler.FixUps.size();
  }
  p.c->listDefines.push_back("addreloc");
}

void bench(int procedures, int jumps) {
  THandProgram p(petEXE);
  size_t fixups = 0;
  fill(p, procedures, jumps, fixups);
  const std::string out = (std::filesystem::temp_directory_path() / "kelvo-link-bench").string();
  const auto start = std::chrono::steady_clock::now();
  p.c->BuildOutput(out);
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  const auto size = std::filesystem::file_size(p.c->PEFile.writtenFile);
  std::filesystem::remove(p.c->PEFile.writtenFile);
  std::printf("%7d procedures, %8zu fix-ups (%d jumps each): %8.3f s, %6.1f ns per fix-up, %zu bytes\n",
              procedures, fixups, jumps, seconds, seconds * 1e9 / static_cast<double>(fixups),
              static_cast<size_t>(size));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 2) {
    bench(std::atoi(argv[1]), argc >= 3 ? std::atoi(argv[2]) : 10);
    return 0;
  }
  bench(1000, 10);
  bench(100000, 10);
  return 0;
}
