"""TALVO's pedotransfer models on numpy arrays and pandas tables, with the calculator's engine.

Every number is the one the calculator's window shows for the same soil, to the last digit:
the equations are never re-typed here and nothing is rounded here.

    import talvo
    talvo.estimate("Rawls", sand=40, clay=20, oc=5)["fc"]   # 50.85 (% v/v)
    talvo.estimate("Rawls", soils)   # a DataFrame with sand, clay and oc columns

Units: sand, silt and clay in percent (estimate's units= reads fractions of 1 or g/kg);
organic carbon is taken as given, in the unit the model reads: g/kg for TALVO PTF model
(PSD + OC), % for Rawls et al., 1982. FC and PWP come in % w/w or % v/v, by model (see
units()); AWC in mm of water in a 15 cm layer.

models() and units() describe the catalogue; estimate() works over numbers, arrays, Series
and DataFrames; estimate_texts() gives one soil's texts as the window shows them; profile()
sums root-zone water over horizon tables; evaluate() scores the models against measurements;
read_table() reads a sheet of an .xlsx or .ods workbook; hydraulics() gives the
water-retention curve and saturated conductivity by Saxton and Rawls (2006) or HYPRES (Wösten
et al., 1999).
talvo.xarray runs estimate() over Datasets. A model is named by its position, its name or a
unique beginning of it ("rawls"), as talvo-batch --model takes it. A cell that cannot be
estimated has NaN results and an error code, a key of ERRORS ("Missing", "Type mismatch",
...).
"""

import collections.abc
from collections import namedtuple
import decimal as decimals
import math
import numbers
import operator
import warnings

import numpy as np

from . import _talvo
from .spreadsheets import read_table

__all__ = ["Model", "models", "units", "estimate", "estimate_texts", "profile", "evaluate",
           "hydraulics", "HYDRAULIC_UNITS", "HYDRAULIC_SPREADS",
           "METRICS_COLUMNS", "FLAGS", "FLAG_SENTENCES", "ERRORS", "TEXTURE_CLASSES",
           "NO_TEXTURE", "TEXTURE_TRIANGLES", "CONTENT_UNITS", "SPREADS"]

__all__ += ["read_table"]

__version__ = _talvo.__version__

Model = namedtuple("Model", ["position", "list_text", "inputs", "unit"])
Model.__doc__ = """One model of the catalogue: its position (0 to 6), its list text, the names
of the inputs it reads, and the unit of its FC and PWP, "% w/w" or "% v/v"."""

# Flag code -> bit mask, in bit order: "sum", "range", "oc", "fc<=pwp", "result", "psd", "bd",
# "porosity", "domain" (outside the model's calibration ranges, on its sheet), "measured" (a
# horizon's measured water used).
FLAGS = {code: mask for code, mask, _ in _talvo.flags()}
FLAG_SENTENCES = {code: sentence for code, _, sentence in _talvo.flags()}
# Error code -> text, the words of talvo-batch's error column; 0 is a cell that was estimated.
# 1 "Missing": an input the model reads has no number (NaN, None, masked, an empty, blank or
# NA text); 2 "Division by zero"; 3 "Overflow"; 4 "Type mismatch": a text that holds
# something that is no number ("twenty", "n.d."); 5 "Out of range": a number the soil cannot have
# (hydraulics()).
ERRORS = dict(_talvo.errors())
# Texture class names in class order; a soil without a class has NO_TEXTURE, the number the
# map tool's texture band holds for it too. Classes of the same name share a number on both
# triangles.
TEXTURE_CLASSES = tuple(_talvo.texture_classes())
NO_TEXTURE = _talvo.NO_TEXTURE
# The class numbers of each triangle: the international one (silt 2-20 um, as the models read)
# and the USDA one (silt 2-50 um), which estimate(psd="usda") classifies on.
TEXTURE_TRIANGLES = {"international": tuple(_talvo.texture_classes_of(False)),
                     "usda": tuple(_talvo.texture_classes_of(True))}
# CF units of sand, silt and clay, and how far each moves the decimal point to percent.
CONTENT_UNITS = {"%": 0, "percent": 0, "1": 2, "g/kg": -1, "g kg-1": -1, "dg/kg": -2}

_INPUTS = ("sand", "silt", "clay", "oc")
# numpy would count days or nanoseconds, read true as 1, drop an imaginary part, and take a
# record's first field.
_NOT_CONTENTS = {"m": "dates or durations", "M": "dates or durations", "b": "true or false",
                 "c": "complex numbers", "V": "records"}
# Read as the window reads a typed text; an object array's other cells are numbers or None.
_TEXTS = ("O", "S", "U", "T")


def models():
    """The catalogue: one Model(position, list_text, inputs, unit) per model, in list order.

    inputs: the names of the inputs the model reads; unit: of its FC and PWP, "% w/w" (g of
    water per 100 g of dry soil) or "% v/v" (cm3 per 100 cm3 of soil).
    """
    return [Model(*row) for row in _talvo.models()]


def units(model):
    """Units of the results of a model: e.g. {"fc": "% w/w", "pwp": "% w/w", "awc": "mm"}.

    AWC is in mm of water in a 15 cm layer, whatever the model.
    """
    unit = _model(model).unit
    return {"fc": unit, "pwp": unit, "awc": "mm"}


def _model(model):
    """The Model for a position (0 to 6), or a text as talvo-batch --model reads it: a list
    text, or a unique beginning of one, in any case."""
    catalogue = models()
    if isinstance(model, str):
        # A lone surrogate has no UTF-8: named by its escape, it is no model either.
        return catalogue[_talvo.model_named(model.encode("utf-8", "backslashreplace").decode())]
    if isinstance(model, (bool, np.bool_)):
        raise TypeError("model must be a position or a list text, not a bool")
    position = operator.index(model)
    if not 0 <= position < len(catalogue):
        raise ValueError(f"no model at position {position}: give 0 to {len(catalogue) - 1}")
    return catalogue[position]


