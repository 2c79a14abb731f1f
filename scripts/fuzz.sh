#!/usr/bin/env bash
# Builds the fuzz targets with clang's libFuzzer under AddressSanitizer and
# UndefinedBehaviorSanitizer, then runs each one in turn.
#   scripts/fuzz.sh short   a few seconds per target, for the test command
#   scripts/fuzz.sh long    FUZZ_RUNS inputs per target (2000000 unless set)
# Prints one line per target with the number of inputs it ran; a finding
# stops the script with its input saved under build-fuzz/findings/.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
mode=${1:-short}
short_seconds=${FUZZ_SECONDS:-3}
long_runs=${FUZZ_RUNS:-2000000}
build=$root/build-fuzz
programs=$root/../shared/testdata/programs

case $mode in
    short) limit=(-max_total_time="$short_seconds") ;;
    long) limit=(-runs="$long_runs") ;;
    *) echo "usage: $0 [short|long]" >&2; exit 2 ;;
esac

# libFuzzer comes with Debian's clang and its runtime package.
source scripts/install-missing.sh
installMissing "${fuzzPackages[@]}"

cmake -S fuzz -B "$build" -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j"$(nproc)" >/dev/null

# Seeds from the real programs beside the repository, made at run time so
# that the programs themselves never enter the repository.
seed_from_programs() {
    local seeds=$build/seeds
    rm -rf "$seeds"
    mkdir -p "$seeds/call_line" "$seeds/tape_receive" "$seeds/records" "$seeds/library"
    [ -d "$programs" ] || return 0
    local program name
    for program in "$programs"/*; do
        name=$(basename "$program")
        head -n 40 "$program" | split -l 2 - "$seeds/call_line/$name."
        { printf '\001'; head -c 2048 "$program"; } >"$seeds/tape_receive/$name"
        { printf '00DAT'; head -c 900 "$program" | tr -d '\003'; printf '\003'; } >"$seeds/records/$name"
        { printf '\003'; head -c 2000 "$program"; printf '\036'; head -c 2000 "$program" | sed 's/X/Y/'; } \
            >"$seeds/library/$name"
    done
}
seed_from_programs

mkdir -p "$build/findings"
for binary in "$build"/*_fuzz; do
    target=$(basename "$binary" _fuzz)
    corpus=$build/corpus/$target
    mkdir -p "$corpus"
    seed_dirs=("$root/fuzz/corpus/$target")
    [ -d "$build/seeds/$target" ] && seed_dirs+=("$build/seeds/$target")
    log=$build/$target.log
    if ! "$binary" "${limit[@]}" -max_len=4200 -timeout=10 -close_fd_mask=3 \
        -artifact_prefix="$build/findings/$target-" "$corpus" "${seed_dirs[@]}" >"$log" 2>&1; then
        tail -n 40 "$log" >&2
        echo "fuzz $target: FINDING (input in $build/findings/)" >&2
        exit 1
    fi
    runs=$(sed -n 's/^Done \([0-9]*\) runs.*/\1/p' "$log" | tail -n 1)
    echo "fuzz $target: ${runs:-0} inputs, no finding"
done
