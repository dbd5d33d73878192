/* Test plug-in: rewrites a marker in the source before it is compiled, and has tokens that
 * compile text, declare a procedure and call it; "misuse N;" hands the host bad input. */
#include <stdlib.h>
#include <string.h>
#include <time.h>

#include "kelvo_plugin.h"
#include "plugin_log.h"

static kelvo_get_function host;
#define ROUTINE(type, id) ((type)host(id))

static int32_t compile_text(const char* text) {
  return ROUTINE(kelvo_compile_text_fn, KELVO_FN_COMPILE_TEXT)(text, (int32_t)strlen(text));
}

/* "makeproc": data through compiled text (with a nested compile inside), a procedure
 * through evaluated text, and a call of it with a global as its argument. */
static int32_t make_proc(void) {
  int32_t compiled = compile_text(
      "dword plugvalue = 30; innertok; procedure labelled() { probe: } dword after = 3;");
  int32_t index = ROUTINE(kelvo_eval_text_fn, KELVO_FN_EVAL_TEXT)(
      "function addseven(dword x) { eax = x; eax += 7; }");
  int32_t refused = ROUTINE(kelvo_eval_text_fn, KELVO_FN_EVAL_TEXT)("dword notaproc;");
  kelvo_call_proc_fn call = ROUTINE(kelvo_call_proc_fn, KELVO_FN_CALL_PROC);
  int32_t called = call(index, "(plugvalue)");
  log_line("beta makeproc compiled %d index %s refused %d called %d missing %d %d", compiled,
           index > 0 ? "found" : "none", refused, called, call(1000000, ""), call(-1, ""));
  ROUTINE(kelvo_set_token_fn, KELVO_FN_SET_TOKEN)(KELVO_TOKEN_SEMICOLON, ";");
  return 1;
}

/* "innertok": a text compiled while another one is being compiled. */
static int32_t inner_token(void) {
  log_line("beta innertok compiled %d", compile_text("dword inner = 4;"));
  ROUTINE(kelvo_set_token_fn, KELVO_FN_SET_TOKEN)(KELVO_TOKEN_SEMICOLON, ";");
  return 1;
}

static int32_t ignore(void) { return 0; }

/* "misuse N;": each N hands the host something it must refuse without crashing. */
static int32_t misuse(void) {
  ROUTINE(kelvo_next_token_fn, KELVO_FN_NEXT_TOKEN)(KELVO_TOKEN_NUMBER);
  int32_t which = ROUTINE(kelvo_get_token_int_fn, KELVO_FN_GET_TOKEN_INT)();
  int32_t result = 0;
  char small[4];
  switch (which) {
    case 1: result = ROUTINE(kelvo_add_keyword_fn, KELVO_FN_ADD_KEYWORD)("", ignore); break;
    case 2: result = ROUTINE(kelvo_compile_text_fn, KELVO_FN_COMPILE_TEXT)(NULL, 3); break;
    case 3: result = ROUTINE(kelvo_compile_text_fn, KELVO_FN_COMPILE_TEXT)("nop", -1); break;
    case 4: result = compile_text("mov eax, nosuchname;"); break;
    case 5: ROUTINE(kelvo_error_fn, KELVO_FN_ERROR)("custom failure"); break;
    case 6: result = ROUTINE(kelvo_get_line_fn, KELVO_FN_GET_LINE)(NULL, 5); break;
    case 7: result = (int32_t)ROUTINE(kelvo_set_file_text_fn, KELVO_FN_SET_FILE_TEXT)(0, NULL, 3); break;
    case 8: result = ROUTINE(kelvo_add_token_fn, KELVO_FN_ADD_TOKEN)("x", NULL); break;
    case 9: result = ROUTINE(kelvo_eval_text_fn, KELVO_FN_EVAL_TEXT)(NULL); break;
    case 10: result = ROUTINE(kelvo_get_line_fn, KELVO_FN_GET_LINE)(small, -2); break;
    case 11: ROUTINE(kelvo_emit_bytes_fn, KELVO_FN_EMIT_BYTES)("x", -1); break;
    case 12: ROUTINE(kelvo_set_token_fn, KELVO_FN_SET_TOKEN)(KELVO_TOKEN_SEMICOLON, NULL); break;
  }
  /* After an error every routine does nothing and returns its failure value. */
  int32_t after = compile_text("dword unreachable;");
  log_line("beta misuse %d result %d after %d", which, result, after);
  return 1;
}

/* Replaces "@@SEVEN@@" in a source file by "7" before the compiler reads it. */
static void rewrite_marker(uintptr_t handle, const char* code) {
  const char* text = ROUTINE(kelvo_get_file_text_fn, KELVO_FN_GET_FILE_TEXT)(handle);
  const char* marker = text ? strstr(text, "@@SEVEN@@") : NULL;
  if (!marker) return;
  size_t before = (size_t)(marker - text), length = strlen(text);
  char* changed = malloc(length);
  memcpy(changed, text, before);
  changed[before] = '7';
  memcpy(changed + before + 1, marker + 9, length - before - 9);
  /* The length given ends the text: the zero at its end is not copied. */
  uintptr_t done = ROUTINE(kelvo_set_file_text_fn, KELVO_FN_SET_FILE_TEXT)(handle, changed, (int32_t)(length - 8));
  free(changed);
  /* The text this call was given stays readable for the whole call. */
  log_line("beta rewrote file %lu result %lu given text unchanged %s", (unsigned long)handle, (unsigned long)done,
           strstr(code, "@@SEVEN@@") ? "yes" : "no");
}

KELVO_EXPORT const char* InitPlugin(kelvo_get_function get_function) {
  host = get_function;
  struct timespec pause = {0, 150 * 1000 * 1000}; /* shows in the plug-in's time */
  nanosleep(&pause, NULL);
  kelvo_add_token_fn add = ROUTINE(kelvo_add_token_fn, KELVO_FN_ADD_TOKEN);
  int32_t first = add("makeproc", make_proc);
  int32_t second = add("innertok", inner_token);
  int32_t keyword = ROUTINE(kelvo_add_keyword_fn, KELVO_FN_ADD_KEYWORD)("misuse", misuse);
  log_line("beta InitPlugin tokens %d %d keyword %d", first, second, keyword);
  return "beta test plug-in";
}

KELVO_EXPORT uintptr_t FileEntry(uintptr_t handle, const char* code) {
  log_line("beta FileEntry %lu missing %s %lu", (unsigned long)handle,
           ROUTINE(kelvo_get_file_text_fn, KELVO_FN_GET_FILE_TEXT)(100000) ? "found" : "(null)",
           (unsigned long)ROUTINE(kelvo_set_file_text_fn, KELVO_FN_SET_FILE_TEXT)(100000, "x", 1));
  rewrite_marker(handle, code);
  return 0;
}

KELVO_EXPORT void ProgramBegin(const char* app_type) { log_line("beta ProgramBegin %s", app_type); }
KELVO_EXPORT void ProgramEntry(const char* app_type) { log_line("beta ProgramEntry %s", app_type); }
KELVO_EXPORT void UnloadPlugin(void) { log_line("beta UnloadPlugin"); }
