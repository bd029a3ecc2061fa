import io

import numpy as np
import pandas as pd
import pytest

import talvo

NAN = np.nan
RESULTS = ("theta_r", "theta_s", "alpha", "n", "ks", "fc", "pwp", "awc")


def test_saxton_rawls_loam_as_the_paper_tabulates_it():
    # Loam, 40 % sand and 20 % clay at 2.5 % OM: WP 14, FC 28, SAT 46 % v/v, Ks 15.5 mm/h.
    loam = talvo.hydraulics("saxton-rawls", 40, 40, 20, om=2.5, psd="usda")
    assert round(float(loam["pwp"])) == 14
    assert round(float(loam["fc"])) == 28
    assert round(float(loam["theta_s"])) == 46
    assert round(float(loam["ks"]) / 2.4, 1) == 15.5  # cm/day to mm/h
    assert float(loam["awc"]) == pytest.approx(float(loam["fc"] - loam["pwp"]), abs=1e-12)
    assert all(np.isnan(loam[name]) for name in ("theta_r", "alpha", "n"))
    assert loam["error"] == 0 and loam["flags"] == 0


def test_organic_matter_from_carbon_in_either_unit():
    om = talvo.hydraulics("saxton-rawls", 40, 40, 20, om=1.724 * 1.5, psd="usda")
    percent = talvo.hydraulics("saxton-rawls", 40, 40, 20, oc=1.5, psd="usda")
    grams = talvo.hydraulics("saxton-rawls", 40, 40, 20, oc=15, psd="usda", oc_unit="g/kg")
    for name in ("theta_s", "ks", "fc", "pwp"):
        assert percent[name] == pytest.approx(om[name], rel=1e-12)
        assert grams[name] == pytest.approx(om[name], rel=1e-12)


# (inputs, error code): the first input without a number names the failure, as in a table.
FAILURES = [
    (dict(sand=40, silt=40, clay=20), 0),
    (dict(sand=NAN, silt=40, clay=20), 1),
    (dict(sand="n.d.", silt=40, clay=20), 4),
    (dict(sand=40, silt="", clay="x"), 1),
    (dict(sand=10, silt=60, clay=30), 5),         # too little sand for the USDA silt
    (dict(sand=40, silt=40, clay=20, bd=0), 5),
    (dict(sand=40, silt=40, clay=20, bd="x"), 4),  # a density that is no number stops it too
    (dict(sand=np.inf, silt=40, clay=20), 3),
]


@pytest.mark.parametrize("inputs, code", FAILURES)
def test_error_codes(inputs, code):
    result = talvo.hydraulics("saxton-rawls", **inputs, om=2)
    assert result["error"] == code
    assert np.isnan(result["fc"]) == (code != 0)


def test_out_of_range_has_a_code_of_its_own():
    assert talvo.ERRORS[talvo._talvo.OUT_OF_RANGE] == "Out of range"
    assert talvo.ERRORS[talvo._talvo.TYPE_MISMATCH] == "Type mismatch"
    assert len(set(talvo.ERRORS)) == len(set(talvo.ERRORS.values())) == 5


@pytest.mark.parametrize("call, error", [
    (lambda: talvo.hydraulics("hypres", 40, 40, 20, om=2, topsoil=1), TypeError),
    (lambda: talvo.hydraulics("hypres", 40, 40, 20, om=2, bd=1.4), TypeError),
    (lambda: talvo.hydraulics("saxton-rawls", 40, 40, 20), TypeError),
    (lambda: talvo.hydraulics("saxton-rawls", 40, 40, 20, oc=1, om=2), TypeError),
    (lambda: talvo.hydraulics("saxton-rawls", 40, 40, 20, om=2, fc_head=200), ValueError),
    (lambda: talvo.hydraulics("rosetta", 40, 40, 20, om=2), ValueError),
    (lambda: talvo.hydraulics("saxton-rawls", 40, 40, 20, oc=1, oc_unit="mg"), ValueError),
])
def test_refusals(call, error):
    with pytest.raises(error):
        call()


MESSY = """id,Sand (%),silt,clay,om,bd,topsoil
loam,40,40,20,2.5,,1
top,40,40,20,2,1.35,yes
sub,40,40,20,2,1.45,sub
comma,"38,5",41,20,3,1.2,0
odd,40,40,20,2.5,1.43,maybe
blank, ,40,20,2,1.4,1
text,n.d.,40,20,2,1.4,1
dense,40,40,20,2,9,1
sandy,85,10,5,0.5,1.6,
intl,10,60,30,1,1.3,1
peat,30,30,20,40,0.4,1
"""


def _codes(texts):
    words = {text: code for code, text in talvo.ERRORS.items()}
    return [0 if not text else words[text.split(":")[0]] for text in texts]


@pytest.mark.parametrize("model, psd", [("saxton-rawls", "usda"), ("hypres", "usda"),
                                        ("hypres", "international")])
