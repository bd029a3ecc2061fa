from decimal import Decimal
from fractions import Fraction
import subprocess
import sys
import types
from unittest import mock

import numpy as np
import pandas as pd
import pytest

import talvo

NAN = np.nan


@pytest.mark.parametrize("sand, clay, shape", [
    (40, 20, ()),
    (np.full(3, 40.0), 20, (3,)),
    (np.full((2, 1), 40.0), np.full((1, 3), 20.0), (2, 3)),
    (np.full((1,), 40.0), np.full((4, 5), 20.0), (4, 5)),
    (np.full((2, 3, 4), 40.0).transpose(2, 0, 1), 20, (4, 2, 3)),  # not contiguous
    (np.full(0, 40.0), 20, (0,)),
])
def test_inputs_broadcast_as_numpy_does(sand, clay, shape):
    results = talvo.estimate(0, sand=sand, clay=clay)
    for name, dtype in [("fc", np.float64), ("pwp", np.float64), ("awc", np.float64),
                        ("flags", np.uint16), ("texture", np.uint8), ("error", np.int8)]:
        assert results[name].shape == shape
        assert results[name].dtype == dtype
    assert np.all(results["fc"] == 23.38)


def test_only_an_input_the_model_does_not_read_may_be_omitted():
    omitted = talvo.estimate(0, sand=[40, 50], clay=[20, 30])
    given = talvo.estimate(0, sand=[40, 50], silt=[40, 20], clay=[20, 30], oc=[1e308, NAN])
    np.testing.assert_array_equal(omitted["fc"], given["fc"])
    np.testing.assert_array_equal(omitted["awc"], given["awc"])


@pytest.mark.parametrize("model, left_out", [(model.position, name) for model in talvo.models()
                                             for name in model.inputs])
def test_an_input_the_model_reads_cannot_be_left_out(model, left_out):
    # Not a column of type mismatches: a forgotten oc= would look like a soil without OC.
    inputs = {name: pd.Series([40.0]) for name in talvo.models()[model].inputs
              if name != left_out}
    with pytest.raises(TypeError, match=f"^missing input {left_out}: "):
        talvo.estimate(model, **inputs)


# sand, clay, oc -> error and flags under model 1 (PSD + OC), one cell each.
FAILURES = [
    ((40, 20, 5), 0, 0),
    ((40, NAN, 5), 1, 0),        # type mismatch: clay
    ((40, 20, 0), 2, 0),         # division by zero: oc
    ((1e308, 1e308, 5), 3, 18),  # overflow; contents and FC out of range
    ((40, np.inf, 5), 3, 0),     # a number beyond the range is an overflow
    ((40, 20, 250), 0, 4),       # peat
]


def test_failures_are_per_cell():
    sand, clay, oc = (np.array(column, dtype=float) for column in zip(*(f[0] for f in FAILURES)))
    results = talvo.estimate(1, sand=sand, clay=clay, oc=oc)
    assert results["error"].tolist() == [f[1] for f in FAILURES]
    assert results["flags"].tolist() == [f[2] for f in FAILURES]
    failed = results["error"] != 0
    for name in ("fc", "pwp", "awc"):
        assert np.isnan(results[name][failed]).all()
        assert not np.isnan(results[name][~failed]).any()
    assert results["fc"][0] == 23.41


