#!/usr/bin/env bash
# Applies each deliberate fault of tests/mutations/ in turn to a scratch copy
# of the tree, builds it and runs the suite, which must fail for every one.
# Prints one line per patch (CAUGHT, MISSED, NOT BUILT or NOT APPLIED, the
# first failing test, seconds) and "N of M caught"; exits non-zero unless
# every patch was caught.
#
#   scripts/mutations.sh [PATCH...]     (default: tests/mutations/*.patch)
#
# The checkout is never touched: the tracked files are copied to
# build-mutants/src-tree (only the files that differ, so that an unchanged
# tree needs no rebuild), built once in build-mutants/build, and each patch
# is applied there, built incrementally, tested and reversed.
set -uo pipefail
# Works on the checkout it is run from (so one copy serves every worktree).
cd "$(git rev-parse --show-toplevel)" || exit 2
root=$PWD
out=$root/build-mutants
tree=$out/src-tree
build=$out/build
logs=$out/logs
jobs=2
test_timeout=120 # seconds, for a test that sets no time-out of its own

patches=()
for p in "${@:-tests/mutations/*.patch}"; do
  # shellcheck disable=SC2086 # the default is a glob
  for f in $p; do
    [[ -f $f ]] || {
      echo "mutations.sh: no such patch: $f" >&2
      exit 2
    }
    patches+=("$(realpath "$f")")
  done
done
((${#patches[@]})) || {
  echo "mutations.sh: no patches" >&2
  exit 2
}

# --- the scratch tree: the tracked files as they are in the checkout ---
mkdir -p "$tree" "$logs"
mapfile -d '' tracked < <(git ls-files -z)
declare -A keep=()
for f in "${tracked[@]}"; do
  [[ -f $f ]] || continue # deleted in the checkout, not yet committed
  keep[$f]=1
  if ! cmp -s "$f" "$tree/$f"; then
    mkdir -p "$tree/$(dirname "$f")"
    cp "$f" "$tree/$f" # a fresh time stamp: ninja rebuilds what changed
  fi
done
while IFS= read -r -d '' f; do
  [[ -n ${keep[${f#"$tree"/}]:-} ]] || rm -f "$f"
done < <(find "$tree" -type f -print0)

# Patches are applied with git apply outside any repository (the checkout
# around build-mutants/ must not be taken for it).
export GIT_CEILING_DIRECTORIES=$out
apply() { (cd "$tree" && git apply --unidiff-zero "$@"); }
# The files a patch changes, relative to the tree.
touched() { sed -n 's|^+++ b/||p' "$1"; }
touch_files() { (cd "$tree" && touched "$1" | xargs -r touch); }

applied=
revert() {
  if [[ -n $applied ]]; then
    apply -R "$applied" || echo "mutations.sh: could not reverse $applied in $tree" >&2
    touch_files "$applied"
    applied=
  fi
}
trap revert EXIT
trap 'exit 130' INT TERM

# --- one build, configured once ---
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
if [[ ! -f $build/build.ninja ]]; then
  cmake -S "$tree" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DNORVANTIX_BENCH=OFF "${launcher[@]}" >"$logs/configure.log" 2>&1 || {
    tail -20 "$logs/configure.log"
    exit 2
  }
fi
echo "mutations.sh: building the unchanged tree in $build"
nice cmake --build "$build" -j "$jobs" >"$logs/build.log" 2>&1 || {
  tail -30 "$logs/build.log"
  echo "mutations.sh: the unchanged tree does not build" >&2
  exit 2
}

# The first test that did not pass, from ctest's progress lines (without
# the parameter dump that GoogleTest adds to a parameterised test's name).
first_failure() {
  awk '/ Test +#[0-9]+: / && !/ Passed / {
         sub(/.* Test +#[0-9]+: /, ""); sub(/ \.+.*$/, ""); sub(/ +# GetParam\(\).*$/, "")
         sub(/\/[0-9]+-byte object <.*$/, "/...")
         print; exit }' "$1"
}

caught=0
total=0
all_start=$SECONDS
printf '%-38s %-11s %-52s %s\n' PATCH RESULT "FIRST FAILING TEST" SECONDS
for patch in "${patches[@]}"; do
  name=$(basename "$patch" .patch)
  log=$logs/$name
  start=$SECONDS
  total=$((total + 1))
  test=-
  if ! apply --check "$patch" 2>"$log.apply.log"; then
    result="NOT APPLIED"
  else
    apply "$patch"
    applied=$patch
    touch_files "$patch"
    if ! nice cmake --build "$build" -j "$jobs" >"$log.build.log" 2>&1; then
      result="NOT BUILT"
    elif nice ctest --test-dir "$build" -j "$jobs" --stop-on-failure --timeout "$test_timeout" \
      >"$log.ctest.log" 2>&1; then
      result=MISSED
    else
      result=CAUGHT
      caught=$((caught + 1))
      test=$(first_failure "$log.ctest.log")
      test=${test:-"(see $log.ctest.log)"}
    fi
    revert
  fi
  printf '%-38s %-11s %-52s %d\n' "$name" "$result" "$test" $((SECONDS - start))
done

# Leave the build matching the unchanged tree, so the next run starts at once.
nice cmake --build "$build" -j "$jobs" >"$logs/build.log" 2>&1 ||
  echo "mutations.sh: rebuilding the unchanged tree failed (see $logs/build.log)" >&2
echo "$caught of $total caught ($((SECONDS - all_start)) s)"
((caught == total))
