#!/bin/sh
# A second compiler's view of the product sources: Debian's clang for the Windows target, with
# mingw-w64's headers, syntax only. Any warning fails.
#   clang_warnings.sh BUILD_DIR   (a configured build: its generated headers are used)
set -eu
cd "$(dirname "$0")/.."
generated="$1/generated"
# clang does not find the libstdc++ of Debian's mingw-w64 (its folder is named 12-win32, not
# 12): point it there, and at the mingw-w64 headers only, never the host's.
cxx="$(dirname "$(x86_64-w64-mingw32-g++-win32 -print-libgcc-file-name)")/include/c++"
status=0
for source in app/*.cpp install/*.cpp zip/*.cpp net/*.cpp common/*.cpp tools/*.cpp; do
  clang++ --target=x86_64-w64-mingw32 --sysroot=/usr/x86_64-w64-mingw32 -nostdinc++ \
    -isystem "$cxx" -isystem "$cxx/x86_64-w64-mingw32" \
    -std=c++20 -fsyntax-only -Wall -Wextra -Werror \
    -DUNICODE -D_UNICODE -DWIN32_LEAN_AND_MEAN -DNOMINMAX -D_WIN32_WINNT=0x0601 \
    -I. -I"$generated" "$source" || status=1
done
[ $status -eq 0 ] && echo "clang --target=x86_64-w64-mingw32 -Wall -Wextra: no warnings in $(ls app/*.cpp install/*.cpp zip/*.cpp net/*.cpp common/*.cpp tools/*.cpp | wc -l) files"
exit $status
