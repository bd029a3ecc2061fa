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


# CF units of organic carbon: the unit talvo.estimate's oc_unit names, and how far each moves
# the decimal point into it; the model then reads OC in its own.
_CARBON_UNITS = {"g/kg": ("g/kg", 0), "g kg-1": ("g/kg", 0), "dg/kg": ("g/kg", -1),
                 "%": ("%", 0), "percent": ("%", 0), "1": ("%", 2)}


def _units(dataset, name):
    """The units attribute of an input, checked; None where it has none."""
    unit = dataset[name].attrs.get("units")
    if unit is None:
        return None
    known = _CARBON_UNITS if name == "oc" else talvo.CONTENT_UNITS
    unit = str(unit).strip()
    if unit not in known:
        raise ValueError(f"{name} has units {unit!r}, which talvo cannot convert exactly: give "
                         f"{', '.join(map(repr, known))}, or convert it first")
    return unit


def _converted(values, name, unit, decimal):
    """An input's values in percent (oc in g/kg or %), the decimal point of each moved."""
    places = _CARBON_UNITS[unit][1] if name == "oc" and unit is not None else \
        talvo.CONTENT_UNITS.get(unit, 0)
    if unit is None or places == 0:
        return values
    numbers = talvo._numbers(values, decimal)
    return talvo._talvo.shift_decimal(numbers.reshape(-1), places).reshape(numbers.shape)


def _code_attributes():
    """The attributes of the flags and error variables."""
    return {"flags": {"long_name": "plausibility flags",
                      "flag_masks": list(talvo.FLAGS.values()),
                      "flag_meanings": " ".join(talvo.FLAGS)},
            "error": {"long_name": "why a cell has no results, 0: it has",
                      "flag_values": [0, *talvo.ERRORS],
                      "flag_meanings": " ".join(
                          ["none", *(text.lower().replace(" ", "_")
                                     for text in talvo.ERRORS.values())])}}


def _percentile_attributes(name, unit, long_name, model):
    """The attributes of a percentile such as fc_p05 of a result with `unit` and `long_name`."""
    percentile = int(name.rsplit("_p", 1)[1])
    return {"units": unit, "model": model,
            "long_name": f"{percentile}th percentile of the {long_name} over soils drawn "
                         f"around the cell"}


def _spreads(sd, given_units, decimal):
    """sd's numbers moved with their variables' units into those talvo.estimate reads."""
    return None if sd is None else {
        name: _converted(np.asarray(value, dtype=np.float64), name, given_units.get(name),
                         decimal)[()] for name, value in sd.items()}


def _attributes(row, psd):
    units = talvo.units(row.position)
    names = {"fc": "water content at field capacity",
             "pwp": "water content at the permanent wilting point",
             "awc": "available water capacity of a 15 cm layer"}
    attributes = {name: {"units": units[name], "long_name": names[name], "model": row.list_text}
                  for name in ("fc", "pwp", "awc")}
    for name in talvo.SPREADS:
        result = name.rsplit("_p", 1)[0]
        attributes[name] = _percentile_attributes(name, units[result], names[result],
                                                  row.list_text)
    attributes.update(_code_attributes())
    triangle = talvo.TEXTURE_TRIANGLES[psd]
    attributes["texture"] = {"long_name": f"texture class on the {psd} triangle, "
                                          f"{talvo.NO_TEXTURE}: none",
                             "flag_values": list(triangle),
                             "flag_meanings": " ".join(talvo.TEXTURE_CLASSES[number]
                                                       .replace(" ", "_")
                                                       for number in triangle)}
    return attributes


def estimate(dataset, model, *, precision="fixed", threads=None, decimal=".",
             psd="international", sd=None, draws=None, seed=None):
    """talvo.estimate over the variables sand, silt, clay and oc of `dataset`.

    The variables the model reads must be there; the others are used when present (silt for
    the sum flag). Returns a Dataset with fc, pwp, awc, flags, texture and error on the
    inputs' dimensions and coordinates, with the dataset's attributes and each result's units.
    Dask-backed variables stay lazy: each chunk is estimated where Dask runs it, one thread
    per chunk unless `threads` says otherwise. `decimal` is the separator of variables that
    hold texts. A variable's CF units attribute is read: sand, silt and clay in "%",
    "percent", "1" (fractions), "g/kg", "g kg-1" or "dg/kg", oc in g/kg, dg/kg, % or 1, each
    converted to what the model reads by moving the decimal point (oc: g/kg for TALVO PTF
    model (PSD + OC), % for Rawls et al., 1982; without units, as it is); other units raise
    ValueError. psd is talvo.estimate's.
    sd, draws and seed are talvo.estimate's, sd's numbers in the units of their variables;
    the Dataset then also holds fc_p05 ... awc_p95 (talvo.SPREADS) in the units of fc, pwp
    and awc.
    """
    row = talvo._model(model)
    # Named as the triangles are, whatever the case it came in.
    psd = "usda" if talvo._talvo.usda(psd) else "international"
    missing = [name for name in row.inputs if name not in dataset.data_vars]
    if missing:
        raise ValueError(f"{row.list_text} reads {', '.join(row.inputs)}: "
                         f"the dataset has no {', '.join(missing)}")
    present = [name for name in _INPUTS if name in dataset.data_vars]
    given_units = {name: _units(dataset, name) for name in present}
    lazy = any(dataset[name].chunks is not None for name in present)
    chunk_threads = threads if threads is not None or not lazy else 1
    carbon = given_units.get("oc")
    oc_unit = None if carbon is None else _CARBON_UNITS[carbon][0]
    # A spread is in its variable's units, and moves with it.
    spreads = _spreads(sd, given_units, decimal)
    names = _OUTPUTS if sd is None else (*_OUTPUTS[:5], *talvo.SPREADS, _OUTPUTS[5])
    dtypes = _DTYPES if sd is None else \
        (*_DTYPES[:5], *([np.float64] * len(talvo.SPREADS)), _DTYPES[5])

    def cells(*arrays):
        inputs = {name: _converted(values, name, given_units[name], decimal)
                  for name, values in zip(present, arrays)}
        results = talvo.estimate(row.position, **inputs, precision=precision,
                                 threads=chunk_threads, decimal=decimal, psd=psd,
                                 oc_unit=oc_unit, sd=spreads, draws=draws, seed=seed)
        return tuple(results[name] for name in names)

    outputs = xarray.apply_ufunc(cells, *(dataset[name] for name in present),
                                 output_core_dims=[[] for _ in names],
                                 dask="parallelized", output_dtypes=list(dtypes),
                                 keep_attrs="drop")
    attributes = _attributes(row, psd)
    result = xarray.Dataset({name: output.assign_attrs(attributes[name])
                             for name, output in zip(names, outputs)},
                            attrs=dict(dataset.attrs))
    result.attrs["talvo_model"] = row.list_text
    return result


