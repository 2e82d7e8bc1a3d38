#!/usr/bin/env bash
# Fails when a C++ file of the project differs from what clang-format 14
# makes of it under the root .clang-format, and lists those files.
# Fix them with: clang-format-14 -i <files>
set -uo pipefail
source "$(dirname "$0")/lib.sh"

ensure_packages clang-format-14 || exit 1

FORMAT=clang-format-14
cd "$ROOT" || exit 1
# An option this version does not know would make every file look unformatted.
if ! "$FORMAT" --dump-config >/dev/null; then
    echo "check-format: $FORMAT cannot read .clang-format" >&2
    exit 1
fi

mapfile -d '' files < <(find app console ui vocab segy zarr segytool loupe tests bench \
    \( -name 'build*' -o -name '*_autogen' \) -prune -o \
    -type f \( -name '*.cpp' -o -name '*.h' \) -print0 2>/dev/null | sort -z)

if [ ${#files[@]} -eq 0 ]; then
    echo "check-format: no C++ files found" >&2
    exit 1
fi

unformatted=()
for f in "${files[@]}"; do
    if ! "$FORMAT" --dry-run --Werror "$f" >/dev/null 2>&1; then
        unformatted+=("$f")
    fi
done

if [ ${#unformatted[@]} -gt 0 ]; then
    echo "Not formatted with $FORMAT (${#unformatted[@]} of ${#files[@]} files):"
    printf '  %s\n' "${unformatted[@]}"
    exit 1
fi
echo "check-format: ${#files[@]} files formatted"
