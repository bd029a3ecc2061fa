"""Soil data as they are held: USDA particle sizes, fractions of 1 and g/kg."""

import warnings

import numpy as np
import pytest

import talvo

INPUTS = ("sand", "silt", "clay", "oc")


def usda_soils(count=2000):
    rng = np.random.default_rng(5)
    clay = np.round(rng.uniform(0, 100, count), 2)
    silt = np.round(rng.uniform(0, 1, count) * (100 - clay), 2)
    sand = np.round(100 - clay - silt, 2)
    oc = np.round(rng.uniform(0.5, 60, count), 1)
    sand[::97] = np.nan  # a few without a number
    silt[::89] = np.nan
    return {"sand": sand, "silt": silt, "clay": clay, "oc": oc}


def as_text(value):
    return "" if np.isnan(value) else "%.17g" % value


def texture_name(number):
    return "" if number == talvo.NO_TEXTURE else talvo.TEXTURE_CLASSES[number]


@pytest.mark.parametrize("model", range(7))
def test_usda_scale_as_the_batch_tool_gives_it(batch, model):
    soils = usda_soils()
    got = talvo.estimate(model, **soils, psd="usda")
    rows = [{name: as_text(soils[name][i]) for name in INPUTS}
            for i in range(len(soils["sand"]))]
    expected = batch(model, rows, options=("--psd", "usda"))
    for i, row in enumerate(expected):
        for name in ("fc", "pwp", "awc"):
            want = float(row[name]) if row[name] else np.nan
            assert got[name][i] == want or (np.isnan(want) and np.isnan(got[name][i])), (i, name)
        assert texture_name(got["texture"][i]) == row["texture"], i
        codes = ";".join(code for code, mask in talvo.FLAGS.items() if got["flags"][i] & mask)
        assert codes == row["flags"], i


def test_usda_hand_reckoning():
    # Silt 40 % on the USDA scale holds 40 ln 10 / ln 25 = 28.6135 % below 20 um.
    got = talvo.estimate("Tomasella and Hodnett, 1998", sand=40, silt=40, clay=20, psd="usda")
    assert (float(got["fc"]), float(got["pwp"]), float(got["awc"])) == (24.32, 13.12, 16.79)
    assert got["flags"] & talvo.FLAGS["psd"]
    assert talvo.TEXTURE_CLASSES[int(got["texture"])] == "loam"
    assert int(got["texture"]) in talvo.TEXTURE_TRIANGLES["usda"]
    with pytest.raises(ValueError, match="psd 'ISO'"):
        talvo.estimate(0, sand=40, clay=20, psd="ISO")


def test_the_triangles():
    names = {key: {talvo.TEXTURE_CLASSES[n] for n in numbers}
             for key, numbers in talvo.TEXTURE_TRIANGLES.items()}
    assert len(names["usda"]) == len(names["international"]) == 12
    assert names["usda"] - names["international"] == {"silt", "clay"}
    assert names["international"] - names["usda"] == {"heavy clay", "light clay"}


PERCENT = {"sand": [40, 36, 50], "silt": [40, 44, 30], "clay": [20, 20, 20]}


@pytest.mark.parametrize("units, factor, match", [
    ("1", 0.01, 'fractions of 1, not percent; units="1"'),
    ("g/kg", 10, 'like g/kg, not percent; units="g/kg"'),
])
def test_units_that_give_themselves_away(units, factor, match):
    given = {name: [value * factor for value in values] for name, values in PERCENT.items()}
    with pytest.warns(UserWarning, match=match):
        talvo.estimate(0, **given)
    with warnings.catch_warnings():
        warnings.simplefilter("error")
        read = talvo.estimate(0, **given, units=units)
    percent = talvo.estimate(0, **PERCENT)
    for name in ("fc", "pwp", "awc", "flags", "texture"):
        assert np.array_equal(read[name], percent[name]), name


def test_fractions_are_read_exactly():
    got = talvo.estimate(3, silt=[0.07, 0.63], clay=[0.3, 0.3], units="1")
    want = talvo.estimate(3, silt=[7, 63], clay=[30, 30])
    for name in ("fc", "pwp", "awc"):
        assert np.array_equal(got[name], want[name])
    with pytest.raises(ValueError, match="units 'kg/kg'"):
        talvo.estimate(3, silt=7, clay=30, units="kg/kg")


def test_percent_warns_of_nothing():
    with warnings.catch_warnings():
        warnings.simplefilter("error")
        talvo.estimate(0, sand=[40, 65, 5], silt=[40, 25, 90], clay=[20, 10, 5])