def _refuse(dtype):
    what = _NOT_CONTENTS.get(getattr(dtype, "kind", None))
    if what:
        raise TypeError(f"{dtype} values are {what}, not contents")


def _of_pandas(value, name):
    """Whether `value` is of pandas' class `name`, or of one derived from it. Asked of the
    value's classes, never of pandas: another thread may be importing it, half done."""
    return any(kind.__name__ == name and kind.__module__.partition(".")[0] == "pandas"
               for kind in type(value).__mro__)


def _real(cell):
    """An object array's cell that is no text, None, int or float: another real number."""
    if _of_pandas(cell, "NAType"):
        return np.nan
    if isinstance(cell, (bool, np.bool_)) or not isinstance(cell, (numbers.Real,
                                                                   decimals.Decimal)):
        raise TypeError(f"{type(cell).__name__} values are not contents")
    if isinstance(cell, np.float32):
        return float(_talvo.widen_float32(np.array([cell]))[0])
    return float(cell)


def _from_pandas(values):
    """A pandas column as numpy: texts and objects with None for a missing cell, numbers with
    NaN; a float32 column stays float32, so that it is widened through its texts."""
    try:
        if getattr(values.dtype, "kind", None) in _TEXTS:
            return values.to_numpy(dtype=object, na_value=None)
        single = str(values.dtype).lower() == "float32"
        return values.to_numpy(dtype=np.float32 if single else np.float64, na_value=np.nan)
    except TypeError:  # xarray's to_numpy takes no arguments
        return values.to_numpy()


def _unmasked(values):
    """netCDF4's missing cells: the data under the mask is a filler, no number."""
    if values.dtype.kind in _TEXTS:
        cells = np.array(values.data, dtype=object)
        cells[np.ma.getmaskarray(values)] = None
        return cells
    single = values.dtype == np.float32
    return values.astype(np.float32 if single else np.float64).filled(np.nan)


def _texts(array, decimal):
    if array.dtype.kind not in ("O", "S", "U"):
        array = array.astype(object)
    elif not array.dtype.isnative:
        array = array.astype(array.dtype.newbyteorder("="))
    cells = np.ascontiguousarray(array).reshape(-1)
    numbers, mismatched = _talvo.read_texts(cells, decimal, _real)
    return numbers.reshape(array.shape), mismatched.view(bool).reshape(array.shape)


def _numbers(values, decimal):
    """An input as float64: None is no number (NaN); a float32 stands for its shortest text;
    a text is read as the window reads it, NaN where it holds no number."""
    return _read(values, decimal)[0]


def _read(values, decimal):
    """An input as _numbers() gives it, and where it held texts, which cells held something
    that is no number (a type mismatch, not a missing cell); None without texts."""
    if values is None:
        return np.array(np.nan), None
    _refuse(getattr(values, "dtype", None))
    if isinstance(values, (list, tuple)):  # numpy would read True as 1
        values = np.array(values, dtype=object)
    if hasattr(values, "to_numpy"):  # pandas
        values = _from_pandas(values)
    if isinstance(values, np.ma.MaskedArray):
        values = _unmasked(values)
    array = np.asarray(values)
    _refuse(array.dtype)
    if array.dtype.kind in _TEXTS:
        return _texts(array, decimal)
    if array.dtype == np.float32:
        return _talvo.widen_float32(array).reshape(array.shape), None
    return np.asarray(array, dtype=np.float64), None


def _table_inputs(table, inputs, reads, decimal, stacklevel):
    """The inputs from the columns of a DataFrame, found by name as talvo-batch finds them
    (organic matter read as carbon, said once); an input also given by name is that one."""
    found = _find_inputs(table)
    chosen = {}
    for name, values in inputs.items():
        if values is None or values is table:
            values, note, problem = found[name]
            if problem and name in reads:
                raise ValueError(problem)
            if note and values is not None:
                carbon = _numbers(values, decimal) / _talvo.ORGANIC_MATTER_PER_CARBON
                values = type(values)(carbon, index=values.index)  # a Series as it came
                if name in reads:
                    warnings.warn(note, UserWarning, stacklevel=stacklevel + 1)
        chosen[name] = values
    return chosen


def _aligned(inputs):
    """The inputs with their Series aligned by label as pandas aligns them in arithmetic: over
    the union of their labels, no number where a Series lacks a label; other inputs go by
    position. Also the index the results take, None when no input is a Series."""
    labelled = {name: values for name, values in inputs.items() if _of_pandas(values, "Series")}
    if not labelled:
        return inputs, None
    index = None
    for values in labelled.values():
        index = values.index if index is None or index.equals(values.index) else \
            index.union(values.index)
    aligned = dict(inputs)
    for name, values in labelled.items():
        if not values.index.equals(index):
            try:
                aligned[name] = values.reindex(index)
            except ValueError as error:  # repeated labels cannot be matched one to one
                raise ValueError(f"{name}: its index differs from the other inputs' and "
                                 f"{error}") from error
    return aligned, index


def _require(row, inputs, table=None):
    """TypeError naming each input the model reads that was left out."""
    missing = [name for name in row.inputs if inputs[name] is None]
    if missing:
        found = "" if table is None else (
            f"; the table has no column {' or '.join(missing)}, only "
            f"{', '.join(map(repr, list(table.columns)[:12]))}")
        raise TypeError(f"missing input {' and '.join(missing)}: {row.list_text} reads "
                        f"{', '.join(row.inputs)}{found}")


