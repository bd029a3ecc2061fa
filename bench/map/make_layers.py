#!/usr/bin/python3
"""Layered soil rasters as SoilGrids 2.0 publishes them, for root-zone maps: for each of six
depths sand, silt, clay (g/kg), soc (dg/kg), bdod (cg/cm3) and cfvo (cm3/dm3), int16, tiled,
named QUANTITY_DEPTH_mean.tif, with a round lake of nodata in every layer and five rows
without sand in 30-60cm.
Usage: bench/map/make_layers.py FOLDER [SIZE]   (default 1000 x 1000)"""

import pathlib
import sys

import numpy as np
from osgeo import gdal, osr

DEPTHS = ["0-5cm", "5-15cm", "15-30cm", "30-60cm", "60-100cm", "100-200cm"]


def main():
    folder = pathlib.Path(sys.argv[1])
    size = int(sys.argv[2]) if len(sys.argv) > 2 else 1000
    folder.mkdir(parents=True, exist_ok=True)
    gdal.UseExceptions()
    random = np.random.default_rng(7)
    y, x = np.mgrid[0:size, 0:size] / size
    lake = (x - 0.8) ** 2 + (y - 0.2) ** 2 < 0.01
    crs = osr.SpatialReference()
    crs.ImportFromEPSG(4326)
    driver = gdal.GetDriverByName("GTiff")

    def noise(spread):
        return random.normal(0, spread, (size, size))

    for k, depth in enumerate(DEPTHS):
        sand = np.clip(300 + 400 * np.sin(3 * x) * np.cos(2 * y) ** 2 - 30 * k + noise(20), 20, 950)
        clay = np.minimum(np.clip(150 + 40 * k + 200 * y + noise(15), 10, None), 990 - sand)
        layers = {
            "sand": sand,
            "silt": 1000 - sand - clay,
            "clay": clay,
            "soc": np.clip(300 * np.exp(-k / 1.5) + noise(10), 5, None),
            "bdod": np.clip(120 + 6 * k + noise(5), 80, 190),
            "cfvo": np.clip(50 + 30 * k * x + noise(10), 0, 600),
        }
        for name, values in layers.items():
            cells = values.astype(np.int16)
            cells[lake] = -32768
            if depth == "30-60cm" and name == "sand":
                cells[0:5, :] = -32768
            path = folder / f"{name}_{depth}_mean.tif"
            dataset = driver.Create(str(path), size, size, 1, gdal.GDT_Int16,
                                    ["TILED=YES", "COMPRESS=DEFLATE"])
            dataset.SetGeoTransform([10, 2.5 / size, 0, 50, 0, -2.5 / size])
            dataset.SetProjection(crs.ExportToWkt())
            band = dataset.GetRasterBand(1)
            band.SetNoDataValue(-32768)
            band.WriteArray(cells)
            dataset = None


if __name__ == "__main__":
    main()
