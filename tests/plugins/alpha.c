/* Test plug-in: keywords that read tokens and emit bytes, a character token, the token
 * getters, the line reader, and the look-ups of the host. */
#include <string.h>

#include "kelvo_plugin.h"
#include "plugin_log.h"

static kelvo_get_function host;
#define ROUTINE(type, id) ((type)host(id))

/* "emitbytes 0xB8, 7, 0, 0, 0;": the numbers become code as they are. */
static int32_t emit_bytes(void) {
  struct { char line[8]; char guard[8]; } probe;
  memset(probe.guard, 'G', sizeof probe.guard);
  int32_t n = ROUTINE(kelvo_get_line_fn, KELVO_FN_GET_LINE)(probe.line, sizeof probe.line);
  int32_t none = ROUTINE(kelvo_get_line_fn, KELVO_FN_GET_LINE)(probe.guard, 0);
  log_line("alpha line %d '%s' guard %s none %d", n, probe.line,
           memcmp(probe.guard, "GGGGGGGG", 8) == 0 ? "intact" : "broken", none);
  unsigned char bytes[64];
  int32_t count = 0;
  for (;;) {
    int32_t code = ROUTINE(kelvo_compile_statement_fn, KELVO_FN_COMPILE_STATEMENT)();
    if (code == KELVO_TOKEN_NUMBER || code == KELVO_TOKEN_HEX) {
      if (count < 64) bytes[count++] = (unsigned char)ROUTINE(kelvo_get_token_int_fn, KELVO_FN_GET_TOKEN_INT)();
    } else if (code == KELVO_TOKEN_SEMICOLON) {
      break;
    } else if (code != KELVO_TOKEN_COMMA) {
      ROUTINE(kelvo_error_fn, KELVO_FN_ERROR)("emitbytes expects numbers");
      return 1;
    }
  }
  ROUTINE(kelvo_emit_bytes_fn, KELVO_FN_EMIT_BYTES)(bytes, count);
  log_line("alpha emitted %d line end ahead %d", count,
           ROUTINE(kelvo_is_line_end_ahead_fn, KELVO_FN_IS_LINE_END_AHEAD)());
  return 1;
}

/* "floats 1.1;": the float getter in every size. */
static int32_t floats(void) {
  int32_t code = ROUTINE(kelvo_next_token_fn, KELVO_FN_NEXT_TOKEN)(KELVO_TOKEN_FLOAT);
  kelvo_get_token_float_fn value = ROUTINE(kelvo_get_token_float_fn, KELVO_FN_GET_TOKEN_FLOAT);
  log_line("alpha float %d %.9g %.17g %.17g %g", code, value(4), value(8), value(10), value(6));
  ROUTINE(kelvo_next_token_fn, KELVO_FN_NEXT_TOKEN)(KELVO_TOKEN_SEMICOLON);
  return 1;
}

/* "describe name 'text' 5;": a data item, a string, and a token that was not the one expected. */
static int32_t describe(void) {
  kelvo_next_token_fn next = ROUTINE(kelvo_next_token_fn, KELVO_FN_NEXT_TOKEN);
  kelvo_get_data_name_fn data_name = ROUTINE(kelvo_get_data_name_fn, KELVO_FN_GET_DATA_NAME);
  int32_t code = next(KELVO_TOKEN_VARIABLE);
  int32_t id = ROUTINE(kelvo_get_token_data_id_fn, KELVO_FN_GET_TOKEN_DATA_ID)();
  /* A returned text lasts until the next routine is called: keep a copy. */
  char type[32] = "(null)";
  const char* name = data_name(id);
  if (name) snprintf(type, sizeof type, "%s", name);
  log_line("alpha data %d %s size %d id %s type %s beyond %s", code,
           ROUTINE(kelvo_get_token_str_fn, KELVO_FN_GET_TOKEN_STR)(),
           ROUTINE(kelvo_get_token_size_fn, KELVO_FN_GET_TOKEN_SIZE)(), id >= 0 ? "found" : "none",
           type, data_name(1000000) ? "found" : "(null)");
  int32_t peeked = ROUTINE(kelvo_peek_token_fn, KELVO_FN_PEEK_TOKEN)();
  code = ROUTINE(kelvo_compile_statement_fn, KELVO_FN_COMPILE_STATEMENT)();
  log_line("alpha string %d %d '%s' id %d", peeked, code, ROUTINE(kelvo_get_token_str_fn, KELVO_FN_GET_TOKEN_STR)(),
           ROUTINE(kelvo_get_token_data_id_fn, KELVO_FN_GET_TOKEN_DATA_ID)());
  code = next(KELVO_TOKEN_STRING);
  log_line("alpha mismatch %d int %d", code, ROUTINE(kelvo_get_token_int_fn, KELVO_FN_GET_TOKEN_INT)());
  next(KELVO_TOKEN_SEMICOLON);
  return 1;
}

