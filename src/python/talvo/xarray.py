"""talvo.estimate over xarray Datasets, lazily and chunk by chunk when they hold Dask arrays.

    import talvo.xarray
    results = talvo.xarray.estimate(soils, "Rawls et al., 1982")   # soils: sand, clay, oc, ...
"""

import numpy as np
import xarray

import talvo

_INPUTS = ("sand", "silt", "clay", "oc")
_OUTPUTS = ("fc", "pwp", "awc", "flags", "texture", "error")
_DTYPES = (np.float64, np.float64, np.float64, np.uint16, np.uint8, np.int8)


def _attributes(row):
    units = talvo.units(row.position)
    names = {"fc": "water content at field capacity",
             "pwp": "water content at the permanent wilting point",
             "awc": "available water capacity of a 15 cm layer"}
    attributes = {name: {"units": units[name], "long_name": names[name], "model": row.list_text}
                  for name in ("fc", "pwp", "awc")}
    attributes["flags"] = {"long_name": "plausibility flags",
                           "flag_masks": list(talvo.FLAGS.values()),
                           "flag_meanings": " ".join(talvo.FLAGS)}
    attributes["texture"] = {"long_name": f"texture class, {talvo.NO_TEXTURE}: none",
                             "flag_values": list(range(len(talvo.TEXTURE_CLASSES))),
                             "flag_meanings": " ".join(name.replace(" ", "_")
                                                       for name in talvo.TEXTURE_CLASSES)}
    attributes["error"] = {"long_name": "why a cell has no results, 0: it has",
                           "flag_values": [0, *talvo.ERRORS],
                           "flag_meanings": " ".join(["none", *(text.lower().replace(" ", "_")
                                                        for text in talvo.ERRORS.values())])}
    return attributes


def estimate(dataset, model, *, precision="fixed", threads=None, decimal="."):
    """talvo.estimate over the variables sand, silt, clay and oc of `dataset`.

    The variables the model reads must be there; the others are used when present (silt for
    the sum flag). Returns a Dataset with fc, pwp, awc, flags, texture and error on the
    inputs' dimensions and coordinates, with the dataset's attributes and each result's units.
    Dask-backed variables stay lazy: each chunk is estimated where Dask runs it, one thread
    per chunk unless `threads` says otherwise. `decimal` is the separator of variables that
    hold texts.
    """
    row = talvo._model(model)
    missing = [name for name in row.inputs if name not in dataset.data_vars]
    if missing:
        raise ValueError(f"{row.list_text} reads {', '.join(row.inputs)}: "
                         f"the dataset has no {', '.join(missing)}")
    present = [name for name in _INPUTS if name in dataset.data_vars]
    lazy = any(dataset[name].chunks is not None for name in present)
    chunk_threads = threads if threads is not None or not lazy else 1

    def cells(*arrays):
        results = talvo.estimate(row.position, **dict(zip(present, arrays)),
                                 precision=precision, threads=chunk_threads, decimal=decimal)
        return tuple(results[name] for name in _OUTPUTS)

    outputs = xarray.apply_ufunc(cells, *(dataset[name] for name in present),
                                 output_core_dims=[[] for _ in _OUTPUTS],
                                 dask="parallelized", output_dtypes=list(_DTYPES),
                                 keep_attrs="drop")
    attributes = _attributes(row)
    result = xarray.Dataset({name: output.assign_attrs(attributes[name])
                             for name, output in zip(_OUTPUTS, outputs)},
                            attrs=dict(dataset.attrs))
    result.attrs["talvo_model"] = row.list_text
    return result
