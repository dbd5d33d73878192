// "#resource 'file.res';": the resources of a compiled resource file go into the image.
#include <fstream>
#include <iterator>

#include "frontend/compiler.h"
#include "frontend/token_codes.h"
#include "output/res_file.h"
#include "platform/system.h"

namespace kelvo {

void TCompiler::CompileResource() {
  // Only a PE image has a resource section; anything else would drop them without a word.
  if (PEFile.F_FileType == petBOOTLOADER) Error("A boot image has no resources: #resource can not be used");
  if (PEFile.F_FileType == petCOFF) Error("An object file has no resources: #resource can not be used");
  const std::string name = expectString();
  std::string path = strProjectFolder + name;
  if (!platform::fileExists(path)) path = name;
  if (!platform::fileExists(path)) Error("Resource file \"" + name + "\" does not exist");
  expectSemicolon();
  std::ifstream in(platform::toHostPath(path), std::ios::binary);
  const std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  if (in.bad()) Error("Resource file \"" + name + "\" cannot be read");
  const std::string why = ReadResFile(bytes, PEFile.resMan);
  if (why == kResTypeNotSupported || why == kResNameNotSupported || why.rfind(kResDuplicate, 0) == 0) Error(why);
  if (!why.empty()) Error("Resource file \"" + name + "\" is damaged: " + why);
}

}  // namespace kelvo
