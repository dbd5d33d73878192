/* Shared by the test plug-ins: one line per call into "plugin_calls.log" in the current
 * folder (the compiler works in the project's folder), so a test can check what was called,
 * in which order and with what results. */
#ifndef PLUGIN_LOG_H
#define PLUGIN_LOG_H

#include <stdarg.h>
#include <stdio.h>

static void log_line(const char* format, ...) {
  FILE* f = fopen("plugin_calls.log", "a");
  if (!f) return;
  va_list args;
  va_start(args, format);
  vfprintf(f, format, args);
  va_end(args);
  fputc('\n', f);
  fclose(f);
}

#endif
