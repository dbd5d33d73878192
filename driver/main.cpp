// The kelvo program: reads the command line, builds the project, reports and exits.
#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "driver/command_line.h"
#include "frontend/compiler.h"
#include "platform/console.h"
#include "platform/system.h"
#include "platform/version.h"

namespace kelvo {
namespace {

const char* const kProductNotice = "A single-pass compiler for 32-bit x86 Windows programs.";

// Joins the output name to the project folder unless it is a path of its own.
std::string outputPath(const TCompiler& c) {
  if (platform::isAbsolutePath(c.strOutFile)) return c.strOutFile;
  return c.strProjectFolder + c.strOutFile;
}

void printTimed(TCompiler& c, const std::string& head, uint64_t ms) {
  c.Print(head + formatSeconds(ms) + " second(s)", clNormal);
}

// Compiles and links; throws on any error.
void build(TCompiler& c, const TCommandLine& cl, const std::string& defineText) {
  const std::string folder = cl.sourceFile.substr(0, cl.sourceFile.find_last_of("/\\") + 1);
  platform::changeDirectory(folder);
  c.Init();
  c.listDefines.push_back(defineText);
  c.AddFile(cl.sourceFile, -1);
  uint64_t start = platform::tickCount();
  c.Compile(cl.outputName);
  const uint64_t compileMs = platform::tickCount() - start;
  c.Print("Compile OK - " + std::to_string(c.intTotalLines) + " lines, " + formatSeconds(compileMs) +
              " second(s)",
          clNormal);
  start = platform::tickCount();
  c.BuildOutput(outputPath(c));
  const uint64_t linkMs = platform::tickCount() - start;
  printTimed(c, "Link OK - ", linkMs);
  c.pluginSys->UnloadPlugins();
  uint64_t pluginMs = 0;
  for (const TPlugin& p : c.pluginSys->plugins()) {
    printTimed(c, "Module " + p.sName + " - ", p.dwMS);
    pluginMs += p.dwMS;
  }
  printTimed(c, "Build Complete - ", compileMs + linkMs + pluginMs);
}

int finish(TCompiler& c, const TCommandLine& cl, const std::string& builtProgram) {
  if (cl.pause) {
    c.Print("Press the [enter] key to exit.", clNormal);
    platform::waitForLine();
  }
  if (cl.run && !builtProgram.empty()) {
    std::string why;
    if (!platform::openDetached(builtProgram, why)) c.Print(why, clWarning);
  }
  platform::setTextColour(clNormal);
  return 0;
}

int runCompiler(const std::vector<std::string>& args) {
  const std::string version = platform::compilerVersion();
  const std::string title = "Kelvo Assembler " + version;
  platform::raiseThreadPriority();
  platform::setConsoleTitle(title);
  TCommandLine cl;
  try {
    cl = parseCommandLine(args);
  } catch (const ECommandLineError& e) {
    std::fprintf(stderr, "%s\n", e.what());
    return 1;
  }
  // One record for the life of the process, never destroyed: its lists go back to the system
  // with the process, at once, instead of one allocation at a time.
  static TCompiler& compiler = *new TCompiler;
  TCompiler& c = compiler;
  c.Settings.writeLog = cl.writeLog;
  c.Settings.include_path = cl.includePath;
  if (cl.includeGiven) platform::writePlainLine(cl.includePath);
  c.Print(title, clNormal);
  c.Print(kProductNotice, clNormal);
  std::string outputName = cl.outputName.empty() ? outputNameFromSource(cl.sourceFile) : cl.outputName;
  cl.outputName = outputName;
  if (cl.sourceFile.empty()) {
    c.Print("usage: kelvo.exe c:/file.kpr", clNormal);
    c.Print("arguments: -out c:/file.exe -nopause -run -nolog -i \"includepath\"", clNormal);
    if (!cl.pause) {
      platform::setTextColour(clNormal);
      return 1;
    }
    return finish(c, cl, {});
  }
  std::string builtProgram;
  try {
    build(c, cl, "KELVO " + version);
    // An object or a boot image is no program the system can start.
    const TPECOFFType kind = c.PEFile.F_FileType;
    if (kind != petCOFF && kind != petBOOTLOADER) builtProgram = c.PEFile.writtenFile;
    c.FreeForExit();
  } catch (const std::exception& e) {
    c.FreeForExit();
    if (std::string(e.what()) != kSilentAbort) c.Print(e.what(), clError);
    platform::setTextColour(clNormal);
    return 1;
  }
  return finish(c, cl, builtProgram);
}

}  // namespace
}  // namespace kelvo

int main(int argc, char** argv) {
  std::vector<std::string> args(argv, argv + argc);
  try {
    return kelvo::runCompiler(args);
  } catch (const std::exception& e) {  // last resort: never leave with a crash
    std::fprintf(stderr, "%s\n", e.what());
    return 1;
  }
}