def dataset(units):
    xarray = pytest.importorskip("xarray")
    scale = {"%": 1, "percent": 1, "1": 0.01, "g/kg": 10, "g kg-1": 10, "dg/kg": 100}[units]
    variables = {name: ("x", np.array(values) * scale, {"units": units})
                 for name, values in PERCENT.items()}
    variables["oc"] = ("x", np.array([52.0, 10.0, 0.5]), {"units": "dg/kg"})
    return xarray.Dataset(variables)


@pytest.mark.parametrize("units", ["%", "percent", "1", "g/kg", "g kg-1", "dg/kg"])
def test_xarray_reads_cf_units(units):
    import talvo.xarray
    with warnings.catch_warnings():
        warnings.simplefilter("error")
        got = talvo.xarray.estimate(dataset(units), "Rawls et al., 1982")
    want = talvo.estimate(2, **PERCENT, oc=[0.52, 0.1, 0.005])  # dg/kg as Rawls' %
    for name in ("fc", "pwp", "awc", "flags", "texture"):
        assert np.array_equal(got[name].values, want[name]), name


# Hand reckonings for sand 40, clay 20: Rawls et al., 1982 FC ((25.76 - 0.2 x 40) + 0.36 x 20)
# + OC x 5.17868 with OC in %; TALVO PTF model (PSD + OC) FC ((29.76823 - 0.26336 x 40) +
# 0.20597 x 20) + OC x 0.01098 with OC in g/kg.
@pytest.mark.parametrize("model, oc, oc_unit, fc", [
    (2, 5, "g/kg", 27.55),   # 0.5 %: 27.54934
    (2, 0.5, "%", 27.55),
    (2, 5, None, 50.85),     # as given, as the window reads it: 50.8534
    (1, 0.5, "%", 23.41),    # 5 g/kg: 23.40813
    (1, 5, "g/kg", 23.41),
    (1, 5, None, 23.41),
    (3, 5, "%", 24.91),      # reads no OC: silt 30, clay 20 as ever
])
def test_oc_unit_reaches_each_model_in_its_own(model, oc, oc_unit, fc):
    got = talvo.estimate(model, sand=40, silt=30, clay=20, oc=oc, oc_unit=oc_unit)
    assert float(got["fc"]) == fc


def test_oc_above_rawls_calibration_warns_once():
    with pytest.warns(UserWarning, match=r'on 2 of 3 soils, Rawls et al., 1982 reads organic '
                                         r'carbon above 7\.25 %.*oc_unit="g/kg"') as caught:
        talvo.estimate(2, sand=40, clay=20, oc=[50, 0.5, 8])
    assert len(caught) == 1
    with warnings.catch_warnings():
        warnings.simplefilter("error")
        talvo.estimate(2, sand=40, clay=20, oc=[50, 0.5, 8], oc_unit="g/kg")
        talvo.estimate(1, sand=40, clay=20, oc=[50, 0.5, 8])
    with pytest.raises(ValueError, match="oc_unit 'mg/g'"):
        talvo.estimate(2, sand=40, clay=20, oc=5, oc_unit="mg/g")


@pytest.mark.parametrize("units, oc", [("%", 0.5), ("g/kg", 5), ("dg/kg", 50), ("1", 0.005)])
def test_xarray_oc_units_for_rawls(units, oc):
    xarray = pytest.importorskip("xarray")
    import talvo.xarray
    soils = xarray.Dataset({"sand": ("x", [40.0]), "clay": ("x", [20.0]),
                            "oc": ("x", [oc], {"units": units})})
    assert float(talvo.xarray.estimate(soils, 2)["fc"][0]) == 27.55


def test_xarray_refuses_units_it_cannot_convert():
    import talvo.xarray
    soils = dataset("%")
    soils["clay"].attrs["units"] = "kg/kg"
    with pytest.raises(ValueError, match="clay has units 'kg/kg', which talvo cannot convert"):
        talvo.xarray.estimate(soils, 0)


def test_xarray_usda_triangle():
    import talvo.xarray
    got = talvo.xarray.estimate(dataset("%"), 0, psd="usda")
    assert "usda triangle" in got["texture"].attrs["long_name"]
    assert "silty_clay_loam" in got["texture"].attrs["flag_meanings"]
    assert "heavy_clay" not in got["texture"].attrs["flag_meanings"]
    assert np.all(got["flags"].values & talvo.FLAGS["psd"])