def _labelled(results, index):
    """The results as a DataFrame with one row a label of `index`."""
    import pandas as pd  # imported already, as the index is pandas'

    return pd.DataFrame(results, index=index, copy=False)


def _in_percent(values, unit):
    """Contents in `unit` (a key of CONTENT_UNITS) as percent: the decimal point of each
    number's shortest text is moved, so that 0.07 in "1" is 7 exactly."""
    places = CONTENT_UNITS.get(unit)
    if places is None:
        raise ValueError(f"units {unit!r}: give one of {', '.join(map(repr, CONTENT_UNITS))}")
    if places == 0:
        return values
    return _talvo.shift_decimal(values.reshape(-1), places).reshape(values.shape)


def _warn_of_units(sand, silt, clay, stacklevel):
    """Once per call, when most soils look like fractions of 1 or g/kg, not percent."""
    found = _talvo.content_unit(sand, silt, clay)
    if found is None:
        return
    unit, looking, judged = found
    if unit == "1":
        text = (f"sand, silt and clay add up to about 1 in {looking} of {judged} soils: they "
                "look like fractions of 1, not percent; units=\"1\" reads them as percent")
    else:
        text = (f"sand, silt or clay lie above 100 in {looking} of {judged} soils: they look "
                "like g/kg, not percent; units=\"g/kg\" reads them as percent")
    warnings.warn(text, UserWarning, stacklevel=stacklevel + 1)


def _check_decimal(decimal):
    """A point or a comma, as talvo-batch --decimal takes it, checked before any cell is read:
    a table holds numbers with no other."""
    if not isinstance(decimal, str):
        raise TypeError("decimal must be a text, as the window's separator")
    _talvo.check_decimal(decimal)


def _flattened(array, shape):
    """An input of `shape` as a flat run of cells; one value stays one, for every cell."""
    if array.size == 1:
        return array.reshape(1)
    # Copied here where not contiguous, so that a copy too large for memory is MemoryError,
    # not the binding's refusal of its argument.
    if array.shape == shape:
        return np.ascontiguousarray(array).reshape(-1)
    return np.ascontiguousarray(np.broadcast_to(array, shape)).reshape(-1)


def _name_mismatches(position, flat, mismatched, error, usda):
    """The engine's "Missing" becomes "Type mismatch" where the input that stopped the model
    held a text that is no number: a table's error column tells the two apart by the cell."""
    if all(held is None for held in mismatched):
        return
    texts = np.zeros(error.shape, bool)
    for held in mismatched:
        if held is not None:
            texts |= held
    cells = np.flatnonzero(texts & (error == _talvo.MISSING))
    if cells.size == 0:
        return
    stopped = _talvo.failed_inputs(position, *(a if a.size == 1 else a[cells] for a in flat),
                                   usda)
    for input, held in enumerate(mismatched):
        if held is not None:
            at = cells[stopped == input]
            error[at[held[at]] if held.size > 1 else at] = _talvo.TYPE_MISMATCH


def _given(inputs, decimal, units):
    """Each input read as numbers, sand, silt and clay in percent, and its cells that held a
    text that is no number (None where none did)."""
    given, mismatched = [], []
    for name, values in inputs.items():
        try:
            numbers, texts = _read(values, decimal)
            contents = name.removesuffix("_sd") in ("sand", "silt", "clay")
            given.append(_in_percent(numbers, units) if contents else numbers)
            mismatched.append(texts)
        except (TypeError, ValueError) as error:  # which input, among several
            raise type(error)(f"{name}: {error}") from error
    return given, mismatched


def _broadcast(given, mismatched, index):
    """The inputs broadcast together: their shape, its cell count, and each input and its
    mismatched cells as a flat run. A Series' labels must fit the shape."""
    shape = np.broadcast_shapes(*(array.shape for array in given))
    if index is not None and shape != (len(index),):
        raise ValueError(f"inputs of shape {shape} cannot take the {len(index)} labels of "
                         f"the Series among them")
    flat = [_flattened(array, shape) for array in given]
    mismatched = [None if texts is None or not texts.any() else _flattened(texts, shape)
                  for texts in mismatched]
    size = int(np.prod(shape, dtype=np.int64))
    if size == 0:
        flat = [np.empty(0) for _ in flat]
    return shape, size, flat, mismatched


def _carbon(position, oc, oc_unit, stacklevel):
    """OC in the unit the model reads, with a UserWarning where it lies above the model's
    calibration."""
    if oc_unit is not None:
        oc = _talvo.carbon_for(position, oc, oc_unit)
    carbon = _talvo.carbon_note(position, oc, 'if yours is in g/kg, give oc_unit="g/kg"')
    if carbon is not None:
        warnings.warn(carbon, UserWarning, stacklevel=stacklevel + 1)
    return oc


# The percentiles estimate(sd=...) adds, as talvo-batch --sd adds them.
SPREADS = ("fc_p05", "fc_p50", "fc_p95", "pwp_p05", "pwp_p50", "pwp_p95", "awc_p05", "awc_p50",
           "awc_p95")


