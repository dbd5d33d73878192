#!/bin/sh
# Feeds the seed corpus and a few thousand mutations of it through the fuzz target (lexer or whole compile).
if [ ! -x "$FUZZER" ]; then
  echo "SKIPPED: clang with libFuzzer is not installed, so the fuzz targets were not built"
  exit 77
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1
mkdir new
# Compiler reports go to stdout; libFuzzer's own report to stderr.
"$FUZZER" -runs=8000 -max_len=512 -timeout=10 -rss_limit_mb=2048 new "$CORPUS" >/dev/null 2>log
status=$?
if [ $status -eq 0 ]; then tail -n 1 log; else tail -n 40 log; fi
exit $status
