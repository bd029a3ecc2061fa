"""talvo.estimate(sd=...) against talvo-batch --sd: the same percentiles, bit for bit."""

import math

import numpy as np
import pandas as pd
import pytest

import talvo

# Soils as texts, as a table holds them; the last two fail (no sand, and sand beyond 100).
SOILS = {
    "sand": ["52.3", "10", "85.5", "33.3", "40", "0.5", "70", "", "120"],
    "silt": ["23.3", "60", "4.5", "33.3", "40", "49.5", "10", "30", "0"],
    "clay": ["24.4", "30", "10", "33.4", "20", "50", "20", "30", "0"],
    "oc": ["10", "2.5", "0.4", "17", "5", "30", "12", "8", "1"],
}
SD_COLUMNS = {"sand_sd": ["2", "1.5", "0", "3", "2", "", "1", "2", "2"],
              "clay_sd": ["1", "1", "2", "0.5", "1", "1", "-1", "1", "1"]}


def number(text):
    return float(text) if text else math.nan


def same(actual, text):
    """A percentile is the double of batch's text, or NaN where batch wrote none."""
    expected = number(text)
    return math.isnan(actual) if math.isnan(expected) else actual == expected


# model, sd as estimate takes it, as --sd takes it, estimate's other keywords, batch's options.
CASES = [
    (0, {"sand": 2, "clay": 2}, "sand=2,clay=2", {}, []),
    ("Rawls", {"sand": 3, "oc": 1}, "sand=3,oc=1",
     {"oc_unit": "g/kg", "draws": 1500, "seed": 7, "precision": "general"},
     ["--oc-unit", "g/kg", "--draws", "1500", "--seed", "7"]),
    (1, {"sand": "sand_sd", "clay": "clay_sd"}, "sand=sand_sd,clay=clay_sd",
     {"psd": "usda"}, ["--psd", "usda"]),
]


@pytest.mark.parametrize("model, sd, option, keywords, options", CASES)
def test_percentiles_are_talvo_batch(batch, model, sd, option, keywords, options):
    position = talvo._model(model).position
    columns = {**SOILS, **SD_COLUMNS}
    rows = [dict(zip(columns, cells)) for cells in zip(*columns.values())]
    precision = keywords.get("precision", "fixed")
    expected = batch(position, rows, precision, ["--sd", option, *options])
    # Labels out of order, which the results keep.
    table = pd.DataFrame(columns, index=[f"p{i}" for i in range(len(rows), 0, -1)])
    results = talvo.estimate(position, table, sd=sd, **keywords)
    assert list(results.index) == list(table.index)
    assert list(results.columns)[5:14] == list(talvo.SPREADS)
    for i, row in enumerate(expected):
        for name in talvo.SPREADS:
            assert same(results[name].iloc[i], row[name]), (i, name, row[name])
    drawn = sum(bool(row["fc_p05"]) for row in expected)
    assert 3 <= drawn < len(rows)  # some percentiles, and some cells without them


def test_arrays_and_numbers_take_spreads_alike():
    """A spread of one number, or an array of it, for every cell; draws start from the seed
    whatever the other cells, so a cell alone gives what it gives among others."""
    sand, clay = np.array([40.0, 20, 60]), np.array([20.0, 40, 10])
    together = talvo.estimate(0, sand, clay=clay, sd={"sand": np.full(3, 2.0), "clay": 2},
                              seed=3)
    for i in range(3):
        alone = talvo.estimate(0, sand[i], clay=clay[i], sd={"sand": 2, "clay": 2.0}, seed=3)
        for name in talvo.SPREADS:
            assert alone[name] == together[name][i]
    assert together["fc_p05"][0] < together["fc_p50"][0] < together["fc_p95"][0]


@pytest.mark.parametrize("keywords, error, words", [
    ({"sd": {"sand": 1, "silt": 1, "clay": 1}}, ValueError, "give at most two"),
    ({"sd": {"om": 1}}, ValueError, "'om': give sand, silt, clay or oc"),
    ({"sd": {"sand": -1}}, ValueError, "of 0 or more"),
    ({"sd": {"sand": math.inf}}, ValueError, "of 0 or more"),
    ({"sd": {"sand": "sand_sd"}}, ValueError, "needs a DataFrame"),
    ({"sd": [1, 2]}, TypeError, "must be a dict"),
    ({"sd": {"sand": 1}, "draws": 999}, ValueError, "from 1000 to 1000000"),
    ({"seed": 2}, TypeError, "go with sd"),
])
def test_refuses_what_it_cannot_draw(keywords, error, words):
    with pytest.raises(error, match=words):
        talvo.estimate(0, 40, clay=20, **keywords)


def test_xarray_gains_the_percentiles_with_units():
    xarray = pytest.importorskip("xarray")
    import talvo.xarray

    dataset = xarray.Dataset({"sand": ("x", [400.0, 200]), "clay": ("x", [200.0, 400])})
    for name in ("sand", "clay"):
        dataset[name].attrs["units"] = "g/kg"
    result = talvo.xarray.estimate(dataset, 0, sd={"sand": 20, "clay": 20})
    plain = talvo.estimate(0, [40, 20], clay=[20, 40], sd={"sand": 2, "clay": 2})
    for name in talvo.SPREADS:
        assert result[name].attrs["units"] == result[name.split("_p")[0]].attrs["units"]
        np.testing.assert_array_equal(result[name].values, plain[name])
    assert result["fc_p05"].attrs["long_name"].startswith("5th percentile of the water")


def test_organic_matter_and_its_spread_are_read_as_carbon(batch):
    """A table's om column is OC x 1.724, and so is a spread given for oc, as in talvo-batch."""
    columns = {"sand": ["40", "20", "65"], "clay": ["20", "40", "10"], "om": ["3", "1.5", "6"],
               "om_sd": ["0.5", "0.2", "1"]}
    rows = [dict(zip(columns, cells)) for cells in zip(*columns.values())]
    for sd, option in (({"oc": 1}, "oc=1"), ({"oc": "om_sd"}, "oc=om_sd")):
        expected = batch(2, rows, "general", ["--sd", option])
        with pytest.warns(UserWarning, match="organic matter"):
            results = talvo.estimate(2, pd.DataFrame(columns), sd=sd, precision="general")
        for i, row in enumerate(expected):
            assert row["pwp_p05"]  # Rawls et al., 1982 reads OC
            for name in talvo.SPREADS:
                assert same(results[name].iloc[i], row[name]), (sd, i, name)