def test_same_numbers_as_talvo_batch(batch_hydraulics, model, psd):
    table = MESSY
    rows = batch_hydraulics(table, ["--hydraulics", model, "--psd", psd, "--topsoil", "no"])
    frame = pd.read_csv(io.StringIO(table), dtype=str, keep_default_na=False)
    frame["topsoil"] = frame["topsoil"].replace("", "0")  # what --topsoil no stands for
    ours = talvo.hydraulics(model, frame, psd=psd)
    for name, unit in talvo.HYDRAULIC_UNITS.items():
        column = f"{name} ({unit})" if unit != "1" else name
        expected = [float(row[column]) if row[column] else NAN for row in rows]
        np.testing.assert_allclose(ours[name], expected, rtol=1e-14, err_msg=name)
    assert list(ours["error"]) == _codes(row["error"] for row in rows)
    assert list(ours["flags"]) == [sum(talvo.FLAGS[code] for code in row["flags"].split(";")
                                       if code) for row in rows]


def test_a_dataframe_keeps_its_index_and_series_align_by_label():
    soils = pd.DataFrame({"sand": [40, 60], "silt": [40, 25], "clay": [20, 15],
                          "om_r": [2.5, 1]}, index=pd.Index(["x", "y"], name="site"))
    result = talvo.hydraulics("saxton-rawls", soils, psd="usda")
    assert list(result.index) == ["x", "y"] and result.index.name == "site"
    assert list(result.columns) == [*RESULTS, "flags", "error"]
    loam = talvo.hydraulics("saxton-rawls", 40, 40, 20, om=2.5, psd="usda")
    assert result.loc["x", "fc"] == loam["fc"]
    reversed_clay = pd.Series([15, 20], index=["y", "x"])
    aligned = talvo.hydraulics("saxton-rawls", soils["sand"], soils["silt"], reversed_clay,
                               om=soils["om_r"], psd="usda")
    assert aligned.loc["x", "fc"] == loam["fc"]
    layers = pd.Series(["sub", "top"], index=["y", "x"])
    layers = talvo.hydraulics("hypres", soils, bd=1.4, topsoil=layers)
    top = talvo.hydraulics("hypres", 40, 40, 20, om=2.5, bd=1.4, topsoil=True)
    assert layers.loc["x", "ks"] == top["ks"]


def test_arrays_broadcast():
    result = talvo.hydraulics("hypres", np.full((2, 1), 40.0), 40, np.array([[20.0, 25.0, 30.0]]),
                              om=2, bd=1.4, topsoil=[True, False, True], psd="usda")
    for name in RESULTS:
        assert result[name].shape == (2, 3)
    assert result["theta_s"][0, 0] == result["theta_s"][1, 0]
    assert (result["error"] == 0).all()


def test_a_dataset_gives_cf_units():
    xarray = pytest.importorskip("xarray")
    soils = xarray.Dataset({"sand": ("x", [0.4, 0.3]), "silt": ("x", [0.4, 0.4]),
                            "clay": ("x", [0.2, 0.3]), "om": ("x", [2.5, 2.0])})
    soils["sand"].attrs["units"] = soils["silt"].attrs["units"] = "1"
    soils["clay"].attrs["units"] = "1"
    result = talvo.hydraulics("saxton-rawls", soils, psd="usda")
    assert result["ks"].attrs["units"] == "cm day-1"
    assert result["alpha"].attrs["units"] == "cm-1"
    assert result["fc"].attrs["units"] == "%"
    assert result["error"].attrs["flag_values"] == [0, *talvo.ERRORS]
    loam = talvo.hydraulics("saxton-rawls", 40, 40, 20, om=2.5, psd="usda")
    assert float(result["fc"][0]) == loam["fc"]


# Soils with spreads, as a table holds them: a density-adjusted one, an empty spread, a text
# spread, a negative one, one that fails outright and one too sandy to draw around.
SPREAD_SOILS = """id,sand,silt,clay,om,bd,topsoil,sand_sd,om_sd
dense,40,40,20,2.5,1.4,1,2,0.5
loose,60,25,15,1,1.2,0,1.5,0.2
silty,10,60,30,1,1.3,sub,1,0.3
empty,52.3,23.3,24.4,3,1.45,1,,0.4
text,33,33,34,1.7,1.5,0,x,0.2
negative,70,10,20,2,1.55,1,1,-1
failed,n.d.,40,20,2,1.4,1,2,0.5
edge,99.5,0.3,0.2,0.1,1.6,1,5,0.1
"""


def _written(value):
    """The double of the 15-digit text talvo-batch --precision general writes, NaN for none."""
    return float(f"{value:.15g}") if np.isfinite(value) else NAN


# model, psd, sd as hydraulics takes it, as --sd takes it, keywords, batch's own options.
SPREAD_CASES = [
    ("saxton-rawls", "usda", {"sand": 2, "clay": 2}, "sand=2,clay=2", {}, []),
    ("hypres", "usda", {"sand": "sand_sd", "oc": "om_sd"}, "sand=sand_sd,oc=om_sd",
     {"draws": 1200, "seed": 7}, ["--draws", "1200", "--seed", "7"]),
    ("saxton-rawls", "international", {"silt": 1.5, "oc": "om_sd"}, "silt=1.5,oc=om_sd",
     {"fc_head": 100}, ["--fc-head", "100"]),
    ("hypres", "international", {"clay": 1, "sand": "sand_sd"}, "clay=1,sand=sand_sd", {}, []),
]