def test_other_number_types_stand_for_their_texts():
    # A float32 52.3 is 52.299999237..., but it was written as 52.3.
    as_text = talvo.estimate(0, sand=52.3, clay=20.1, precision="general")
    as_float32 = talvo.estimate(0, sand=np.float32(52.3), clay=np.float32(20.1),
                                precision="general")
    assert as_float32["fc"] == as_text["fc"]
    for column in (pd.Series([52.3, None], dtype="float32"),
                   pd.Series([52.3, None], dtype="Float32")):
        from_pandas = talvo.estimate(0, sand=column, clay=np.float32(20.1), precision="general")
        assert from_pandas["fc"][0] == as_text["fc"], column.dtype
        assert from_pandas["error"][1] == 1, column.dtype
    no_numbers = talvo.estimate(0, sand=np.array([52.3, NAN, np.inf], np.float32), clay=20)
    assert no_numbers["error"].tolist() == [0, 1, 3]
    as_int = talvo.estimate(0, sand=np.int16(52), clay=np.uint8(20))
    assert as_int["fc"] == talvo.estimate(0, sand=52.0, clay=20.0)["fc"]
    nullable = talvo.estimate(0, sand=[40, 40], clay=pd.array([20, None], "Int64"))
    assert nullable["error"].tolist() == [0, 1]
    assert nullable["fc"][0] == 23.38
    # netCDF4 masks its missing cells over a filler value.
    masked = np.ma.masked_array(np.array([40, -32768], np.int16), mask=[False, True])
    assert talvo.estimate(0, sand=masked, clay=20)["error"].tolist() == [0, 1]


def test_large_arrays_split_over_threads_give_the_same_cells():
    rng = np.random.default_rng(7)
    sand = np.round(rng.uniform(0, 100, 300_001), 2)
    clay = np.round(rng.uniform(0, 100, 300_001), 1)
    clay[::1000] = NAN
    one = talvo.estimate(0, sand=sand, clay=clay, threads=1)
    many = talvo.estimate(0, sand=sand, clay=clay, threads=3)
    for name in ("fc", "pwp", "awc", "flags", "error"):
        np.testing.assert_array_equal(one[name], many[name])
    assert (one["error"] != 0).sum() == 301


def test_columns_of_many_megabytes_hold_what_small_ones_do():
    # From 4 MiB on, results live in memory of their own, aligned for huge pages.
    rng = np.random.default_rng(11)
    cells = 2_500_001  # every column but error and texture is past 4 MiB
    sand = np.round(rng.uniform(-1, 101, cells), 2).astype(np.float32)
    clay = np.round(rng.uniform(0, 60, cells), 1)
    clay[::997] = NAN
    large = talvo.estimate(0, sand=sand, clay=clay)
    pieces = [talvo.estimate(0, sand=sand[i:i + 100_000], clay=clay[i:i + 100_000])
              for i in range(0, cells, 100_000)]
    fc = large.pop("fc")
    del large  # a column outlives the others
    filler = np.ones(cells)  # reuses freed memory, were it freed too soon
    np.testing.assert_array_equal(fc, np.concatenate([piece["fc"] for piece in pieces]))
    assert filler.sum() == cells
    large = talvo.estimate(0, sand=sand, clay=clay)
    for name in ("pwp", "awc", "flags", "texture", "error"):
        np.testing.assert_array_equal(large[name],
                                      np.concatenate([piece[name] for piece in pieces]))
    assert large["fc"].flags.writeable and large["fc"].flags.c_contiguous


# Cells of object arrays (as pandas gives for mixed columns): numbers of any kind, missing
# values, texts; each against the same soil given as a float64. An int past the double range
# is an overflow, as its digits typed would be.
OBJECT_CELLS = [
    (40, 40.0), (40.5, 40.5), (np.int16(40), 40.0), (np.uint64(40), 40.0), (np.float64(40.5), 40.5),
    (np.float32(52.3), 52.3), (np.float16(40), 40.0), (Decimal("40.50"), 40.5),
    (Fraction(81, 2), 40.5), (None, NAN), (NAN, NAN), (pd.NA, NAN), (np.inf, np.inf),
    (10**400, np.inf),
    ("40.5", 40.5), (b"40.5", 40.5), ("1_0", NAN),
]


