"""Scores against measurements: talvo-batch --metrics and talvo.evaluate against numpy
computing them independently from the engine's 15-digit estimates."""

import os
import subprocess
import warnings

import numpy as np
import pandas as pd
import pytest

import talvo

MASK = (1 << 64) - 1


def splitmix64(seed):
    """The bootstrap's generator, written out again."""
    state = seed

    def next_value():
        nonlocal state
        state = (state + 0x9E3779B97F4A7C15) & MASK
        z = state
        z = ((z ^ (z >> 30)) * 0xBF58476D1CE4E5B9) & MASK
        z = ((z ^ (z >> 27)) * 0x94D049BB133111EB) & MASK
        return z ^ (z >> 31)

    def below(bound):
        product = (next_value() >> 32) * bound
        low = product & 0xFFFFFFFF
        if low < bound:
            threshold = ((1 << 32) - bound) % bound
            while low < threshold:
                product = (next_value() >> 32) * bound
                low = product & 0xFFFFFFFF
        return product >> 32

    return below


@pytest.fixture(scope="module")
def table():
    """Soils with noisy measured FC and PWP, some rows unmeasured or failing, a bd column."""
    random = np.random.default_rng(5)
    count = 400
    sand = np.round(random.uniform(10, 70, count), 1)
    clay = np.round(random.uniform(5, 40, count), 1)
    frame = pd.DataFrame({"sand": sand, "silt": np.round(100 - sand - clay, 1), "clay": clay,
                          "oc": np.round(random.uniform(2, 30, count), 1),
                          "FC_lab": np.round(random.normal(30, 6, count), 2),
                          "PWP_lab": np.round(random.normal(15, 4, count), 2),
                          "BD": np.round(random.uniform(1.1, 1.7, count), 2)})
    frame.loc[3, "FC_lab"] = np.nan
    frame.loc[8, "clay"] = np.nan
    frame.loc[9, "BD"] = np.nan
    return frame


def numpy_scores(frame, model, quantity, measured_column):
    estimated = talvo.estimate(model.position, frame.sand, frame.silt, frame.clay,
                               frame.oc if "oc" in model.inputs else None,
                               precision="general")[quantity]
    if model.unit == "% w/w":
        estimated = estimated * frame.BD.fillna(1.49).to_numpy()
    measured = frame[measured_column].to_numpy()
    keep = np.isfinite(measured) & np.isfinite(estimated)
    e, m = estimated[keep], measured[keep]
    d = e - m
    return {"n": keep.sum(), "me": d.mean(), "mae": np.abs(d).mean(),
            "rmse": np.sqrt((d ** 2).mean()), "r2": np.corrcoef(e, m)[0, 1] ** 2,
            "nse": 1 - (d ** 2).sum() / ((m - m.mean()) ** 2).sum()}, e, m, keep


def run_batch(frame, tmp_path, *extra):
    path = tmp_path / "soils.csv"
    frame.to_csv(path, index=False)
    metrics = tmp_path / "metrics.csv"
    done = subprocess.run([os.environ["TALVO_BATCH"], "--model", "all", "--measured",
                           "fc=FC_lab,pwp=PWP_lab,bd=BD", "--metrics", str(metrics), *extra,
                           str(path)], capture_output=True, text=True, check=False)
    assert done.returncode == 0, done.stderr
    return pd.read_csv(metrics)


def test_batch_scores_match_numpy(table, tmp_path):
    metrics = run_batch(table, tmp_path)
    assert list(metrics.columns) == list(talvo.METRICS_COLUMNS)
    assert len(metrics) == 14
    for model in talvo.models():
        for quantity, column in (("fc", "FC_lab"), ("pwp", "PWP_lab")):
            expected, _, _, _ = numpy_scores(table, model, quantity, column)
            row = metrics[(metrics.model == model.list_text) & (metrics.quantity == quantity)]
            assert len(row) == 1
            row = row.iloc[0]
            assert row.unit == "% v/v"
            assert row.n == expected["n"]
            for score in ("me", "mae", "rmse", "r2", "nse"):
                assert row[score] == pytest.approx(expected[score], rel=1e-12, abs=1e-12), \
                    (model.list_text, quantity, score)
            assert row.me_low <= row.me <= row.me_high
            assert row.rmse_low <= row.rmse <= row.rmse_high


def test_intervals_are_percentiles_of_row_resamples(table, tmp_path):
    """Up to 10,000 rows the bootstrap resamples rows: redone here with numpy."""
    metrics = run_batch(table, tmp_path)
    model = talvo.models()[2]
    _, e, m, keep = numpy_scores(table, model, "fc", "FC_lab")
    # The library draws for every row of the table, measured or not, in row order.
    rows = len(table)
    kept = np.flatnonzero(keep)
    below = splitmix64(20260101)
    me, rmse = [], []
    for _ in range(1000):
        counts = np.zeros(rows)
        for _ in range(rows):
            counts[below(rows)] += 1
        weights = counts[kept]
        d = e - m
        me.append((weights * d).sum() / weights.sum())
        rmse.append(np.sqrt((weights * d * d).sum() / weights.sum()))
    row = metrics[(metrics.model == model.list_text) & (metrics.quantity == "fc")].iloc[0]
    assert row.me_low == pytest.approx(np.percentile(me, 2.5), rel=1e-10)
    assert row.me_high == pytest.approx(np.percentile(me, 97.5), rel=1e-10)
    assert row.rmse_low == pytest.approx(np.percentile(rmse, 2.5), rel=1e-10)
    assert row.rmse_high == pytest.approx(np.percentile(rmse, 97.5), rel=1e-10)