/* "`text`": a character token read character by character; leaves an empty statement. */
static int32_t quoted(void) {
  char text[64];
  int n = 0;
  for (;;) {
    int32_t c = ROUTINE(kelvo_next_char_fn, KELVO_FN_NEXT_CHAR)();
    if (c == 0 || c == '`') break;
    if (n < 63) text[n++] = (char)c;
  }
  text[n] = 0;
  log_line("alpha chars '%s'", text);
  ROUTINE(kelvo_set_token_fn, KELVO_FN_SET_TOKEN)(KELVO_TOKEN_SEMICOLON, ";");
  return 1;
}

/* "probe": declines, so the word stays a label; logs each time the lexer offers it. */
static int32_t probe(void) {
  log_line("alpha probe");
  return 0;
}

KELVO_EXPORT const char* InitPlugin(kelvo_get_function get_function) {
  host = get_function;
  log_line("alpha InitPlugin cpu %lu unknown %lu", (unsigned long)host(KELVO_VALUE_CPU_MODE),
           (unsigned long)host(4242));
  kelvo_add_keyword_fn add = ROUTINE(kelvo_add_keyword_fn, KELVO_FN_ADD_KEYWORD);
  kelvo_remove_keyword_fn remove_keyword = ROUTINE(kelvo_remove_keyword_fn, KELVO_FN_REMOVE_KEYWORD);
  int32_t first = add("EmitBytes", emit_bytes);
  int32_t second = add("scratch", probe);
  int32_t removed = remove_keyword("SCRATCH");
  int32_t again = remove_keyword("scratch");
  add("floats", floats);
  add("describe", describe);
  add("probe", probe);
  int32_t token = ROUTINE(kelvo_add_token_fn, KELVO_FN_ADD_TOKEN)("`", quoted);
  log_line("alpha keywords %d %d removed %d %d token %d", first, second, removed, again, token);
  ROUTINE(kelvo_message_fn, KELVO_FN_MESSAGE)("alpha is ready");
#ifdef NO_DESCRIPTION
  return 0;
#else
  return "alpha test plug-in";
#endif
}

KELVO_EXPORT uintptr_t FileEntry(uintptr_t handle, const char* code) {
  log_line("alpha FileEntry %lu marker %s", (unsigned long)handle, strstr(code, "@@SEVEN@@") ? "yes" : "no");
  return 0;
}

KELVO_EXPORT void ProgramBegin(const char* app_type) { log_line("alpha ProgramBegin %s", app_type); }
KELVO_EXPORT void ProgramEntry(const char* app_type) { log_line("alpha ProgramEntry %s", app_type); }
/* The program is written by now: reading source does nothing, messages still work. */
KELVO_EXPORT void UnloadPlugin(void) {
  log_line("alpha UnloadPlugin next %d text %d", ROUTINE(kelvo_compile_statement_fn, KELVO_FN_COMPILE_STATEMENT)(),
           ROUTINE(kelvo_compile_text_fn, KELVO_FN_COMPILE_TEXT)("nop", 3));
  ROUTINE(kelvo_message_fn, KELVO_FN_MESSAGE)("alpha says goodbye");
}
