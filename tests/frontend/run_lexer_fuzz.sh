#!/bin/sh
# Runs a fuzz target (lexer or whole compile) for a fixed time, seeded from its own corpus and
# from the test programs; fails on any crash, leak or hang it finds, and on files left behind.
if [ ! -x "$FUZZER" ]; then
  echo "SKIPPED: clang with libFuzzer is not installed, so the fuzz targets were not built"
  exit 77
fi
seconds=${FUZZ_SECONDS:-60}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1
mkdir new seeds
cp "$CORPUS"/* seeds/
if [ -n "$PROGRAMS" ]; then
  find "$PROGRAMS" -name '*.kpr' | while read -r p; do
    cp "$p" "seeds/$(echo "$p" | tr '/' '_')"
  done
fi
# Compiler reports go to stdout; libFuzzer's own report to stderr. Scratch files go to $work.
TMPDIR="$work" "$FUZZER" -max_total_time="$seconds" -max_len=4096 -timeout=10 -rss_limit_mb=2048 \
  new seeds >/dev/null 2>log
status=$?
if [ $status -eq 0 ]; then tail -n 1 log; else tail -n 40 log; fi
left=$(ls -d "$work"/kelvo-fuzz-* 2>/dev/null | head -n 5)
if [ -n "$left" ]; then
  echo "the fuzz target left scratch folders behind: $left"
  exit 1
fi
exit $status