def _spread_inputs(sd, table, organic, draws, seed, decimal):
    """The standard deviations of `sd` by input name: numbers, arrays, Series, or a column of
    `table` named by a text; checked as talvo-batch checks --sd. Where OC is the table's
    organic matter read as carbon (`organic`), so is its spread."""
    if sd is None:
        if draws is not None or seed is not None:
            raise TypeError("draws and seed go with sd")
        return {}
    if not isinstance(sd, collections.abc.Mapping):
        raise TypeError("sd must be a dict of input name to standard deviation, such as "
                        "{\"sand\": 2, \"clay\": 2}")
    unknown = [name for name in sd if name not in _INPUTS]
    if unknown:
        raise ValueError(f"sd: {unknown[0]!r}: give sand, silt, clay or oc")
    if all(name in sd for name in ("sand", "silt", "clay")):
        raise ValueError("sd gives sand, silt and clay: give at most two, as the third takes up "
                         "their difference so that every draw keeps their sum")
    spreads = {}
    for name, value in sd.items():
        if isinstance(value, str):
            if table is None or value not in table.columns:
                raise ValueError(f"sd: {name}={value!r}: a column name needs a DataFrame with "
                                 "that column in place of sand")
            value = table[value]
        elif isinstance(value, numbers.Real) and not isinstance(value, bool):
            if not (math.isfinite(value) and value >= 0):
                raise ValueError(f"sd: {name}={value!r}: give a standard deviation of 0 or more")
        if name == "oc" and organic:
            carbon = _numbers(value, decimal) / _talvo.ORGANIC_MATTER_PER_CARBON
            value = type(value)(carbon, index=value.index) if _of_pandas(value, "Series") \
                else carbon
        spreads[f"{name}_sd"] = value
    return spreads


def estimate(model, sand=None, silt=None, clay=None, oc=None, *, precision="fixed", threads=None,
             decimal=".", psd="international", units="%", oc_unit=None, sd=None, draws=None,
             seed=None):
    """FC, PWP and AWC for every cell of the inputs, broadcast together as numpy does.

    model: a position, a list text or a unique beginning of one, in any case (see models()).
    Inputs: numbers, texts or arrays of either; sand, silt and clay in percent, OC as the
    model reads it (g/kg for TALVO PTF model (PSD + OC), % for Rawls et al., 1982). An input
    the model does not read may be left out, one it reads may not (TypeError). NaN, None or
    a masked cell is no number ("Missing"). Texts are read as the window reads them, with
    `decimal` as the decimal separator: an empty, blank or NA one is missing, another that
    holds no number is a "Type mismatch" in its cell. Booleans, complex numbers, dates and
    records are refused.
    pandas Series are matched by their index labels, as pandas matches them: over the union
    of the labels, a label one of them lacks is no number there. A pandas DataFrame in place
    of sand gives the inputs as its columns sand, silt, clay and oc, found by name in any
    case as evaluate() finds them; an input also given by name is taken instead of its
    column.
    precision: "fixed", the two-decimal numbers the window finally shows, or "general", the
    15-digit numbers it shows before. threads: how many threads may share a large array
    (default: the hardware's). Ctrl+C stops a long call.
    psd: the particle-size scale of sand, silt and clay: "international" (silt 2-20 um, what
    the models read) or "usda" (silt 2-50 um, as SoilGrids and SSURGO give them), converted
    by log-linear interpolation, flagged "psd", and classed on the USDA triangle.
    units: of sand, silt and clay, a key of CONTENT_UNITS ("%", "1" for fractions, "g/kg");
    converted to percent by moving the decimal point. Most soils summing to about 1, or lying
    above 100, bring a UserWarning naming the units that read them.
    oc_unit: the unit of oc, "g/kg" or "%" (g/100 g), converted into the unit each model reads
    (TALVO PTF model (PSD + OC) g/kg, Rawls et al., 1982 %); None (default): as given. OC
    above a model's calibration (Rawls et al., 1982: 7.25 %) brings a UserWarning.
    sd: standard deviations of the inputs, as talvo-batch --sd takes them: a dict from input
    name to a number for every cell, an array or Series broadcast with the inputs, or the name
    of a column of the DataFrame given in place of sand ({"sand": 2, "clay": "clay_sd"}); in
    the unit of the input (units= and oc_unit= apply). At most two of sand, silt and clay: the
    first of silt, sand, clay without one takes up the others' difference. draws (default
    1000, at least 1000) soils are drawn around each cell from `seed` (default 1), the same
    whatever the other cells, and the results gain SPREADS: fc_p05, fc_p50, fc_p95, pwp_p05
    ... awc_p95 (float64, percentiles of type 7 over the draws, in the unit of fc, pwp and
    awc, rounded as precision= rounds them; NaN where the cell failed or its draws could not
    be made: a standard deviation below 0 or no number, or too few draws within 0-100 %).

    Returns a dict of arrays of the broadcast shape: fc, pwp (float64, in units(model)[...],
    % w/w or % v/v; NaN where a cell failed), awc (float64, mm in a 15 cm layer), flags
    (uint16, bits as FLAGS), texture (uint8, NO_TEXTURE: no class), the percentiles with sd,
    error (int8, 0 or a key of ERRORS, whose value words it). With a Series or a DataFrame
    among the inputs, a pandas DataFrame of these columns on its index.
    """
    row = _model(model)
    inputs = dict(zip(_INPUTS, (sand, silt, clay, oc)))
    table = sand if _of_pandas(sand, "DataFrame") else None
    _check_decimal(decimal)
    organic = table is not None and oc is None and _find_inputs(table)["oc"][1] is not None
    spreads = _spread_inputs(sd, table, organic, draws, seed, decimal)
    if table is not None:
        inputs = _table_inputs(table, inputs, row.inputs, decimal, 2)
    inputs, index = _aligned({**inputs, **spreads})
    _require(row, inputs, table)
    general = _talvo.general(precision)
    if threads is not None and operator.index(threads) < 1:
        raise ValueError("threads must be at least 1")
    usda = _talvo.usda(psd)
    given, mismatched = _given(inputs, decimal, units)
    shape, size, flat, mismatched = _broadcast(given, mismatched, index)
    flat, spread_flat, mismatched = flat[:4], flat[4:], mismatched[:4]
    _warn_of_units(*flat[:3], stacklevel=2)
    flat[3] = _carbon(row.position, flat[3], oc_unit, 2)
    results = _talvo.estimate_flat(row.position, *flat, general,
                                   0 if threads is None else int(threads), usda)
    if size:
        _name_mismatches(row.position, flat, mismatched, results[5], usda)
    names = ["fc", "pwp", "awc", "flags", "texture", "error"]
    if spreads:
        by_name = dict(zip(spreads, spread_flat))
        percentiles = _talvo.estimate_spreads(
            row.position, flat, [by_name.get(f"{name}_sd", np.zeros(1)) for name in _INPUTS],
            results[5], general, usda, oc_unit,
            _talvo.DEFAULT_DRAWS if draws is None else operator.index(draws),
            _talvo.DEFAULT_SEED if seed is None else operator.index(seed))
        results = (*results[:5], *percentiles, results[5])
        names[5:5] = SPREADS
    results = {name: result.reshape(shape) for name, result in zip(names, results)}
    return results if index is None else _labelled(results, index)