# CF-style units of talvo.hydraulics' results; water contents in percent by volume.
_HYDRAULIC_ATTRIBUTES = {
    "theta_r": ("%", "residual water content by volume"),
    "theta_s": ("%", "water content at saturation by volume"),
    "alpha": ("cm-1", "van Genuchten alpha"),
    "n": ("1", "van Genuchten n"),
    "ks": ("cm day-1", "saturated hydraulic conductivity"),
    "fc": ("%", "water content at field capacity by volume"),
    "pwp": ("%", "water content at the permanent wilting point by volume"),
    "awc": ("%", "available water capacity by volume"),
}
_HYDRAULIC_INPUTS = ("sand", "silt", "clay", "oc", "om", "bd", "topsoil")


def hydraulics(dataset, model, *, fc_head=330, decimal=".", psd="international", topsoil=None,
               sd=None, draws=None, seed=None):
    """talvo.hydraulics over the variables sand, silt, clay, oc or om, bd and topsoil of
    `dataset`, lazily where they are Dask arrays.

    Units attributes of sand, silt, clay and oc are read as estimate() reads them; om is in %.
    `topsoil`, where given, stands for every cell. Returns a Dataset with theta_r, theta_s,
    alpha, n, ks, fc, pwp, awc (each with CF units), flags and error on the inputs' dimensions.
    sd, draws and seed are talvo.hydraulics', sd's numbers in the units of their variables;
    the Dataset then also holds fc_p05 ... ks_p95 (talvo.HYDRAULIC_SPREADS) in the units of
    fc ... ks.
    """
    name = talvo._talvo.hydraulic_model(model)
    present = [key for key in _HYDRAULIC_INPUTS if key in dataset.data_vars]
    given_units = {key: _units(dataset, key) for key in present if key in _INPUTS}
    carbon = given_units.get("oc")
    spreads = _spreads(sd, given_units, decimal)
    percentiles = talvo.HYDRAULIC_SPREADS if sd is not None else ()
    outputs = (*_HYDRAULIC_ATTRIBUTES, "flags", *percentiles, "error")
    dtypes = [np.float64] * len(_HYDRAULIC_ATTRIBUTES) + [np.uint16] + \
        [np.float64] * len(percentiles) + [np.int8]

    def cells(*arrays):
        inputs = {key: _converted(values, key, given_units.get(key), decimal)
                  for key, values in zip(present, arrays)}
        if topsoil is not None:
            inputs["topsoil"] = topsoil
        results = talvo.hydraulics(name, **inputs, fc_head=fc_head, decimal=decimal, psd=psd,
                                   oc_unit=None if carbon is None else _CARBON_UNITS[carbon][0],
                                   sd=spreads, draws=draws, seed=seed)
        return tuple(results[key] for key in outputs)

    arrays = xarray.apply_ufunc(cells, *(dataset[key] for key in present),
                                output_core_dims=[[] for _ in outputs], dask="parallelized",
                                output_dtypes=dtypes, keep_attrs="drop")
    attributes = {key: {"units": unit, "long_name": long_name, "model": name}
                  for key, (unit, long_name) in _HYDRAULIC_ATTRIBUTES.items()}
    for key in percentiles:
        unit, long_name = _HYDRAULIC_ATTRIBUTES[key.rsplit("_p", 1)[0]]
        attributes[key] = _percentile_attributes(key, unit, long_name, name)
    attributes.update(_code_attributes())
    result = xarray.Dataset({key: array.assign_attrs(attributes[key])
                             for key, array in zip(outputs, arrays)}, attrs=dict(dataset.attrs))
    result.attrs["talvo_hydraulic_model"] = name
    return result
