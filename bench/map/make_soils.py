#!/usr/bin/python3
"""Writes sand.tif, silt.tif, clay.tif and oc.tif: int16 soil grids in g/kg and dg/kg (scale
0.1), nodata -32768 over a "sea" corner, smooth fields with noise as real maps have them.
Usage: make_soils.py FOLDER [SIZE]"""
import sys

import numpy as np
from osgeo import gdal, osr

folder = sys.argv[1]
size = int(sys.argv[2]) if len(sys.argv) > 2 else 4000
rng = np.random.default_rng(2026)
y, x = np.mgrid[0:size, 0:size] / size
sand = 150 + 700 * (0.5 + 0.5 * np.sin(5 * x + 3 * y ** 2)) + rng.normal(0, 25, (size, size))
sand = np.clip(sand, 0, 950).round()
clay = (1000 - sand) * (0.2 + 0.5 * (0.5 + 0.5 * np.cos(4 * y - 2 * x))) + rng.normal(0, 15, (size, size))
clay = np.clip(clay, 0, 1000 - sand).round()
silt = 1000 - sand - clay
oc = np.clip(80 + 300 * y * x + rng.normal(0, 20, (size, size)), 0, 3000).round()
sea = (x - 1) ** 2 + y ** 2 < 0.1

crs = osr.SpatialReference()
crs.ImportFromEPSG(32632)
for name, values in (("sand", sand), ("silt", silt), ("clay", clay), ("oc", oc)):
    values = values.astype(np.int16)
    values[sea] = -32768
    ds = gdal.GetDriverByName("GTiff").Create(
        f"{folder}/{name}.tif", size, size, 1, gdal.GDT_Int16,
        ["TILED=YES", "BLOCKXSIZE=512", "BLOCKYSIZE=512", "COMPRESS=DEFLATE"])
    ds.SetGeoTransform((500000, 250, 0, 4000000, 0, -250))
    ds.SetProjection(crs.ExportToWkt())
    band = ds.GetRasterBand(1)
    band.SetNoDataValue(-32768)
    band.WriteArray(values)
    ds = None