def estimate_texts(model, sand="", silt="", clay="", oc="", decimal="."):
    """The texts one press of Estimate leaves on the window for one soil typed as texts.

    model: as estimate() takes it. sand, silt and clay in percent, oc in the unit the model
    reads, each a text as typed (empty: not typed); decimal: the separator they are typed
    with. FC and PWP come in units(model)[...] (% w/w or % v/v), AWC in mm in a 15 cm layer.

    Returns {"fc", "pwp", "awc": the captions (two decimals; after a failure the 15-digit
    texts written before it, None where a caption was not written), "general": {"fc", "pwp",
    "awc": the 15-digit texts, None where not worked out}, "failure": as talvo-batch's
    error column words it, e.g. 'Type mismatch: clay "twenty"' or "Missing: clay", or None}.
    """
    texts = [("" if text is None else text) for text in (sand, silt, clay, oc)]
    for name, text in zip(_INPUTS, texts):
        if not isinstance(text, str):
            raise TypeError(f"{name} must be a text, as typed in the window")
    return _talvo.estimate_texts(_model(model).position, *texts, decimal)


# Units of hydraulics()' results; water contents by volume, as FC and PWP everywhere here.
HYDRAULIC_UNITS = {"theta_r": "% v/v", "theta_s": "% v/v", "alpha": "1/cm", "n": "1",
                   "ks": "cm/day", "fc": "% v/v", "pwp": "% v/v", "awc": "% v/v"}
# The percentiles hydraulics(sd=...) adds, as talvo-batch --hydraulics --sd adds them.
HYDRAULIC_SPREADS = tuple(f"{name}_p{percentile}" for name in ("fc", "pwp", "awc", "theta_s", "ks")
                          for percentile in ("05", "50", "95"))
_BULK_DENSITY = 4  # the position of bd among the inputs


def _layers(values, decimal):
    """topsoil as 1 (topsoil), 0 (subsoil), NaN (missing) or -1 (neither), as a table's topsoil
    cell is read: 1, yes, true, top or 0, no, false, sub, in any case; True or False."""
    if values is None:
        return None
    if _of_pandas(values, "Series"):  # kept a Series, to be aligned by its labels
        return type(values)(_layers(values.to_numpy(dtype=object), decimal), index=values.index)
    array = np.asarray(values, dtype=object)
    layers = np.empty(array.shape)
    for at, cell in np.ndenumerate(array):
        if isinstance(cell, str):
            named = _talvo.topsoil_named(cell.strip(" \t"))
            number, texts = _read(cell, decimal)
            missing = named is None and texts is None and np.isnan(number)
            layers[at] = np.nan if missing else -1.0 if named is None else float(named)
        elif cell is None or isinstance(cell, (bool, np.bool_)):
            layers[at] = np.nan if cell is None else float(cell)
        else:
            number = _real(cell)
            layers[at] = number if np.isnan(number) or number in (0.0, 1.0) else -1.0
    return layers


def _hydraulic_inputs(table, inputs):
    """The inputs from a DataFrame's columns, found by name as talvo-batch --hydraulics finds
    them; an om column is organic matter as it stands. An input also given by name wins."""
    found = _find_inputs(table)
    chosen = dict(inputs)
    for name in ("sand", "silt", "clay", "oc"):
        values, note, problem = found[name]
        if name == "oc" and (inputs["oc"] is not None or inputs["om"] is not None):
            continue
        if chosen[name] is None:
            if problem:
                raise ValueError(problem)
            chosen["om" if note else name] = values
    for name in ("bd", "topsoil"):
        if chosen[name] is None:
            chosen[name] = _column(table, name)
    return chosen