@pytest.mark.parametrize("model, psd, sd, option, keywords, options", SPREAD_CASES)
def test_percentiles_are_talvo_batch(batch_hydraulics, model, psd, sd, option, keywords,
                                     options):
    rows = batch_hydraulics(SPREAD_SOILS, ["--hydraulics", model, "--psd", psd, "--sd", option,
                                           *options])
    frame = pd.read_csv(io.StringIO(SPREAD_SOILS), dtype=str, keep_default_na=False)
    frame.index = [f"s{i}" for i in range(len(frame), 0, -1)]  # labels out of order, kept
    ours = talvo.hydraulics(model, frame, psd=psd, sd=sd, **keywords)
    assert list(ours.index) == list(frame.index)
    assert list(ours.columns) == [*RESULTS, "flags", *talvo.HYDRAULIC_SPREADS, "error"]
    for name in talvo.HYDRAULIC_SPREADS:
        unit = talvo.HYDRAULIC_UNITS[name.rsplit("_p", 1)[0]]
        expected = [float(row[f"{name} ({unit})"] or NAN) for row in rows]
        written = [_written(value) for value in ours[name]]
        np.testing.assert_array_equal(written, expected, err_msg=name)
    drawn = sum(bool(row["fc_p05 (% v/v)"]) for row in rows)
    assert 3 <= drawn < len(rows)  # some percentiles, and some cells without them


@pytest.mark.parametrize("keywords, error, words", [
    ({"sd": {"sand": 1, "silt": 1, "clay": 1}}, ValueError, "give at most two"),
    ({"sd": {"om": 1}}, ValueError, "'om': give sand, silt, clay or oc"),
    ({"sd": {"sand": -1}}, ValueError, "of 0 or more"),
    ({"sd": {"sand": "sand_sd"}}, ValueError, "needs a DataFrame"),
    ({"sd": [1, 2]}, TypeError, "must be a dict"),
    ({"sd": {"sand": 1}, "draws": 999}, ValueError, "from 1000 to 1000000"),
    ({"seed": 2}, TypeError, "go with sd"),
])
def test_refuses_spreads_as_estimate_does(keywords, error, words):
    with pytest.raises(error, match=words):
        talvo.hydraulics("saxton-rawls", 40, 40, 20, om=2, **keywords)
    with pytest.raises(error, match=words):
        talvo.estimate(0, 40, clay=20, **keywords)


def test_a_cell_draws_alike_alone_and_among_others():
    sand, clay = np.array([40.0, 20, 60]), np.array([20.0, 40, 10])
    together = talvo.hydraulics("saxton-rawls", sand, 100 - sand - clay, clay, om=2, psd="usda",
                                sd={"sand": np.full(3, 2.0), "clay": 2}, seed=3)
    for i in range(3):
        alone = talvo.hydraulics("saxton-rawls", sand[i], 100 - sand[i] - clay[i], clay[i],
                                 om=2, psd="usda", sd={"sand": 2, "clay": 2.0}, seed=3)
        for name in talvo.HYDRAULIC_SPREADS:
            assert alone[name] == together[name][i]
    assert (together["ks_p05"] < together["ks_p50"]).all()
    assert (together["ks_p50"] < together["ks_p95"]).all()


def test_a_density_that_is_no_number_leaves_no_percentiles():
    result = talvo.hydraulics("saxton-rawls", 40, 40, 20, om=2, bd=["x", 1.4], psd="usda",
                              sd={"sand": 2})
    assert list(result["error"]) == [talvo._talvo.TYPE_MISMATCH, 0]
    assert np.isnan(result["fc_p50"][0]) and not np.isnan(result["fc_p50"][1])


def test_a_dataset_gains_the_percentiles_with_units():
    """Spreads move with their variables' units: 0.02 of a fraction is 2 %."""
    xarray = pytest.importorskip("xarray")
    soils = xarray.Dataset({"sand": ("x", [0.4, 0.3]), "silt": ("x", [0.4, 0.4]),
                            "clay": ("x", [0.2, 0.3]), "om": ("x", [2.5, 2.0])})
    for name in ("sand", "silt", "clay"):
        soils[name].attrs["units"] = "1"
    result = talvo.hydraulics("saxton-rawls", soils, psd="usda", sd={"sand": 0.02, "oc": 0.5})
    plain = talvo.hydraulics("saxton-rawls", [40, 30], [40, 40], [20, 30], om=[2.5, 2.0],
                             psd="usda", sd={"sand": 2, "oc": 0.5})
    for name in talvo.HYDRAULIC_SPREADS:
        base = name.rsplit("_p", 1)[0]
        assert result[name].attrs["units"] == result[base].attrs["units"]
        np.testing.assert_array_equal(result[name].values, plain[name])
    assert result["ks_p95"].attrs["long_name"] == \
        "95th percentile of the saturated hydraulic conductivity over soils drawn around the cell"
