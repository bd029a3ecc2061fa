#!/usr/bin/env bash
# gdal_calc.py computing talvo-map's model 0 on the int16 grids of make_soils.py, with the same
# conversion of the USDA sand and silt: the peer of the map benchmarks. Float32 writes FC, PWP
# and AWC, Int16 their hundredths, as talvo-map's Int16 bands hold them; both tiled.
# Usage: bench/map/peer.sh GRIDS OUT Float32|Int16 [--co OPTION]...
set -euo pipefail
grids=$1 out=$2 type=$3
shift 3
S="(A/10.0+(C/10.0-(C/10.0)*0.7153382790366965))"
C="(B/10.0)"
FC="((29.79202-0.26349*$S)+0.20657*$C)"
PWP="(((5.04007-0.03849*$S)+0.23203*$C)-(0.00057*$S)*$C)"
AWC="(($FC-$PWP)/100)*1.49*150"
if [[ $type == Int16 ]]; then
    set -- "$@" --NoDataValue=-32768 --calc="numpy.round($FC*100)" --calc="numpy.round($PWP*100)" \
        --calc="numpy.round($AWC*100)"
else
    set -- "$@" --NoDataValue=-9999 --calc="$FC" --calc="$PWP" --calc="$AWC"
fi
exec gdal_calc.py --quiet --overwrite -A "$grids/sand.tif" -B "$grids/clay.tif" \
    -C "$grids/silt.tif" --outfile="$out" --type="$type" --co TILED=YES "$@"
