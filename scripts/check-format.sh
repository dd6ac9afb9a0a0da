#!/usr/bin/env bash
# Fails when a C++ file differs from what clang-format makes of it with the
# repository's .clang-format, and shows the difference. The formatter is
# Debian 12's clang-format 14 (CLANG_FORMAT names another), so that CI and
# developers agree.
set -euo pipefail
cd "$(dirname "$0")/.."
format=${CLANG_FORMAT:-clang-format-14}
command -v "$format" > /dev/null || { echo "check-format.sh: $format is not installed" >&2; exit 1; }
if git rev-parse --is-inside-work-tree > /dev/null 2>&1; then
  mapfile -t files < <(git ls-files '*.cpp' '*.h')
else
  mapfile -t files < <(find . -path './build*' -prune -o \( -name '*.cpp' -o -name '*.h' \) -print)
fi
[ ${#files[@]} -gt 0 ] || { echo "check-format.sh: no C++ files found" >&2; exit 1; }
status=0
for f in "${files[@]}"; do
  "$format" --style=file "$f" | diff -u --label "$f" --label "$f (clang-format)" "$f" - || status=1
done
[ $status -eq 0 ] && echo "clang-format: ${#files[@]} files as formatted"
exit $status
