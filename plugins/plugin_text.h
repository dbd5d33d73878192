// Compiling text that is not in a source file: text from plug-ins and the lexer's rewrites.
#pragma once

#include <string_view>

namespace kelvo {

struct TCompiler;
struct TAFile;
class TPluginManager;

// Makes a buffer holding `text` the current file for as long as it lives, then makes the file
// that was current before current again, where it was left. Each nested compile has a buffer
// of its own, so an outer one goes on at its own position.
class TPluginBufferScope {
 public:
  TPluginBufferScope(TCompiler& c, TPluginManager& m, std::string_view text);
  ~TPluginBufferScope();
  TPluginBufferScope(const TPluginBufferScope&) = delete;
  TPluginBufferScope& operator=(const TPluginBufferScope&) = delete;

 private:
  TCompiler& c_;
  TPluginManager& m_;
  TAFile* file_;
  int32_t charPos_, line_, column_;
};

// Sets Settings.skipPluginKeywords (and setUnnamed when asked) for as long as it lives and
// puts back what was there, so a routine called inside another leaves the outer one's
// setting as it found it.
class TPluginFlagsScope {
 public:
  TPluginFlagsScope(TCompiler& c, bool unnamed);
  ~TPluginFlagsScope();
  TPluginFlagsScope(const TPluginFlagsScope&) = delete;
  TPluginFlagsScope& operator=(const TPluginFlagsScope&) = delete;

 private:
  TCompiler& c_;
  bool skip_, unnamed_;
};

}  // namespace kelvo
