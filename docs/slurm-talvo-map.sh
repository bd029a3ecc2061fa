#!/usr/bin/env bash
# One tile of a soil map per array task; stitch them with gdalbuildvrt when all are done:
#
#   job=$(sbatch --parsable --array=1-64 docs/slurm-talvo-map.sh)
#   sbatch --dependency=afterok:$job --wrap 'gdalbuildvrt awc.vrt tiles/part-*.tif'
#
# Every task reads the same inputs (files, VRTs or /vsicurl/ URLs) and writes its band of
# blocks to tiles/part-I.tif; a task that fails leaves no file, and can simply be rerun with
# --array=I. A task whose tile has no rows (more tasks than the map has rows of 256 cells)
# writes nothing, removes a part-I.tif an earlier run left, and succeeds. Settings come from the environment: MODEL, INPUT_ARGS, OUT,
# and MAP_ARGS for the tiles' layout (default Int16 hundredths, ZSTD).
#
# The soil grids store sand, silt and clay in g/kg and soc in dg/kg, on the USDA particle-size
# scale: --soilgrids divides by 10 and converts sand and silt to the international scale the
# models read (which needs the silt layer, also for models that read only sand and clay).
# --trusted-inputs lets talvo-map read the grids' VRTs through /vsicurl/.
#SBATCH --job-name=talvo-map
#SBATCH --cpus-per-task=8
#SBATCH --mem=1G
#SBATCH --time=04:00:00
#SBATCH --output=talvo-map-%A_%a.log
set -euo pipefail

tiles=${TILES:-$SLURM_ARRAY_TASK_MAX}
index=$SLURM_ARRAY_TASK_ID
out=${OUT:-tiles}
layer=https://files.isric.org/soilgrids/latest/data
depth=${DEPTH:-0-5cm}
input_args=${INPUT_ARGS:-"--sand /vsicurl/$layer/sand/sand_${depth}_mean.vrt
    --silt /vsicurl/$layer/silt/silt_${depth}_mean.vrt
    --clay /vsicurl/$layer/clay/clay_${depth}_mean.vrt
    --oc /vsicurl/$layer/soc/soc_${depth}_mean.vrt --soilgrids --trusted-inputs"}
map_args=${MAP_ARGS:-"--type Int16 --compress zstd"}

mkdir -p "$out"
# shellcheck disable=SC2086 # INPUT_ARGS and MAP_ARGS are lists of options
talvo-map --model "${MODEL:-1}" $input_args $map_args --threads "${SLURM_CPUS_PER_TASK:-1}" \
    --tile "$index/$tiles" --output "$out/part-$index.tif"
