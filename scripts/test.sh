#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: the full suite, then
# the core tests under AddressSanitizer and UBSan, then the core tests that
# start threads (label "threads") under ThreadSanitizer. Ends with one line:
# "N passed, M failed".
set -uo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh || exit 1

werror=OFF
[ "${CI:-}" = "true" ] && werror=ON
passed=0; failed=0; status=0
log=$(mktemp)

# run_ctest NAME ARGS...: runs ctest, adds its counts to the totals.
run_ctest() {
  local name=$1; shift
  echo "== $name"
  "$@" 2>&1 | tee "$log"
  local rc=${PIPESTATUS[0]}
  local line
  line=$(grep -E 'tests passed, [0-9]+ tests failed out of [0-9]+' "$log" | tail -n 1)
  if [ -n "$line" ]; then
    local total fails
    total=$(sed -E 's/.* out of ([0-9]+).*/\1/' <<<"$line")
    fails=$(sed -E 's/.*, ([0-9]+) tests failed.*/\1/' <<<"$line")
    passed=$((passed + total - fails)); failed=$((failed + fails))
  fi
  [ "$rc" -eq 0 ] || status=1
}

# The committed .clang-format is the house layout; the check counts as one test.
echo "== format"
if git ls-files '*.cpp' '*.h' | xargs clang-format --dry-run --Werror >/dev/null 2>&1; then
  passed=$((passed + 1))
else
  echo "format check failed; see: git ls-files '*.cpp' '*.h' | xargs clang-format --dry-run"
  failed=$((failed + 1)); status=1
fi

build() { bash scripts/build.sh "$@" || { echo "build failed: $1"; status=1; return 1; }; }

if build build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLUMVANE_WERROR=$werror; then
  run_ctest "all tests" ctest --test-dir build --output-on-failure --timeout 600 -j 2
fi

# The sanitizer builds make only the programs their label's tests run.
if build build-asan -DCMAKE_BUILD_TYPE=Debug -DLUMVANE_CORE_ONLY=ON -DLUMVANE_BENCH=OFF \
     -DLUMVANE_SANITIZE=address,undefined -DLUMVANE_WERROR=$werror -- lumvane_tests_core; then
  ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    run_ctest "core tests, AddressSanitizer + UBSan" ctest --test-dir build-asan -L core --output-on-failure --timeout 900 -j 2
fi

if build build-tsan -DCMAKE_BUILD_TYPE=Debug -DLUMVANE_CORE_ONLY=ON -DLUMVANE_BENCH=OFF \
     -DLUMVANE_SANITIZE=thread -DLUMVANE_WERROR=$werror -- lumvane_tests_threads; then
  # Address-space randomisation off: this toolchain's ThreadSanitizer cannot map
  # its shadow memory under the kernel's high-entropy layout.
  TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 \
    run_ctest "threaded tests, ThreadSanitizer" setarch "$(uname -m)" -R ctest --test-dir build-tsan -L threads --output-on-failure --timeout 900 -j 2
fi

rm -f "$log"
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ] && [ "$status" -eq 0 ]
