#!/usr/bin/env bash
# Static analysis: clang-format over every .cpp/.h; ESLint and Prettier over the web site's
# JavaScript; flake8 over every Python file; clang-tidy over the programs' sources and the fuzz
# targets, cppcheck over every source of the dev build (tests and fuzz targets too), through
# its compile database. Any finding fails the run.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
scripts/install-deps.sh --dev

# Every C++ file the repository holds or is about to hold, wherever it sits.
mapfile -t files < <(git ls-files --cached --others --exclude-standard -- '*.cpp' '*.h')
echo "clang-format: ${#files[@]} files"
clang-format --dry-run --Werror "${files[@]}"

# ESLint and Prettier as tests/web's lockfile pins them; ESLint's configuration names paths
# from the root.
mapfile -t scripts < <(git ls-files --cached --others --exclude-standard -- '*.js')
echo "eslint, prettier: ${#scripts[@]} files"
tests/web/node_modules/.bin/eslint --max-warnings 0 -c tests/web/eslint.config.js "${scripts[@]}"
tests/web/node_modules/.bin/prettier --check --log-level warn "${scripts[@]}"

mapfile -t pythons < <(git ls-files --cached --others --exclude-standard -- '*.py')
echo "flake8: ${#pythons[@]} files"
flake8 "${pythons[@]}"

# The dev database, built so that generated headers exist. It holds the fuzz targets too, as
# the programs that replay their corpora: the same sources, with no condition on how they are
# built, so the fuzz preset's database would only have them analysed a second time.
cmake --preset dev >/dev/null
cmake --build --preset dev

# Findings only in our own files, never in generated ones under build/.
ours="^$root/(src|tests|bench|fuzz)/"
echo "clang-tidy"
# The tests are left to the compiler's warnings, cppcheck and the sanitizers: tidying their
# 37 files, each parsing the test framework's headers, took some three minutes of CI's 30. The
# fuzz targets' replay main is test support too (22 s alone).
run-clang-tidy -quiet -j 2 -p build/dev -header-filter="$ours" "^$root/(src|bench)/|_fuzz[.]cpp$" \
    >build/clang-tidy.log 2>&1 || { grep -E -A3 'warning:|error:' build/clang-tidy.log >&2; exit 1; }

echo "cppcheck"
cppcheck_options=(--enable=warning,style,performance,portability --std=c++20
    --library=googletest --library=qt --inline-suppr --error-exitcode=1 --quiet -j 2
    --suppress=missingIncludeSystem --suppress="*:/usr/*"
    --suppressions-list=scripts/suppressions/cppcheck.txt
    --template='{file}:{line}: {severity} [{id}] {message}')
# moc's output, included by Qt Test files, stops cppcheck with #error unless it sees the
# revision that Qt's own headers (not read by cppcheck) define.
revision=$(grep -rhs -m1 '^#define Q_MOC_OUTPUT_REVISION' /usr/include/*/qt6/QtCore/ |
    awk '{print $3}' || true)
if [ -n "$revision" ]; then
    cppcheck_options+=(-DQ_MOC_OUTPUT_REVISION="$revision")
fi
mkdir -p build/cppcheck-dev
cppcheck "${cppcheck_options[@]}" --project=build/dev/compile_commands.json -i build \
    --cppcheck-build-dir=build/cppcheck-dev
echo "static analysis: clean"