def hydraulics(model, sand=None, silt=None, clay=None, oc=None, *, om=None, bd=None,
               topsoil=None, fc_head=330, decimal=".", psd="international", units="%",
               oc_unit=None, sd=None, draws=None, seed=None):
    """The water-retention curve and saturated conductivity of every cell, as talvo-batch
    --hydraulics gives them, broadcast together as estimate() broadcasts.

    model: "saxton-rawls" (Saxton and Rawls, 2006) or "hypres" (Wösten et al., 1999). Both read
    sand, silt and clay on the USDA scale and organic matter in %: om as given, or OM = OC x
    1.724 from oc (in %, or g/kg with oc_unit="g/kg"). psd="international" (the default)
    converts sand, silt and clay to USDA and flags the cell "psd"; a soil with too little sand
    for it is "Out of range". bd: bulk density, g/cm3: HYPRES reads it, Saxton and Rawls adjust
    their density to it where given. topsoil: HYPRES's layer, 1/0, True/False or a text (yes,
    no, top, sub). fc_head: 330 or 100 cm, where fc is read from the curve.
    Inputs, decimal and units as estimate() takes them; a DataFrame in place of sand gives
    them as its columns (om or om_r as organic matter, bd, topsoil), and an xarray Dataset
    goes to talvo.xarray.hydraulics.
    sd, draws, seed: as estimate() takes them, as talvo-batch --hydraulics --sd does; oc's
    standard deviation is that of the organic input as given (OC, or OM with om), in its
    unit. The results then gain HYDRAULIC_SPREADS after flags: fc_p05 ... ks_p95, in the
    unit of fc ... ks, NaN where the cell failed or its draws could not be made.

    Returns a dict of arrays of the broadcast shape: theta_r, theta_s, alpha, n, ks, fc, pwp,
    awc (float64 in HYDRAULIC_UNITS; NaN where a cell failed, and theta_r, alpha and n for
    Saxton and Rawls, whose curve is no van Genuchten one), flags (uint16, bits as FLAGS) and
    error (int8, 0 or a key of ERRORS). With a Series or a DataFrame among the inputs, a
    pandas DataFrame of these columns on its index.
    """
    if type(sand).__name__ == "Dataset" and type(sand).__module__.startswith("xarray"):
        import importlib  # from . import would ask __getattr__ for it, round and round

        module = importlib.import_module(f"{__name__}.xarray")
        return module.hydraulics(sand, model, fc_head=fc_head, decimal=decimal, psd=psd,
                                 topsoil=topsoil, sd=sd, draws=draws, seed=seed)
    name = _talvo.hydraulic_model(model)
    inputs = {"sand": sand, "silt": silt, "clay": clay, "oc": oc, "om": om, "bd": bd,
              "topsoil": topsoil}
    table = sand if _of_pandas(sand, "DataFrame") else None
    _check_decimal(decimal)
    spreads = _spread_inputs(sd, table, False, draws, seed, decimal)
    if table is not None:
        inputs = _hydraulic_inputs(table, {**inputs, "sand": None})
    if inputs["oc"] is not None and inputs["om"] is not None:
        raise TypeError("give oc or om, not both")
    reads = ["sand", "silt", "clay", "oc" if inputs["om"] is None else "om"]
    reads += ["bd", "topsoil"] if name == "hypres" else []
    _require(Model(None, name, reads, None), inputs, table)
    usda = _talvo.usda(psd)
    per_kilogram = oc_unit is not None and _talvo.carbon_per_kilogram(oc_unit)
    organic_matter = inputs["om"] is not None
    inputs["topsoil"] = _layers(inputs["topsoil"], decimal)
    # In the order a cell is read: the first without a number names its failure.
    inputs, index = _aligned({**{key: inputs[key] for key in reads[:4] + ["bd", "topsoil"]},
                              **spreads})
    given, mismatched = _given(inputs, decimal, units)
    shape, size, flat, mismatched = _broadcast(given, mismatched, index)
    flat, by_name, mismatched = flat[:6], dict(zip(spreads, flat[6:])), mismatched[:6]
    _warn_of_units(*flat[:3], stacklevel=2)
    drawn = {} if not spreads else {
        "spreads": [by_name.get(f"{key}_sd", np.zeros(1)) for key in _INPUTS],
        "draws": _talvo.DEFAULT_DRAWS if draws is None else operator.index(draws),
        "seed": _talvo.DEFAULT_SEED if seed is None else operator.index(seed)}
    results = _talvo.hydraulics_flat(name, *flat, organic_matter, per_kilogram, usda,
                                     float(fc_head), **drawn)
    stopped = results.pop("stopped")
    _name_hydraulic_mismatches(name, results, stopped, mismatched)
    # In talvo-batch's order: the percentiles after flags.
    order = [*HYDRAULIC_UNITS, "flags", *(HYDRAULIC_SPREADS if spreads else ()), "error"]
    results = {key: results[key].reshape(shape) for key in order}
    return results if index is None else _labelled(results, index)


def _name_hydraulic_mismatches(name, results, stopped, mismatched):
    """"Missing" becomes "Type mismatch" where the input that stopped a cell held a text that
    is no number; a bd text that is none stops Saxton and Rawls too, as in a table."""
    error = results["error"]
    for input, held in enumerate(mismatched):
        if held is None:
            continue
        cells = held & (stopped == input) if held.size > 1 else stopped == input
        if input == _BULK_DENSITY and name == "saxton-rawls":
            cells = cells | (held & (error == 0))
        error[cells] = _talvo.TYPE_MISMATCH
        for key in results:
            if key not in ("flags", "error"):
                results[key][cells] = np.nan


_PROFILE_FLAGS = ("gap", "overlap", "depth", "missing")
# Measured FC and PWP: each in % by volume, or in cm3/cm3.
_MEASURED_WATER = (("theta_fc", "dul"), ("theta_pwp", "ll15"))


