// Placeholder until the plug-in host is built; that work replaces this file. Without
// plug-ins no character or word has a handler, and no text can be handed in.
#include "frontend/compiler.h"

namespace kelvo {

TCompiler::TPluginAnswer TCompiler::OfferPluginToken(std::string_view /*lowerText*/) {
  return TPluginAnswer::noEntry;
}

TCompiler::TPluginAnswer TCompiler::OfferPluginKeyword(std::string_view /*lowerText*/) {
  return TPluginAnswer::noEntry;
}

void TCompiler::CompilePluginText(const std::string& /*text*/) {
  Error("Compiling generated text is not supported yet");
}

}  // namespace kelvo
