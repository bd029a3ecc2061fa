#!/usr/bin/env bash
# Do two builds give the same answers? Runs talvo-batch, talvo-map and the Python module of each
# build over the repository's tables (tests/batch/cases, docs) and generated ones (soils,
# horizons, measurements, rasters), each build in a folder of its own with the same relative
# names, so that every output, message and status can be compared byte for byte. Prints
# "same" for each program, or the first file that differs and where; exits 1 on any difference.
# Usage: bench/same_answers.sh BEFORE_BUILD AFTER_BUILD   (build folders such as build/bench:
# bin/ with talvo-batch and talvo-map, src/python/package with the module; a build without the
# module or the map tool is compared on what it has). KEEP=1 keeps the runs' folder.
set -euo pipefail
cd "$(dirname "$0")/.."
[ $# -eq 2 ] || { sed -n '2,/^set/p' "$0" | sed '$d; s/^# \{0,1\}//' >&2; exit 2; }
builds=("$(realpath "$1")" "$(realpath "$2")")
sides=(before after)
source=$PWD
work=$(mktemp -d)
# KEEP=1 keeps the runs' folder for a closer look.
trap 'if [ -n "${KEEP:-}" ]; then echo "runs kept in $work" >&2; else rm -rf "$work"; fi' EXIT
mkdir "$work/in"
cp tests/batch/cases/* "$work/in/"
for table in docs/*.csv; do cp "$table" "$work/in/docs-${table#docs/}"; done

# Generated tables, the same for both builds: soils with one and two decimals, gaps and
# failures; horizons of 2000 profiles shuffled, some with gaps or without bd; measured FC and
# PWP over 20000 rows (more than the bootstrap's 10000 groups).
awk 'BEGIN { srand(41); print "id,sand,silt,clay,oc,FC_lab,PWP_lab,bd"
    for (i = 1; i <= 20000; i++) {
        sand = int(rand() * 10000) / 100; clay = int(rand() * (100 - sand) * 10) / 10
        silt = 100 - sand - clay; oc = (i % 97 == 0) ? "" : sprintf("%.1f", rand() * 60)
        if (i % 211 == 0) silt = "x"
        printf "S%05d,%s,%s,%s,%s,%.1f,%.1f,%.2f\n", i, sand, silt, clay, oc, 10 + rand() * 30,
            3 + rand() * 15, 1.1 + rand() * 0.6 } }' >"$work/in/generated.csv"
awk 'BEGIN { srand(9); print "profile,top,bottom,sand,silt,clay,oc,bd,cf"
    for (i = 0; i < 10000; i++) {
        p = (i * 7919) % 2000; h = int(i / 2000); top = h * 25 + (p % 13 == 0 && h == 3 ? 5 : 0)
        sand = 10 + int(rand() * 70); clay = 5 + int(rand() * 40); bd = (p % 5) ? sprintf("%.2f", 1.1 + rand() * 0.6) : ""
        printf "P%04d,%d,%d,%d,%d,%d,%.1f,%s,%d\n", p, top, top + 25, sand, 100 - sand - clay, clay, rand() * 30, bd, int(rand() * 40) } }' \
    >"$work/in/horizons_generated.csv"

# each SIDE-SUBFOLDER COMMAND...: runs COMMAND in both builds' folders; "@" stands for the
# build folder and in/ the inputs. Keeps standard output, standard error and the status.
each() {
    local name=$1
    shift
    for i in 0 1; do
        local folder="$work/${sides[$i]}/$name"
        mkdir -p "$folder"
        ln -s "$work/in" "$folder/in"
        (cd "$folder" && set +e && "${@//@/${builds[$i]}}" >stdout 2>stderr </dev/null
            echo $? >status)
    done
}

batch_cases() {
    local table options name label
    for table in "$work"/in/*.csv "$work"/in/*.tsv; do
        name=$(basename "$table")
        for options in "" "--precision general" "--psd usda" "--psd usda --precision general"; do
            label=${options:-plain}
            # shellcheck disable=SC2086 # the options are words
            each "batch/$name/${label// /}" @/bin/talvo-batch --model all $options "in/$name"
        done
    done
    for name in decimal_comma.csv field_survey.csv unit_headers.csv; do
        each "batch/$name/decimal" @/bin/talvo-batch --model all --decimal , "in/$name"
    done
    each batch/decimal_comma.tsv/tab @/bin/talvo-batch --model all --decimal , --delimiter tab \
        in/decimal_comma.tsv
    each batch/oc_units.csv/g_kg @/bin/talvo-batch --model all --oc-unit g/kg in/oc_units.csv
    each batch/grams_per_kilogram.csv/scale @/bin/talvo-batch --model all \
        --scale sand=0.1,silt=0.1,clay=0.1 in/grams_per_kilogram.csv
    each batch/fractions.csv/fractions @/bin/talvo-batch --model all --fractions in/fractions.csv
    each batch/formulas.csv/safe @/bin/talvo-batch --model 0 --safe-cells in/formulas.csv
    each batch/list-models @/bin/talvo-batch --list-models --long
}

profile_cases() {
    local table options name label
    for table in docs-horizons.csv horizons_messy.csv horizons_generated.csv; do
        for options in "" "--precision general" "--psd usda" \
            "--root-depth 80 --depletion 0.4 --cf-by weight"; do
            label=${options:-plain}
            name="profiles/$table/${label// /}"
            # shellcheck disable=SC2086
            each "$name" @/bin/talvo-batch --model all --profiles $options --summary summary.csv \
                --output rows.csv "in/$table"
        done
    done
}

metric_cases() {
    local options
    for options in "" "--psd usda"; do
        # shellcheck disable=SC2086
        each "metrics/lab${options:+-usda}" @/bin/talvo-batch --model all $options \
            --measured fc=FC_lab,pwp=PWP_lab,bd=BD --metrics metrics.csv --report report.html \
            in/docs-lab.csv
    done
    each metrics/generated @/bin/talvo-batch --model all --measured fc=FC_lab,pwp=PWP_lab \
        --measured-unit w/w --metrics metrics.csv --report report.html --output rows.csv \
        in/generated.csv
    each metrics/fractions @/bin/talvo-batch --model all --measured fc=FC_lab,pwp=PWP_lab \
        --measured-unit fraction in/measured_fractions.csv
}

map_cases() {
    local type model
    bench/map/make_soils.py "$work/in/soils" 600 >/dev/null
    bench/map/make_layers.py "$work/in/layers" 300 >/dev/null
    local grids=(--sand in/soils/sand.tif --silt in/soils/silt.tif
        --clay in/soils/clay.tif --oc in/soils/oc.tif)
    for type in Float32 Float64 Int16; do
        for model in 0 1 2 3 4 5 6; do
            each "map/$type-$model" @/bin/talvo-map --model "$model" --soilgrids "${grids[@]}" \
                --type "$type" --output map.tif
        done
    done
    each map/general @/bin/talvo-map --model 2 --scale sand=0.1,silt=0.1,clay=0.1,oc=0.01 \
        "${grids[@]}" --precision general --type Float64 --output map.tif
    each map/international @/bin/talvo-map --model 5 --scale sand=0.1,silt=0.1,clay=0.1 \
        "${grids[@]}" --output map.tif
    each map/cog @/bin/talvo-map --model 1 --soilgrids "${grids[@]}" --type Int16 \
        --compress zstd --cog --output map.tif
    each map/list-models @/bin/talvo-map --list-models --long
    each map/tile @/bin/talvo-map --model 6 --soilgrids "${grids[@]}" --tile 2/3 --output map.tif
    local layer=in/layers
    each map/depths @/bin/talvo-map --model 1 --soilgrids \
        --depths 0-5cm,5-15cm,15-30cm,30-60cm,60-100cm,100-200cm \
        --sand "$layer/sand_{depth}_mean.tif" --silt "$layer/silt_{depth}_mean.tif" \
        --clay "$layer/clay_{depth}_mean.tif" --oc "$layer/soc_{depth}_mean.tif" \
        --bd "$layer/bdod_{depth}_mean.tif" --cf "$layer/cfvo_{depth}_mean.tif" \
        --cf-by weight --root-depth 80 --output map.tif
}

python_cases() {
    each python env PYTHONPATH=@/src/python/package PYTHONDONTWRITEBYTECODE=1 \
        /usr/bin/python3 "$source/bench/same_answers.py" "$work/in"
}

# first_difference PROGRAM: "same", or how many of PROGRAM's files differ, and the first of them
# and where.
first_difference() {
    local before="$work/before/$1" after="$work/after/$1" file first="" count=0
    if [ ! -d "$before" ]; then
        echo "$1: not run"
        return 0
    fi
    while read -r file; do
        cmp -s "$before/$file" "$after/$file" && continue
        count=$((count + 1))
        [ -n "$first" ] || first=$file
    done < <({ (cd "$before" && find . -type f) && (cd "$after" && find . -type f); } | sort -u)
    if [ "$count" -eq 0 ]; then
        echo "$1: same ($(find "$before" -name status | wc -l) runs)"
        return 0
    fi
    if [ ! -e "$before/$first" ] || [ ! -e "$after/$first" ]; then
        echo "$1: $count files differ; the first, $first, is written by one build only"
        return 1
    fi
    echo "$1: $count files differ; the first, $first: $(cmp "$before/$first" "$after/$first" 2>&1 |
        sed 's/^.*differ: //')"
    if grep -Iq . "$before/$first"; then
        diff "$before/$first" "$after/$first" | head -6 | cut -c1-200
    fi
    return 1
}

batch_cases
profile_cases
metric_cases
if [ -x "${builds[0]}/bin/talvo-map" ] && [ -x "${builds[1]}/bin/talvo-map" ]; then
    map_cases
fi
if compgen -G "${builds[0]}/src/python/package/talvo/_talvo*.so" >/dev/null &&
    compgen -G "${builds[1]}/src/python/package/talvo/_talvo*.so" >/dev/null; then
    python_cases
fi
status=0
for program in batch profiles metrics map python; do
    first_difference "$program" || status=1
done
exit $status
