#!/usr/bin/env bash
# Checks that the client's sources still write the log texts of tests/log_texts.list word for word,
# and that no error line spells out the "ERROR: " that the log puts before it by itself.
# Usage: tools/check_log_texts.sh [source-root]
set -u
shopt -s globstar nullglob
root=${1:-$(cd "$(dirname "$0")/.." && pwd)}
all="" doubled=""
for file in "$root"/{core,physics,net,client,dispatch,render,ui,audio,app}/**/*.{cpp,h}; do
  text=$(<"$file")
  all+=$text$'\n'
  [ "$file" = "$root/core/log.cpp" ] && continue
  [[ "$text" == *'"ERROR: '* ]] || continue
  while IFS= read -r line; do
    [[ "$line" == *LOG_ERROR*'"ERROR: '* ]] && doubled+="$file: $line"$'\n'
  done <<<"$text"
done
failed=0 checked=0
while IFS= read -r text; do
  [[ -z "$text" || "$text" == \#* ]] && continue
  checked=$((checked + 1))
  literal=${text//\\/\\\\}
  literal=${literal//\"/\\\"}
  if [[ "$all" != *"$literal"* ]]; then
    echo "FAIL: no source writes the log text [$text]"
    failed=$((failed + 1))
  fi
done < "$root/tests/log_texts.list"
if [ -n "$doubled" ]; then
  echo "FAIL: an error line spells out the log's own \"ERROR: \":"
  printf '%s' "$doubled"
  failed=$((failed + 1))
fi
echo "$checked log texts checked, $failed failures"
[ "$failed" -eq 0 ]