@pytest.mark.parametrize("psd", ["international", "usda"])
def test_python_evaluate_is_the_metrics_file(table, tmp_path, psd):
    metrics = run_batch(table, tmp_path, "--psd", psd)
    frame = talvo.evaluate(table, measured={"fc": "FC_lab", "pwp": "PWP_lab"}, models="all",
                           bd="BD", psd=psd)
    assert list(frame.columns) == list(talvo.METRICS_COLUMNS)
    pd.testing.assert_frame_equal(frame, metrics, check_dtype=False, rtol=1e-14)


@pytest.mark.parametrize("models", [2, np.int64(2), "rawls", [2]])
def test_python_evaluate_takes_one_model_as_estimate_does(table, models):
    frame = talvo.evaluate(table, measured={"fc": "FC_lab"}, models=models)
    assert frame.model.tolist() == ["Rawls et al., 1982"]


def test_python_evaluate_refuses_what_it_cannot_score(table):
    with pytest.raises(ValueError, match="psd"):
        talvo.evaluate(table, measured={"fc": "FC_lab"}, psd="fao")
    with pytest.raises(ValueError, match="measured_unit"):
        talvo.evaluate(table, measured={"fc": "FC_lab"}, measured_unit="mm")
    with pytest.raises(ValueError, match="fc, pwp or awc"):
        talvo.evaluate(table, measured={"theta": "FC_lab"})
    with pytest.raises(KeyError, match="FC_field"):
        talvo.evaluate(table, measured={"fc": "FC_field"})
    with pytest.raises(TypeError, match="bool"):
        talvo.evaluate(table, measured={"fc": "FC_lab"}, models=True)


# Headers as real tables spell them; om_r holds the table's oc numbers as organic matter.
REAL_NAMES = {"sand": "sandtotal_r", "silt": "Silt (%)", "clay": "clay_pct", "oc": "om_r"}


def test_columns_found_as_talvo_batch_finds_them(table, tmp_path):
    renamed = table.rename(columns=REAL_NAMES)
    metrics = run_batch(renamed, tmp_path)
    note = r'organic matter in column "om_r" read as organic carbon = OM / 1\.724'
    with pytest.warns(UserWarning, match=note):
        frame = talvo.evaluate(renamed, measured={"fc": "FC_lab", "pwp": "PWP_lab"}, bd="BD")
    pd.testing.assert_frame_equal(frame, metrics, check_dtype=False, rtol=1e-14)
    as_carbon = table.assign(oc=table["oc"] / 1.724)
    pd.testing.assert_frame_equal(
        frame, talvo.evaluate(as_carbon, measured={"fc": "FC_lab", "pwp": "PWP_lab"}, bd="BD"))


def test_ambiguous_columns_are_refused_and_exact_names_win(table):
    looser = table.rename(columns={"sand": "Sand (%)"}).assign(sand_pct=table["sand"])
    with pytest.raises(ValueError, match=r'columns "Sand \(%\)" \(column 1\) and "sand_pct" '
                                         r'\(column 8\) could each be sand'):
        talvo.evaluate(looser, measured={"fc": "FC_lab"})
    exact = table.assign(sand_pct=table["sand"] / 100)
    pd.testing.assert_frame_equal(talvo.evaluate(exact, measured={"fc": "FC_lab"}, models=[0]),
                                  talvo.evaluate(table, measured={"fc": "FC_lab"}, models=[0]))


def test_python_evaluate_warns_of_fractions_once():
    # Singh, 2000 by hand: sand 40, clay 20 give FC 37.58 and PWP 10.97; sand 60, clay 10
    # give 27.58 and 6.67. Measured 1 % v/v apart, given in cm3/cm3.
    soils = pd.DataFrame({"sand": [40, 60], "silt": [40, 30], "clay": [20, 10],
                          "FC": [0.3658, 0.2658], "PWP": [0.0997, 0.0567]})
    measured = {"fc": "FC", "pwp": "PWP"}
    with pytest.warns(UserWarning, match='fraction') as caught:
        talvo.evaluate(soils, measured, models=[4])
    assert len(caught) == 1
    with warnings.catch_warnings():
        warnings.simplefilter("error")
        frame = talvo.evaluate(soils, measured, models=[4], measured_unit="fraction")
    assert list(frame.unit) == ["% v/v", "% v/v"]
    np.testing.assert_allclose(frame.me, [1.0, 1.0], rtol=1e-9)
    with pytest.warns(UserWarning, match='measured_unit="v/v"'):
        talvo.evaluate(soils.assign(FC=[36.58, 26.58], PWP=[9.97, 5.67]), measured, models=[4],
                       measured_unit="fraction")
