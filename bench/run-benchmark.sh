#!/usr/bin/env bash
# Times the three passes of the headless runner on a generated world save in the page cache,
# written as Sphere 0.56b and later write it, against what the same work costs with standard
# tools, and measures their peak memory.
#
#   bench/run-benchmark.sh [SIZE] [WORK_FOLDER] [ROUNDS]
#
# SIZE defaults to 1G; WORK_FOLDER (default build/bench-work) needs about 6 times SIZE free;
# the rewriting passes and their floor run ROUNDS times (default 3), the fastest counts.
set -euo pipefail
cd "$(dirname "$0")/.."

size=${1:-1G}
work=${2:-build/bench-work}
rounds=${3:-3}
bin=build/bench
[ -x build/cli/duskmend-cli ] && [ -x "$bin/duskmend-gensave" ] || { cmake -S . -B build -G Ninja >/dev/null && cmake --build build; }
mkdir -p "$work"
source_save="$work/source.scp"
export XDG_RUNTIME_DIR="${XDG_RUNTIME_DIR:-$(mktemp -d)}"  # for the window benchmark
save="$work/sphereworld.scp"

# Seconds of the fastest of `runs` runs of a command, and the largest peak memory in KiB.
measure() {
  local runs=$1 best="" peak=0
  shift
  for ((i = 0; i < runs; i++)); do
    [ -n "${prepare:-}" ] && eval "$prepare"
    local start end
    start=$(date +%s.%N)
    /usr/bin/time -f "%M" -o "$work/memory" "$@" >/dev/null
    end=$(date +%s.%N)
    local took kib
    took=$(echo "$end - $start" | bc)
    kib=$(cat "$work/memory")
    if [ -z "$best" ] || [ "$(echo "$took < $best" | bc)" -eq 1 ]; then best=$took; fi
    [ "$kib" -gt "$peak" ] && peak=$kib
  done
  echo "$best $peak"
}

ratio() { echo "scale=2; $1 / $2" | bc; }
row() { printf '%-34s %8.3f s %9s KiB  %s\n' "$1" "$2" "$3" "${4:-}"; }

echo "Generating a $size world save..."
"$bin/duskmend-gensave" "$size" "$source_save"
cat "$source_save" >/dev/null
fresh_copy='cp --reflink=never "$source_save" "$save" && rm -f "$save"tmp && sync'

echo
printf '%-34s %10s %13s %8s\n' "what" "time" "peak memory" "ratio"
read -r wc_time wc_mem < <(prepare="" measure 5 wc -l "$source_save")
row "wc -l" "$wc_time" "$wc_mem"
read -r an_time an_mem < <(prepare="" measure 5 "build/cli/duskmend-cli" analysis "$source_save")
row "analysis" "$an_time" "$an_mem" "$(ratio "$an_time" "$wc_time")"

# The rewriting passes against two floors, in rounds, so that a slow moment of the machine
# does not fall on one of them alone: the two-copy rewrite, and the one-write rewrite that a
# durable replace can hardly beat. Each keeps its fastest round; the ratios to the one-write
# floor are taken round by round, and their median and spread are shown.
# The floors' copies write every byte, as a rewrite must: on a file system that shares blocks
# between files (XFS, Btrfs) a plain cp would only clone them.
floor_cmd='cp --reflink=never "$save" "$save"tmp && sync "$save"tmp && cp --reflink=never "$save"tmp "$save" && sync "$save"'
one_cmd='cp --reflink=never "$save" "$save".s && sync "$save".s && mv "$save".s "$save" && sync "$(dirname "$save")"'
floor_time="" one_time="" rm_time="" ch_time="" ui_time="" rm_mem=0 ch_mem=0
rm_ratios=() ch_ratios=()
ui=$bin/duskmend-uibench
ui_ratios=()
keep_best() { if [ -z "${!1}" ] || [ "$(echo "$2 < ${!1}" | bc)" -eq 1 ]; then printf -v "$1" %s "$2"; fi; }
for ((round = 0; round < rounds; round++)); do
  read -r took _ < <(prepare=$fresh_copy measure 1 sh -c "save='$save'; $floor_cmd")
  keep_best floor_time "$took"
  read -r one _ < <(prepare=$fresh_copy measure 1 sh -c "save='$save'; $one_cmd")
  keep_best one_time "$one"
  read -r took kib < <(prepare=$fresh_copy measure 1 "build/cli/duskmend-cli" remove "$save")
  keep_best rm_time "$took"
  rm_ratios+=("$(ratio "$took" "$one")")
  [ "$kib" -gt "$rm_mem" ] && rm_mem=$kib
  if [ -x "$ui" ]; then
    # The window's own time for the click, without the start of the program, right after
    # the headless remove pass: the pair sees the same machine.
    headless=$took
    eval "$fresh_copy"
    read -r _ _ took < <("$ui" "$save")
    keep_best ui_time "$took"
    ui_ratios+=("$(ratio "$took" "$headless")")
  fi
  read -r took kib < <(prepare=$fresh_copy measure 1 "build/cli/duskmend-cli" change 5 "$save")
  keep_best ch_time "$took"
  ch_ratios+=("$(ratio "$took" "$one")")
  [ "$kib" -gt "$ch_mem" ] && ch_mem=$kib
