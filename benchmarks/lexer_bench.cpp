// Lexer speed on typical source: builds a few megabytes of code-like text, or takes a source
// file, and reads it through GetToken alone. Usage: kelvo_lexer_bench [megabytes | file] [passes]
// With a file, the time set against a whole compile of it shows what compiling adds: each pass
// loads the file as the compiler does and reads it. Time is the process's CPU time, as the
// compile is measured, and the fastest of the passes (default 5) counts: on a shared machine
// the others were interrupted or slowed by neighbours.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <exception>
#include <memory>
#include <string>

#include "frontend/token_codes.h"
#include "tests/frontend/lexer_env.h"

static const char* const kChunk =
    "// copy a block of dwords\r\n"
    "procedure CopyBlock(dword src, dword dst, dword count) {\r\n"
    "  mov esi, src;  mov edi, dst;  mov ecx, count;\r\n"
    "  /* the loop moves four bytes at a time */\r\n"
    "  while ecx != 0 {\r\n"
    "    lodsd; add eax, 0x1F; stosd; dec ecx; v += 1; answer = arr[3] + 12;\r\n"
    "    if eax >= 100 { push eax; call proc1; } else { xor eax, eax; }\r\n"
    "  }\r\n"
    "  fld st(1); fmul st, st(2); movq mm0, mm1; addps xmm0, xmm1;\r\n"
    "  s = 'text with \\'quotes\\' and escapes\\n' + 13 + 10; pi; greeting;\r\n"
    "}\r\n";

// The text of one pass: a file is loaded as the compiler loads it (mapped when large), so the
// lexer's figure counts reading its input as the compile's does; else the built text.
static void startPass(kelvo::TCompiler& c, const char* file, const std::string& text) {
  if (!file) {
    kelvo::testing::useSource(c, "bench.kel", text);
    return;
  }
  auto source = std::make_unique<kelvo::TAFile>();
  source->LoadFromFile(file, -1);
  source->intID = static_cast<int32_t>(c.listFiles.size());
  c.listFiles.push_back(std::move(source));
  c.curFile = c.listFiles.back().get();
}

int main(int argc, char** argv) {
  const double megabytes = argc > 1 ? std::atof(argv[1]) : 32;
  const char* file = argc > 1 && megabytes <= 0 ? argv[1] : nullptr;
  std::string text;
  while (!file && text.size() < megabytes * 1024 * 1024) text += kChunk;
  const int passes = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
  kelvo::TCompiler c;
  kelvo::testing::setUpLexerEnvironment(c);
  size_t tokens = 0, bytes = 0;
  double seconds = 0;
  for (int pass = 0; pass < passes; ++pass) {
    const std::clock_t start = std::clock();
    try {
      startPass(c, file, text);
    } catch (const std::exception& e) {
      std::fprintf(stderr, "%s\n", e.what());
      return 1;
    }
    bytes = static_cast<size_t>(c.curFile->intSourceLen);
    tokens = 0;
    while (c.GetToken() != kelvo::tk::EndOfFile) ++tokens;
    const double taken = static_cast<double>(std::clock() - start) / CLOCKS_PER_SEC;
    if (pass == 0 || taken < seconds) seconds = taken;
  }
  std::printf("%zu bytes, %zu tokens, %.3f s: %.1f MB/s, %.1f M tokens/s\n", bytes, tokens, seconds,
              static_cast<double>(bytes) / seconds / 1e6, static_cast<double>(tokens) / seconds / 1e6);
  c.Free();
  return 0;
}