def _measured_water(numbers):
    """Each horizon's measured FC and PWP in % by volume (NaN where not measured), as
    talvo-batch reads them. A unit slip (a dul of 32, a theta_fc of 0.3), a row with both
    columns of a quantity, or an FC below its PWP raises ValueError: the water would be far
    off."""
    def refuse(cells, name, values, why):
        if cells.any():
            row = int(np.flatnonzero(cells)[0])
            raise ValueError(f"horizon {row}: {name} {values[row]:g} {why}")

    found = []
    for percent_name, fraction_name in _MEASURED_WATER:
        percent, fraction = numbers(percent_name, np.nan), numbers(fraction_name, np.nan)
        given = ~np.isnan(fraction)
        refuse(given & ~np.isnan(percent), fraction_name, fraction,
               f"({percent_name} is given too: keep one)")
        refuse((fraction > 1) & (fraction <= 100), fraction_name, fraction,
               f"(cm3/cm3, 0 to 1: this looks like % by volume, which {percent_name} holds)")
        refuse(given & ~((fraction >= 0) & (fraction <= 1)), fraction_name, fraction,
               "(cm3/cm3, 0 to 1)")
        refuse(~np.isnan(percent) & ~((percent >= 0) & (percent <= 100)), percent_name, percent,
               "(% by volume, 0 to 100)")
        if percent_name == "theta_fc":
            # No soil holds as little as 1 % at field capacity; a PWP can be that low.
            refuse((percent > 0) & (percent <= 1), percent_name, percent,
                   f"(% by volume: this looks like cm3/cm3, which {fraction_name} holds)")
        found.append(np.where(given, _talvo.shift_decimal(fraction, 2), percent))
    fc, pwp = found
    refuse(fc < pwp, "FC", fc, "% by volume is below its measured PWP")
    return fc, pwp


def profile(horizons, model, root_depth=100, depletion=0.5, cf_by="volume"):
    """Each profile's root-zone water from a table of its horizons, as talvo-batch --profiles
    --summary gives it.

    horizons: a pandas DataFrame or a dict of arrays with the columns profile (or id), top and
    bottom (cm), the model's sand, silt, clay, oc (found by name as evaluate() finds them), and
    optionally bd (g/cm3 of the fine earth; none or NaN: 1.49 for a % w/w model) and cf
    (coarse fragments, %; none or NaN: no stones), by volume or, with cf_by="weight", by weight.
    Measured FC and PWP of the fine earth, where a horizon has them, take the place of the
    estimates: theta_fc and theta_pwp in % by volume, or dul and ll15 in cm3/cm3 (none or NaN:
    estimated). A unit slip, such as a dul of 32, is a ValueError. Horizons may come in any
    order.
    model: as estimate() takes it. root_depth: cm, above 0 and at most 10000; depletion: p,
    0 to 1.

    Returns a pandas DataFrame indexed by profile, in the order profiles first appear, with
    depth_cm, taw_0_30, taw_0_100, taw_root, raw_root (mm, unrounded sums of the model's
    15-digit results, from the top down), root_depth, and flags (the codes gap, overlap,
    depth, missing, porosity where a horizon's FC by volume is above its porosity,
    1 - bd/2.65, and measured where a horizon's measured water was used, joined by ";").
    """
    import pandas as pd

    row = _model(model)
    root_depth = _talvo.root_depth(root_depth)
    depletion = _talvo.depletion(depletion)
    by_weight = _talvo.by_weight(cf_by)
    ids = _column(horizons, "profile")
    if ids is None:
        raise KeyError("horizons have no column 'profile'")
    ids = np.asarray(ids)
    count = len(ids)
    inputs = _input_numbers(_find_inputs(horizons), row.inputs, ".", 2)
    estimated = estimate(row.position, precision="general",
                         **{name: values for name, values in inputs.items() if values is not None})
    codes, names = pd.factorize(pd.Series(ids), sort=False)
    if (codes < 0).any():
        raise ValueError("a horizon has no profile")

    def numbers(name, default):
        values = _column(horizons, name, np.full(count, default))
        return np.asarray(pd.to_numeric(pd.Series(np.asarray(values)), errors="coerce"),
                          dtype=np.float64)

    bd = numbers("bd", np.nan)
    cf = np.nan_to_num(numbers("cf", 0.0), nan=0.0)
    measured_fc, measured_pwp = _measured_water(numbers)
    sums, (_, _, _, horizon_flags) = _talvo.profile_water(
        row.position, np.asarray(estimated["fc"], dtype=np.float64),
        np.asarray(estimated["pwp"], dtype=np.float64), bd, cf, numbers("top", np.nan),
        numbers("bottom", np.nan), codes.astype(np.int64), len(names), root_depth, depletion,
        by_weight, measured_fc, measured_pwp)
    depth, topsoil, subsoil, root, readily, bits = sums
    # A horizon whose FC overfills its pores flags its profile, as one whose water was
    # measured does: the sums count its water.
    horizon_codes = ("porosity", "measured")
    held = np.zeros((len(names), len(horizon_codes)), dtype=bool)
    for i, code in enumerate(horizon_codes):
        np.logical_or.at(held[:, i], codes, (horizon_flags & FLAGS[code]) != 0)
    flags = [";".join([code for i, code in enumerate(_PROFILE_FLAGS) if b & (1 << i)]
                      + [code for code, h in zip(horizon_codes, hs) if h])
             for b, hs in zip(bits, held)]
    return pd.DataFrame(
        {"depth_cm": depth, "taw_0_30": topsoil, "taw_0_100": subsoil, "taw_root": root,
         "raw_root": readily, "root_depth": root_depth, "flags": flags},
        index=pd.Index(names, name="profile"))


def __getattr__(name):
    """talvo.xarray, imported when first asked for: xarray takes a while to import."""
    if name == "xarray":
        from . import xarray as module
        return module
    raise AttributeError(f"module 'talvo' has no attribute {name!r}")


# The columns of evaluate()'s table, as talvo-batch --metrics writes them.
METRICS_COLUMNS = ("model", "unit", "quantity", "n", "me", "me_low", "me_high", "mae", "rmse",
                   "rmse_low", "rmse_high", "r2", "nse")
_MEASURED = ("fc", "pwp", "awc")


def _column(table, name, default=None):
    """The column of a DataFrame or mapping whose name matches in any case, blanks around it
    ignored, as talvo-batch finds its columns, a profile's also by "id"; `default` where none
    does. Two that match would leave it to chance which is read: ValueError."""
    for wanted in (name, "id") if name == "profile" else (name,):
        keys = [key for key in table.keys()
                if isinstance(key, str) and key.strip(" \t").lower() == wanted]
        if len(keys) > 1:
            raise ValueError(f"the table has more than one column named {wanted}: "
                             f"{', '.join(map(repr, keys))}")
        if keys:
            return table[keys[0]]
    return default


