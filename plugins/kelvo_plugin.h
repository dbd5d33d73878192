/* Kelvo plug-in interface: what a plug-in exports and the host routines it can call.
 *
 * A plug-in is a shared object (".so"), built for example with
 *     cc -shared -fPIC -o myplugin.so myplugin.c
 * and placed in the "plugins" folder beside the compiler. Every ".so" of that folder is loaded
 * when the project does not say otherwise; "plugins 'myplugin';" before the program head loads
 * only <compiler folder>/plugins/myplugin.so.
 *
 * Exports (the platform's C calling convention, names unmangled):
 *   InitPlugin    required; receives the host's lookup and returns a description, printed
 *                 as "PlugSys: <description>"
 *   UnloadPlugin  optional; called once the program is written
 *   FileEntry     optional; called with each source file before it is compiled
 *   ProgramBegin  optional; the program kind ("win32cui", ...) when loaded by the folder scan
 *   ProgramEntry  optional; the same when loaded by name
 *
 * Host routines: InitPlugin receives kelvo_get_function. Call it with one of the KELVO_FN_*
 * ids below and cast the result to the routine's type; an unknown id gives 0. The lookup
 * and the routines stay valid until UnloadPlugin has returned.
 *
 * Lifetimes: texts and buffers the host hands to a plug-in are valid for the duration of
 * that call; texts returned by a host routine stay valid until the next host routine is
 * called. Copy what must be kept longer.
 *
 * Errors: the host never unwinds through a plug-in's frames. When a host routine meets an
 * error (KELVO_FN_ERROR, bad source in compiled text, or a bad argument: a NULL text or buffer,
 * a negative length, an empty name, a NULL handler), it prints the report and returns its
 * failure value, and from then on every routine returns its failure value at once and does
 * nothing. Return from the plug-in's entry point or handler as soon as convenient: the host
 * then stops the build. Plug-ins need no exception support. A handle or index that names
 * nothing is no error: the routine returns its failure value and the build goes on.
 *
 * The routines that read or compile source work from InitPlugin until the program is
 * written; called from UnloadPlugin they do nothing and return their failure value.
 */
#ifndef KELVO_PLUGIN_H
#define KELVO_PLUGIN_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#if defined(_WIN32)
#define KELVO_EXPORT __declspec(dllexport)
#else
#define KELVO_EXPORT __attribute__((visibility("default")))
#endif

/* The host's lookup: the address of a routine (or, for KELVO_VALUE_CPU_MODE, a value). */
typedef uintptr_t (*kelvo_get_function)(uint32_t id);

/* --- exports */
typedef const char* (*kelvo_init_plugin)(kelvo_get_function get_function);
typedef void (*kelvo_unload_plugin)(void);
/* handle: the file's id for the host routines; code: its whole source text. Result ignored. */
typedef uintptr_t (*kelvo_file_entry)(uintptr_t handle, const char* code);
typedef void (*kelvo_program_begin)(const char* app_type);

/* A keyword or token handler, called with no arguments when the lexer meets its word or
 * character. Nonzero: handled. A keyword handler that returns nonzero has consumed the
 * keyword and the lexer reads on; a token handler that returns nonzero has left the token in
 * the current token (see KELVO_FN_SET_TOKEN). Zero: the lexer reads the text as if the
 * handler were not there. */
typedef int32_t (*kelvo_handler)(void);

/* --- ids, each with its routine's type */

/* Not a routine: the lookup returns the current CPU mode (386, 486, ...) itself. */
#define KELVO_VALUE_CPU_MODE 10

/* Stops the build with "PlugSys: " + text, once the plug-in returns. */
#define KELVO_FN_ERROR 1000
typedef void (*kelvo_error_fn)(const char* text);
/* Prints "PlugSys: " + text as an information line (and to the log). */
#define KELVO_FN_MESSAGE 1001
typedef void (*kelvo_message_fn)(const char* text);
/* Compiles the first `length` bytes of text as statements, as if they stood in the source
 * at the current place; reading then goes on where it was. 1 on success, 0 on failure. */
#define KELVO_FN_COMPILE_TEXT 1002
typedef int32_t (*kelvo_compile_text_fn)(const char* text, int32_t length);
/* Replaces the source text of file `handle` with `length` bytes of text: 1, or 0 when no file
 * has that handle. Use it from FileEntry, before the file is read. */
#define KELVO_FN_SET_FILE_TEXT 1003
typedef uintptr_t (*kelvo_set_file_text_fn)(uintptr_t handle, const char* text, int32_t length);
/* The source text of file `handle`, or NULL when no file has that handle. */
#define KELVO_FN_GET_FILE_TEXT 1004
typedef const char* (*kelvo_get_file_text_fn)(uintptr_t handle);
/* Registers a keyword (a word, any letter case) with its handler; returns its id, counting
 * from 0 (-1 and an error for an empty name or a NULL handler). The keyword is offered where
 * a statement starts, not for every token: never as an operand the compiler expects, a token
 * it peeks at, or while a host routine reads tokens or compiles text. */