def test_object_cells_are_numbers_or_texts():
    cells = np.empty(len(OBJECT_CELLS), dtype=object)
    cells[:] = [cell for cell, _ in OBJECT_CELLS]
    given = talvo.estimate(0, sand=cells, clay=20, precision="general")
    expected = talvo.estimate(0, sand=[number for _, number in OBJECT_CELLS], clay=20,
                              precision="general")
    np.testing.assert_array_equal(given["fc"], expected["fc"])
    # A text that holds no number is a type mismatch; a missing number is "Missing".
    mismatched = [isinstance(cell, str) and np.isnan(number) for cell, number in OBJECT_CELLS]
    np.testing.assert_array_equal(given["error"], np.where(mismatched, 4, expected["error"]))


@pytest.mark.parametrize("values, what", [
    (pd.Series(pd.to_datetime(["2020-01-01"])), "datetime64"),
    (np.array([1, 2], dtype="timedelta64[D]"), "timedelta64"),
    (True, "bool"),
    (np.bool_(False), "bool"),
    (np.array([True, False]), "bool"),
    (pd.Series([True, False]), "bool"),
    (pd.array([True, None], dtype="boolean"), "boolean"),
    ([20, True], "bool"),
    (np.array([20, False], dtype=object), "bool"),
    (np.array([20, np.bool_(True)], dtype=object), "bool"),
    (20 + 0j, "complex"),
    (np.array([20 + 0j]), "complex"),
    ([20, 1j], "complex"),
    (np.zeros(2, dtype=[("clay", "f8"), ("silt", "f8")]), r"\[\('clay'"),
    (np.rec.fromarrays([[20.0]], names="clay"), r"\(numpy.record"),
    (np.zeros(2, dtype="V8"), "V8"),
    (np.array([20, np.datetime64("2020-01-01")], dtype=object), "datetime64"),
    (np.array([20, bytearray(b"20")], dtype=object), "bytearray"),
    ([[20], [20, 30]], "list"),
])
def test_values_that_are_no_contents_fail_the_call_naming_their_input(values, what):
    # Each would otherwise become a number: true as 1, a record as its first field or 0.
    with pytest.raises(TypeError, match=f"^clay: .*{what}"):
        talvo.estimate(0, sand=40, clay=values)


# Series are matched by label, as pandas matches them; sand and clay as {label: value}, then
# the labels of the results and each label's soil (None: no number).
LABELLED = [
    ({"a": 40, "b": 50}, {"a": 20, "b": 30}, ["a", "b"], [(40, 20), (50, 30)]),
    ({"a": 40, "b": 50}, {"b": 30, "a": 20}, ["a", "b"], [(40, 20), (50, 30)]),  # shuffled
    ({3: 40, 1: 50, 2: 60}, {1: 30, 2: 20, 4: 10}, [1, 2, 3, 4],
     [(50, 30), (60, 20), (40, None), (None, 10)]),  # partly shared labels
    ({10: 40, 11: 50}, {0: 20, 1: 30}, [0, 1, 10, 11],
     [(None, 20), (None, 30), (40, None), (50, None)]),  # no label shared
]


@pytest.mark.parametrize("sand, clay, labels, soils", LABELLED)
def test_series_are_matched_by_label(sand, clay, labels, soils):
    results = talvo.estimate(0, sand=pd.Series(sand, dtype=float), clay=pd.Series(clay))
    by_row = talvo.estimate(0, sand=[soil[0] for soil in soils], clay=[soil[1] for soil in soils])
    assert isinstance(results, pd.DataFrame)
    assert results.index.tolist() == labels
    for name in ("fc", "pwp", "awc", "flags", "texture", "error"):
        np.testing.assert_array_equal(results[name].to_numpy(), by_row[name], err_msg=name)


def test_a_series_gives_a_data_frame_on_its_own_index():
    soils = pd.DataFrame({"sand": [40.0, 50.0], "clay": ["20", "30"]},
                         index=pd.Index(["P1", "P2"], name="profile"))
    results = talvo.estimate(0, sand=soils.sand, clay=soils.clay, silt=np.array([40, 20]), oc=5)
    assert results.index.equals(soils.index) and results.index.name == "profile"
    assert list(results.columns) == ["fc", "pwp", "awc", "flags", "texture", "error"]
    plain = talvo.estimate(0, sand=[40.0, 50.0], clay=["20", "30"], silt=[40, 20], oc=5)
    for name, values in plain.items():
        assert results[name].dtype == values.dtype, name
        np.testing.assert_array_equal(results[name].to_numpy(), values, err_msg=name)
    joined = soils.join(results)  # as the README shows
    assert joined.loc["P1", "fc"] == 23.38