def _find_inputs(table):
    """Each input's column of a DataFrame or mapping, by the names talvo-batch finds: "sand",
    "Sand (%)", "sandtotal_r", organic matter "om_r" as oc, ... {name: (column or None, the
    note where it holds organic matter, why two columns could be it)}, None where absent."""
    keys = list(table.keys())
    found = _talvo.find_columns([key if isinstance(key, str) else "" for key in keys],
                                "keep one of them in the table")
    return {name: (None if index is None else table[keys[index]], note, problem)
            for name, (index, note, problem) in zip(_INPUTS, found)}


def _input_numbers(found, reads, decimal, stacklevel):
    """The columns _find_inputs found as float64, None where absent; organic matter as carbon,
    OC = OM / 1.724, said once in a UserWarning where `reads` holds oc. ValueError for an
    input of `reads` that two columns could be."""
    numbers = {}
    for name, (values, note, problem) in found.items():
        if problem and name in reads:
            raise ValueError(problem)
        numbers[name] = None if values is None else _numbers(values, decimal).ravel()
        if note and values is not None:
            numbers[name] = numbers[name] / _talvo.ORGANIC_MATTER_PER_CARBON
            if name in reads:
                warnings.warn(note, UserWarning, stacklevel=stacklevel + 1)
    return numbers


def _chosen_models(models, inputs):
    """The models evaluate() scores: "all" is every model whose inputs the table has; a model
    named that reads a column the table lacks is a ValueError."""
    if models == "all":
        return [m for m in _all_models() if all(inputs[i][0] is not None for i in m.inputs)]
    one = isinstance(models, (str, int, np.integer))
    chosen = [_model(m) for m in ([models] if one else models)]
    for m in chosen:
        missing = [i for i in m.inputs if inputs[i][0] is None]
        if missing:
            raise ValueError(f"{m.list_text} reads {', '.join(missing)}: the table has no "
                             "such column")
    return chosen


def _measured_columns(table, measured, decimal):
    """Each measured quantity's column as float64, empty where it was not measured."""
    columns = {}
    for name in _MEASURED:
        if name in measured:
            if measured[name] not in table:
                raise KeyError(f"measured {name}: the table has no column {measured[name]!r}")
            columns[name] = _numbers(table[measured[name]], decimal).ravel()
        else:
            columns[name] = np.empty(0)
    return columns


def evaluate(table, measured, models="all", *, measured_unit="v/v", bd=None, decimal=".",
             psd="international"):
    """Which model fits: each model's scores against measured FC, PWP or AWC.

    table: a pandas DataFrame (or a mapping of columns) with sand, silt, clay and, for the
    models that read it, oc, found by name as talvo-batch finds them: in any case, with a unit
    ("Sand (%)", "sand_pct"), SSURGO's sandtotal_r, silttotal_r, claytotal_r, and organic
    matter om or om_r, read as OC = OM / 1.724 (the van Bemmelen factor) with a UserWarning.
    A name that two columns could be is a ValueError. measured: {"fc": COLUMN, "pwp":
    COLUMN, "awc": COLUMN}, any of them; AWC in mm of a 15 cm layer. models: "all" (every
    model whose inputs the table has), a model as estimate() takes it, or a list of them.
    measured_unit: "v/v", "w/w" or "fraction" (cm3/cm3, read as % v/v: 0.26 as 26) for FC
    and PWP, with a UserWarning when the numbers look like another; estimates in the other
    unit are converted with the bd column (bulk density, g/cm3; default a column named bd),
    1.49 where a row has
    none. The scores use the 15-digit results; intervals are 95 % bootstrap percentiles from
    1000 resamples with a fixed seed, exactly as talvo-batch --metrics gives them.
    psd: the particle-size scale of sand, silt and clay, as estimate() takes it.

    Returns a pandas DataFrame with METRICS_COLUMNS, one row per model and quantity.
    """
    import pandas as pd

    usda = _talvo.usda(psd)
    _check_decimal(decimal)
    _talvo.check_measured_unit(measured_unit)
    unknown = set(measured) - set(_MEASURED)
    if unknown or not measured:
        raise ValueError(f"measured: give columns for fc, pwp or awc, not {sorted(unknown)}")
    inputs = _find_inputs(table)
    chosen = _chosen_models(models, inputs)
    reads = {i for m in chosen for i in m.inputs}
    numbers = {name: np.empty(0) if values is None else values
               for name, values in _input_numbers(inputs, reads, decimal, 2).items()}
    count = len(numbers["sand"])
    columns = _measured_columns(table, measured, decimal)
    density = table[bd] if bd is not None else _column(table, "bd")
    density = _numbers(density, decimal).ravel() if density is not None else np.empty(0)
    for name, values in list(numbers.items()) + list(columns.items()) + [("bd", density)]:
        if len(values) not in (0, count):
            raise ValueError(f"{name} has {len(values)} rows, sand {count}")
    rows, note = _talvo.evaluate_columns([m.position for m in chosen], numbers["sand"],
                                         numbers["silt"], numbers["clay"], numbers["oc"],
                                         columns["fc"], columns["pwp"], columns["awc"], density,
                                         measured_unit, usda)
    if note:
        warnings.warn(note, UserWarning, stacklevel=2)
    frame = pd.DataFrame(rows, columns=list(METRICS_COLUMNS))
    return frame.astype({name: "float64" for name in METRICS_COLUMNS[4:]})


_all_models = models
