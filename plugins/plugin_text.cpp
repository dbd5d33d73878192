#include "plugins/plugin_text.h"

#include "frontend/compiler.h"

namespace kelvo {

TPluginBufferScope::TPluginBufferScope(TCompiler& c, TPluginManager& m, std::string_view text)
    : c_(c), m_(m), file_(c.curFile), charPos_(c.tokenStart.charPos), line_(c.tokenStart.line),
      column_(c.tokenStart.column) {
  c.curToken.Str.own();  // a buffer is used again: the token may be read from its old text
  TAFile& buffer = m.EnterBuffer();
  buffer.InitFromText("plugin buffer", std::string(text), file_ ? file_->intID : -1);
  buffer.intID = -1;  // not in the file list: its end never leads back to a parent
  c.curFile = &buffer;
}

TPluginBufferScope::~TPluginBufferScope() {
  c_.curToken.Str.own();
  c_.curFile = file_;
  c_.tokenStart = {charPos_, line_, column_};
  m_.LeaveBuffer();
}

TPluginFlagsScope::TPluginFlagsScope(TCompiler& c, bool unnamed)
    : c_(c), skip_(c.Settings.skipPluginKeywords), unnamed_(c.Settings.setUnnamed) {
  c.Settings.skipPluginKeywords = true;
  if (unnamed) c.Settings.setUnnamed = true;
}

TPluginFlagsScope::~TPluginFlagsScope() {
  c_.Settings.skipPluginKeywords = skip_;
  c_.Settings.setUnnamed = unnamed_;
}

// --- the lexer's entry points into the plug-in tables

TCompiler::TPluginAnswer TCompiler::OfferPluginToken(std::string_view lowerText) {
  TPluginManager* m = pluginSys.get();
  if (!m || !m->HasEntries()) return TPluginAnswer::noEntry;
  const TIdentifier* e = m->tokenList.Find(0, lowerText);
  if (!e) return TPluginAnswer::noEntry;
  return m->CallHandler(e->identData) ? TPluginAnswer::accepted : TPluginAnswer::declined;
}

TCompiler::TPluginAnswer TCompiler::OfferPluginKeyword(std::string_view lowerText) {
  TPluginManager* m = pluginSys.get();
  if (!m || !m->HasEntries()) return TPluginAnswer::noEntry;
  const TIdentifier* e = m->keywordList.Find(0, lowerText);
  if (!e) return TPluginAnswer::noEntry;
  return m->CallHandler(e->identData) ? TPluginAnswer::accepted : TPluginAnswer::declined;
}

// The lexer's rewrites ("s.create") compile as a plug-in's text would.
void TCompiler::CompilePluginText(const std::string& text) {
  TPluginFlagsScope flags(*this, false);
  TPluginBufferScope buffer(*this, *pluginSys, text);
  CompileBlock(-1, false, false, true);
}

}  // namespace kelvo