done
# The median of a list of numbers, then its smallest and largest: "M (A-B)".
spread() {
  local sorted
  sorted=$(printf '%s\n' "$@" | sort -n)
  echo "$(sed -n "$((($# + 1) / 2))p" <<<"$sorted") ($(head -n 1 <<<"$sorted")-$(tail -n 1 <<<"$sorted"))"
}
row "floor: cp, sync, cp, sync" "$floor_time" "-"
row "floor: cp, sync, mv, sync" "$one_time" "-"
row "remove (to the one-write floor)" "$rm_time" "$rm_mem" "$(spread "${rm_ratios[@]}")"
row "change (to the one-write floor)" "$ch_time" "$ch_mem" "$(spread "${ch_ratios[@]}")"
if [ -n "$ui_time" ]; then
  median=$(printf '%s\n' "${ui_ratios[@]}" | sort -n | sed -n "$(((${#ui_ratios[@]} + 1) / 2))p")
  row "remove in the window (to headless)" "$ui_time" "-" "$median"
fi

# A cold cache, as the first clean-up after a reboot meets the save: the page cache dropped
# before each run of the change pass and of the floors (only where this user may). A rewriting
# pass also leaves a copy of the new save at the temp path: the second floor writes it too.
copy_cmd="$one_cmd"' && cp --reflink=never "$save" "$save"tmp'
if [ -w /proc/sys/vm/drop_caches ]; then
  cold="$fresh_copy && echo 3 > /proc/sys/vm/drop_caches"
  cold_one="" cold_copy="" cold_ch="" cold_ratios=() copy_ratios=()
  for ((round = 0; round < rounds; round++)); do
    read -r one _ < <(prepare=$cold measure 1 sh -c "save='$save'; $one_cmd")
    keep_best cold_one "$one"
    read -r copy _ < <(prepare=$cold measure 1 sh -c "save='$save'; $copy_cmd")
    keep_best cold_copy "$copy"
    read -r took _ < <(prepare=$cold measure 1 "build/cli/duskmend-cli" change 5 "$save")
    keep_best cold_ch "$took"
    cold_ratios+=("$(ratio "$took" "$one")")
    copy_ratios+=("$(ratio "$took" "$copy")")
  done
  row "floor: cp, sync, mv, sync, cold" "$cold_one" "-"
  row "the same + cp to the temp, cold" "$cold_copy" "-"
  row "change cold (to one-write floor)" "$cold_ch" "-" "$(spread "${cold_ratios[@]}")"
  row "change cold (to floor with copy)" "$cold_ch" "-" "$(spread "${copy_ratios[@]}")"
fi

# A remove that finds nothing to remove leaves the save as it is, as a start script meets it
# at every boot but the first: it costs about an analysis.
eval "$fresh_copy"
build/cli/duskmend-cli remove "$save" >/dev/null
read -r clean_an _ < <(prepare="" measure 5 "build/cli/duskmend-cli" analysis "$save")
read -r clean_rm clean_mem < <(prepare="" measure 5 "build/cli/duskmend-cli" remove "$save")
row "remove, nothing to remove (to analysis)" "$clean_rm" "$clean_mem" "$(ratio "$clean_rm" "$clean_an")"

# The same remove as an awk one-liner, made as durable as the floor.
awk_remove='BEGIN { RS = "\r\n"; ORS = "\r\n" }
  function light(line) { line = tolower(line); return line ~ /^(local)?light=/ }
  flags { flags = 0; if (tolower(substr($0, 1, 6)) == "light=") next }
  held != "" { if (light($0)) { held = ""; next }
               print held; held = ""; print; flags = tolower(substr($0, 1, 6)) == "flags="; next }
  tolower(substr($0, 1, 7)) == "[sector" { held = $0; next }
  { print }'
read -r awk_time awk_mem < <(prepare=$fresh_copy measure 1 sh -c \
  "awk '$awk_remove' '$save' > '$save'tmp && sync '$save'tmp && cp '$save'tmp '$save' && sync '$save'")
row "awk one-liner remove" "$awk_time" "$awk_mem" "$(ratio "$awk_time" "$floor_time")"

eval "$fresh_copy"
read -r gap whole where < <("$bin/duskmend-yieldgaps" "$save")
echo
echo "Longest time without a yield in a remove pass: $gap ms of $whole ms ($where)"

echo
echo "Peak memory on a $size save without any line end:"
"$bin/duskmend-gensave" --no-line-end "$size" "$save"
rm -f "$save"tmp
read -r _ one_an < <(prepare="" measure 1 "build/cli/duskmend-cli" analysis "$save")
read -r _ one_rm < <(prepare="" measure 1 "build/cli/duskmend-cli" remove "$save")
printf '%-34s %9s KiB\n' "analysis" "$one_an" "remove" "$one_rm"

rm -f "$source_save" "$save" "$save"tmp
