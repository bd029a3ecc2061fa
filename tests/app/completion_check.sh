#!/usr/bin/env bash
# Presses Tab on talvo-batch or talvo-map command lines through bash-completion and the
# installed completion script, and compares what is offered.
# Usage: completion_check.sh PROGRAM COMPLETION_SCRIPT
set -uo pipefail
program=$1
# shellcheck source=/dev/null
source /usr/share/bash-completion/bash_completion
# shellcheck source=/dev/null
source "$2"

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
cd "$scratch" && touch soils.csv results.csv

# The words after the program, the last one being completed ("" for a new word), then what
# must be offered, sorted.
case ${program##*/} in
talvo-batch)
    cases=(
        "--pre|--precision --prefix"
        "--prec|--precision"
        "--|--cf-by --column --curve-number --decimal --delimiter --depletion --draws --fc-head --fractions --help --hydraulics --list-models --long --measured --measured-unit --metrics --model --oc-unit --output --precision --prefix --profiles --psd --report --rew --root-depth --safe-cells --scale --sd --seed --spread --strict --summary --topsoil --version --write --write-to"
        "--precision ''|fixed general"
        "--precision g|general"
        "--precision = f|fixed"
        "--model ''|0 1 2 3 4 5 6 all"
        "--model a|all"
        "--output r|results.csv"
        "-o r|results.csv"
        "--model 2 ''|results.csv soils.csv"
        "--decimal ''|, ."
        "--delimiter ''|"
        "--measured-unit ''|fraction v/v w/w"
        "--cf-by ''|volume weight"
        "--hydraulics ''|all hypres saxton-rawls"
        "--topsoil ''|no yes"
        "--summary r|results.csv"
        "--report r|results.csv"
        "--write ''|apsim aquacrop dssat fao56"
        "--write-to r|results.csv"
        "--list-models --|--cf-by --column --curve-number --decimal --delimiter --depletion --draws --fc-head --fractions --help --hydraulics --list-models --long --measured --measured-unit --metrics --model --oc-unit --output --precision --prefix --profiles --psd --report --rew --root-depth --safe-cells --scale --sd --seed --spread --strict --summary --topsoil --version --write --write-to"
    )
    ;;
talvo-map)
    cases=(
        "--s|--sand --scale --sd --seed --silt --soilgrids"
        "--d|--depths --draws"
        "--sd ''|"
        "--draws ''|"
        "--model ''|0 1 2 3 4 5 6"
        "--sand s|soils.csv"
        "--oc ''|results.csv soils.csv"
        "--output r|results.csv"
        "--type ''|Float32 Float64 Int16"
        "--type F|Float32 Float64"
        "--psd ''|international usda"
        "--compress z|zstd"
        "--precision g|general"
        "--threads ''|"
        "--soilgrids --t|--threads --tile --topsoil --trusted-inputs --type"
    )
    ;;
esac

failures=0
for case in "${cases[@]}"; do
    eval "words=(\"\$program\" ${case%%|*})"
    expected=${case#*|}
    COMP_WORDS=("${words[@]}")
    COMP_CWORD=$((${#words[@]} - 1))
    COMP_LINE="${words[*]}"
    COMP_LINE=${COMP_LINE// = /=} # bash splits --precision=f at the = but keeps the line
    COMP_POINT=${#COMP_LINE}
    COMPREPLY=()
    _talvo_complete "$program" "${words[-1]}" "${words[-2]}"
    offered=$(printf '%s\n' "${COMPREPLY[@]}" | sort | xargs)
    if [ "$offered" != "$expected" ]; then
        echo "FAIL: ${program##*/} ${case%%|*}<Tab> offered '$offered', expected '$expected'" >&2
        failures=$((failures + 1))
    fi
done
[ "$failures" -eq 0 ]
