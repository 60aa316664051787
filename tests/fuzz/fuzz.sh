#!/usr/bin/env bash
# Builds the fuzz harnesses natively with clang's libFuzzer, AddressSanitizer and
# UndefinedBehaviorSanitizer, then replays the kept corpus (make test) or fuzzes (make fuzz).
#   fuzz.sh replay OUT_DIR          every kept input once, in seconds
#   fuzz.sh run OUT_DIR SECONDS     each target for SECONDS, new inputs kept in OUT_DIR
#   fuzz.sh merge OUT_DIR           the kept corpus replaced by the fewest inputs that reach
#                                   every edge it and the runs reached; finding-* and
#                                   refused-* (an input for each refusal) stay
set -euo pipefail
mode=$1
out=$(realpath -m "$2")
seconds=${3:-60}
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)

targets=(zip_records entry_names json_fields share_links signature_reader content_range
         resume_record)
declare -A sources=(
  [zip_records]=zip/zip_records.cpp
  [entry_names]=zip/zip_names.cpp
  [json_fields]=net/json_fields.cpp
  [share_links]="net/share_links.cpp net/json_fields.cpp"
  [signature_reader]="net/signature_reader.cpp tests/support/signature_text.cpp"
  [content_range]=net/content_range.cpp
  [resume_record]=net/resume_record.cpp
)

mkdir -p "$out"
for target in "${targets[@]}"; do
  binary=$out/${target}_fuzz
  # Rebuilt when any source it may include is newer.
  if [ ! -x "$binary" ] || [ -n "$(find "$root"/{app,common,install,net,zip} "$here" -newer "$binary" \
       \( -name '*.cpp' -o -name '*.h' \) | head -1)" ]; then
    read -ra files <<<"${sources[$target]}"
    clang++ -std=c++17 -g -O1 -Wall -Wextra -Werror -I"$root" \
      -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all \
      "$here/${target}_fuzz.cpp" "$here/fuzz_support.cpp" "${files[@]/#/$root/}" -o "$binary"
  fi
  corpus=$here/corpus/$target
  case $mode in
    replay)
      "$binary" "$corpus"/* 2>"$out/$target.log" || { cat "$out/$target.log"; exit 1; }
      echo "$target: $(ls "$corpus" | wc -l) inputs replayed" ;;
    run)
      mkdir -p "$out/corpus/$target"
      nice -n 19 "$binary" -max_total_time="$seconds" -print_final_stats=1 \
        -artifact_prefix="$out/$target-" "$out/corpus/$target" "$corpus" ;;
    merge)
      rm -rf "$out/merged/$target" && mkdir -p "$out/merged/$target" "$out/corpus/$target"
      cp "$corpus"/finding-* "$corpus"/refused-* "$out/merged/$target"/ 2>/dev/null || true
      "$binary" -merge=1 -use_counters=0 "$out/merged/$target" "$corpus" "$out/corpus/$target" \
        2>"$out/$target.log"
      rm -f "$corpus"/* && cp "$out/merged/$target"/* "$corpus"/
      echo "$target: $(ls "$corpus" | wc -l) inputs kept" ;;
    *) echo "usage: fuzz.sh replay|run|merge OUT_DIR [SECONDS]" >&2; exit 2 ;;
  esac
done
