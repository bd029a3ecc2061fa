#!/usr/bin/python3
"""Writes sand.tif, silt.tif, clay.tif and oc.tif: int16 soil grids in g/kg and dg/kg (scale
0.1), nodata -32768 over a "sea" corner, smooth fields with noise as real maps have them.
With --netcdf also soils.nc, the same four grids as variables of one netCDF file, scale and
fill value in their attributes. Makes FOLDER if it is not there.
Usage: make_soils.py FOLDER [SIZE] [--netcdf]"""
import os
import sys

import numpy as np
from osgeo import gdal, osr

NODATA = -32768
ORIGIN, CELL = (500000, 4000000), 250


def soils(size):
    rng = np.random.default_rng(2026)
    y, x = np.mgrid[0:size, 0:size] / size
    sand = 150 + 700 * (0.5 + 0.5 * np.sin(5 * x + 3 * y ** 2)) + rng.normal(0, 25, (size, size))
    sand = np.clip(sand, 0, 950).round()
    clay = (1000 - sand) * (0.2 + 0.5 * (0.5 + 0.5 * np.cos(4 * y - 2 * x))) + \
        rng.normal(0, 15, (size, size))
    clay = np.clip(clay, 0, 1000 - sand).round()
    silt = 1000 - sand - clay
    oc = np.clip(80 + 300 * y * x + rng.normal(0, 20, (size, size)), 0, 3000).round()
    sea = (x - 1) ** 2 + y ** 2 < 0.1
    grids = {}
    for name, values in (("sand", sand), ("silt", silt), ("clay", clay), ("oc", oc)):
        values = values.astype(np.int16)
        values[sea] = NODATA
        grids[name] = values
    return grids


def write_geotiffs(folder, grids):
    crs = osr.SpatialReference()
    crs.ImportFromEPSG(32632)
    for name, values in grids.items():
        size = values.shape[0]
        ds = gdal.GetDriverByName("GTiff").Create(
            f"{folder}/{name}.tif", size, size, 1, gdal.GDT_Int16,
            ["TILED=YES", "BLOCKXSIZE=512", "BLOCKYSIZE=512", "COMPRESS=DEFLATE"])
        ds.SetGeoTransform((ORIGIN[0], CELL, 0, ORIGIN[1], 0, -CELL))
        ds.SetProjection(crs.ExportToWkt())
        band = ds.GetRasterBand(1)
        band.SetNoDataValue(NODATA)
        band.WriteArray(values)
        ds = None


def write_netcdf(folder, grids):
    """Cell centres as coordinates y and x; a reader that applies the scale gets percent."""
    size = next(iter(grids.values())).shape[0]
    ds = gdal.GetDriverByName("netCDF").CreateMultiDimensional(f"{folder}/soils.nc")
    group = ds.GetRootGroup()
    dimensions = []
    for name, start, step in (("y", ORIGIN[1] - CELL / 2, -CELL),
                              ("x", ORIGIN[0] + CELL / 2, CELL)):
        dimension = group.CreateDimension(name, None, None, size)
        coordinate = group.CreateMDArray(name, [dimension],
                                         gdal.ExtendedDataType.Create(gdal.GDT_Float64))
        coordinate.Write(start + step * np.arange(size))
        dimensions.append(dimension)
    for name, values in grids.items():
        variable = group.CreateMDArray(name, dimensions,
                                       gdal.ExtendedDataType.Create(gdal.GDT_Int16))
        variable.SetNoDataValueDouble(NODATA)
        variable.SetScale(0.1)
        variable.Write(values)
    ds = None


def main():
    arguments = [argument for argument in sys.argv[1:] if argument != "--netcdf"]
    if not 1 <= len(arguments) <= 2:
        sys.exit(__doc__.splitlines()[-1])
    gdal.UseExceptions()
    folder = arguments[0]
    os.makedirs(folder, exist_ok=True)
    grids = soils(int(arguments[1]) if len(arguments) > 1 else 4000)
    write_geotiffs(folder, grids)
    if "--netcdf" in sys.argv[1:]:
        write_netcdf(folder, grids)


if __name__ == "__main__":
    main()