def test_a_data_frame_gives_its_columns_by_name_and_keeps_its_index():
    soils = pd.DataFrame({"id": ["P1", "P2", "P3"], "Sand": [40.0, 52.5, 40.0],
                          "CLAY": ["20", "17.5", None], " oc ": [5, 12.25, 5]}).set_index("id")
    results = talvo.estimate("rawls", soils)
    assert isinstance(results, pd.DataFrame) and results.index.equals(soils.index)
    by_column = talvo.estimate(2, sand=soils["Sand"], clay=soils["CLAY"], oc=soils[" oc "])
    pd.testing.assert_frame_equal(results, by_column)
    assert results.loc["P1", "fc"] == 50.85 and results.loc["P3", "error"] == 1
    # An input given by name is read instead of its column: 5 g/kg as 0.5 %.
    assert talvo.estimate(2, soils, oc=0.5).loc["P1", "fc"] == 27.55


@pytest.mark.parametrize("table, model, error, message", [
    (pd.DataFrame({"sand": [40], "clay": [20]}), 2, TypeError,
     r"^missing input oc: .* the table has no column oc, only 'sand', 'clay'$"),
    (pd.DataFrame([[40, 41, 20, 5]], columns=["sand", "sand", "clay", "oc"]), 2, ValueError,
     r"two columns named sand \(columns 1 and 2\)$"),
    (pd.DataFrame([[40, 41, 20, 5]], columns=["Sand", " sand", "clay", "oc"]), 2, ValueError,
     r"two columns named Sand \(columns 1 and 2\)$"),
])
def test_a_data_frame_without_the_columns_fails_the_call(table, model, error, message):
    with pytest.raises(error, match=message):
        talvo.estimate(model, table)


@pytest.mark.parametrize("sand, clay, message", [
    (pd.Series([40, 50], index=[1, 1]), pd.Series([20], index=[2]), "^sand: .*duplicate"),
    (pd.Series([40, 50]), np.full((3, 2), 20.0), r"shape \(3, 2\)"),
])
def test_series_that_cannot_be_matched_fail_the_call(sand, clay, message):
    with pytest.raises(ValueError, match=message):
        talvo.estimate(0, sand=sand, clay=clay)


def test_a_broadcast_too_large_for_memory_fails_as_numpy_fails():
    # A view of 10^12 cells costs nothing; the cells it stands for cannot be held.
    huge = np.broadcast_to(np.float64(40), (10**6, 10**6))
    for inputs in ({"sand": huge, "clay": 20}, {"sand": 40, "clay": huge.T}):
        with pytest.raises((MemoryError, ValueError)):
            talvo.estimate(0, **inputs)


def test_pandas_half_imported_by_another_thread_is_not_read():
    # While another thread imports pandas, the module is listed before it has its classes.
    half = types.ModuleType("pandas")
    with mock.patch.dict(sys.modules, {"pandas": half}):
        results = talvo.estimate(0, sand=np.array([40.0, 52.5]), clay=np.array([20, "x"], object))
    assert results["fc"][0] == 23.38 and results["error"].tolist() == [0, 4]


def test_an_estimate_beside_a_thread_importing_pandas():
    script = """
import threading, numpy as np, talvo
importing = threading.Thread(target=lambda: __import__("pandas"))
importing.start()
while importing.is_alive():
    talvo.estimate(0, sand=np.array([40.0]), clay=np.array([20.0], object))
importing.join()
assert talvo.estimate(0, sand=__import__("pandas").Series([40.0]), clay=20).fc[0] == 23.38
"""
    subprocess.run([sys.executable, "-c", script], check=True, timeout=120)
