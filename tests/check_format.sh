#!/usr/bin/env bash
# Fails when clang-format ($1) would change any C++ file of the repository; run from its top folder.
set -euo pipefail
mapfile -t files < <(git ls-files -co --exclude-standard -- 'src/*.cpp' 'src/*.h' 'tests/*.cpp' 'tests/*.h' \
  'bench/*.cpp' 'bench/*.h' 'packaging/*.cpp')
[ ${#files[@]} -gt 0 ] || { echo "no C++ files found"; exit 1; }
"$1" --dry-run --Werror "${files[@]}"
echo "${#files[@]} files in the house style"