#define KELVO_FN_ADD_KEYWORD 2000
typedef int32_t (*kelvo_add_keyword_fn)(const char* name, kelvo_handler handler);
/* Removes the keyword of that name added last: 1 when one was found, else 0. */
#define KELVO_FN_REMOVE_KEYWORD 2001
typedef int32_t (*kelvo_remove_keyword_fn)(const char* name);
/* Compiles text that declares one procedure, "function name(...) { ... }", without entering
 * its name into the program's names; returns its index for KELVO_FN_CALL_PROC, or -1 when the
 * text does not start with "function". */
#define KELVO_FN_EVAL_TEXT 2002
typedef int32_t (*kelvo_eval_text_fn)(const char* text);
/* As KELVO_FN_ADD_KEYWORD for a token: a word, offered wherever the word is read (also while
 * a host routine compiles text), or a single character, offered where a statement starts, as
 * keywords are. Ids count from 5000. */
#define KELVO_FN_ADD_TOKEN 2003
typedef int32_t (*kelvo_add_token_fn)(const char* name, kelvo_handler handler);
/* Compiles a call of procedure `index` with the argument text, e.g. "(1, 2)" or "" for none:
 * 1 on success, 0 when no procedure has that index. */
#define KELVO_FN_CALL_PROC 3000
typedef int32_t (*kelvo_call_proc_fn)(int32_t index, const char* arguments);
/* Reads the next token, which must have the code `expected`: the code, or -1 when it has not. */
#define KELVO_FN_NEXT_TOKEN 5000
typedef int32_t (*kelvo_next_token_fn)(int32_t expected);
/* Reads the next token, whatever it is, and returns its code. */
#define KELVO_FN_COMPILE_STATEMENT 5001
typedef int32_t (*kelvo_compile_statement_fn)(void);
/* The current token's size: bits for a register, bytes for a data item. */
#define KELVO_FN_GET_TOKEN_SIZE 5002
typedef int32_t (*kelvo_get_token_size_fn)(void);
/* Appends `length` bytes to the code of the procedure being compiled, as they are. */
#define KELVO_FN_EMIT_BYTES 5003
typedef void (*kelvo_emit_bytes_fn)(const void* bytes, int32_t length);
/* 1 when only blanks and comments stand before the end of the current line. */
#define KELVO_FN_IS_LINE_END_AHEAD 5004
typedef int32_t (*kelvo_is_line_end_ahead_fn)(void);
/* The code of the next token, without reading it. */
#define KELVO_FN_PEEK_TOKEN 5005
typedef int32_t (*kelvo_peek_token_fn)(void);
/* Copies the current source line into buffer: at most length - 1 bytes and a terminating zero
 * (nothing when length is 0). Returns the number of bytes copied before the zero. */
#define KELVO_FN_GET_LINE 5006
typedef int32_t (*kelvo_get_line_fn)(char* buffer, int32_t length);
/* The data item id of the current token, or -1 when it names no data item. */
#define KELVO_FN_GET_TOKEN_DATA_ID 5007
typedef int32_t (*kelvo_get_token_data_id_fn)(void);
/* Sets the current token's code and text (a handler leaves its token this way); a NULL text
 * is an error. */
#define KELVO_FN_SET_TOKEN 5008
typedef void (*kelvo_set_token_fn)(int32_t code, const char* text);
/* Reads the next character of the source (0 at the end of the text). */
#define KELVO_FN_NEXT_CHAR 5009
typedef int32_t (*kelvo_next_char_fn)(void);
/* The type name of data item `index`, or NULL when there is no such item. */
#define KELVO_FN_GET_DATA_NAME 5500
typedef const char* (*kelvo_get_data_name_fn)(int32_t index);
/* The low 32 bits of the current token's integer value. */
#define KELVO_FN_GET_TOKEN_INT 6000
typedef int32_t (*kelvo_get_token_int_fn)(void);
/* The current token's floating value rounded to `size` bytes: 4 single, 8 double, 10 the
 * full value (as near as a double holds it); 0 for any other size. */
#define KELVO_FN_GET_TOKEN_FLOAT 6001
typedef double (*kelvo_get_token_float_fn)(int32_t size);
/* The current token's text. */
#define KELVO_FN_GET_TOKEN_STR 6002
typedef const char* (*kelvo_get_token_str_fn)(void);

/* Token codes a plug-in commonly meets. */
#define KELVO_TOKEN_SEMICOLON 1
#define KELVO_TOKEN_COMMA 3
#define KELVO_TOKEN_NONE 13
#define KELVO_TOKEN_END_OF_FILE 14
#define KELVO_TOKEN_IDENTIFIER 16
#define KELVO_TOKEN_STRING 21
#define KELVO_TOKEN_VARIABLE 30
#define KELVO_TOKEN_NUMBER 120
#define KELVO_TOKEN_HEX 121
#define KELVO_TOKEN_FLOAT 122
#define KELVO_TOKEN_FIRST_PLUGIN 5000

#ifdef __cplusplus
}
#endif

#endif /* KELVO_PLUGIN_H */
