"""Random arrays through talvo.estimate and through talvo-batch: the same numbers, cell for cell."""

import numpy as np
import pytest

import talvo

CELLS = 10_000
RESULTS = ("fc", "pwp", "awc")


def random_soils(seed):
    """Contents with up to three decimals (halves of hundredths included), full doubles,
    values outside 0..100 and empty cells."""
    rng = np.random.default_rng(seed)
    columns = {}
    for name, high in [("sand", 100), ("silt", 100), ("clay", 100), ("oc", 60)]:
        values = rng.uniform(-5, high + 5, CELLS)
        decimals = rng.integers(0, 5, CELLS)  # 4: keep every digit
        for places in range(4):
            values[decimals == places] = np.round(values[decimals == places], places)
        values[rng.random(CELLS) < 0.01] = np.nan
        columns[name] = values
    columns["oc"][rng.random(CELLS) < 0.01] = 0.0  # division by zero where a model divides
    return columns


def whole_percent_soils(seed):
    """A soil map: few soils, each repeated many times, in random order."""
    rng = np.random.default_rng(seed)
    return {name: rng.choice([-40.0, -0.0, 0.0, 40.0, 120.5, np.nan], CELLS)
            for name in ("sand", "silt", "clay", "oc")}


def as_text(value):
    return "" if np.isnan(value) else "%.17g" % value


@pytest.mark.parametrize("model", range(7))
@pytest.mark.parametrize("precision", ["fixed", "general"])
@pytest.mark.parametrize("soils_of", [random_soils, whole_percent_soils])
def test_cells_agree_with_talvo_batch(batch, model, precision, soils_of):
    soils = soils_of(seed=model)
    rows = batch(model, [{name: as_text(soils[name][i]) for name in soils}
                         for i in range(CELLS)], precision)
    assert len(rows) == CELLS
    results = talvo.estimate(model, **soils, precision=precision)
    for name in RESULTS:
        expected = np.array([float(row[name]) if row[name] else np.nan for row in rows])
        np.testing.assert_array_equal(results[name], expected)
    # Every flag, the calibration domain among them, as the tool's flags column codes it.
    expected_flags = [sum(talvo.FLAGS[code] for code in row["flags"].split(";") if code)
                      for row in rows]
    assert results["flags"].tolist() == expected_flags
    failed = np.array([row["error"] != "" for row in rows])
    np.testing.assert_array_equal(results["error"] != 0, failed)
    kinds = {text: code for code, text in talvo.ERRORS.items()}
    expected_codes = [kinds[row["error"].split(":")[0]] if row["error"] else 0 for row in rows]
    assert results["error"].tolist() == expected_codes
