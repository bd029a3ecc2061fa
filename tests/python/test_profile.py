"""talvo.profile against talvo-batch's reckoning by hand: the same sums from a DataFrame."""
import os
import subprocess

import numpy as np
import pandas as pd
import pytest

import talvo


def _range(model, sand, clay):
    fc, pwp = (talvo.estimate(model, sand=sand, silt=100 - sand - clay, clay=clay, oc=1.0,
                              precision="general")[name] for name in ("fc", "pwp"))
    return float(fc - pwp)


def test_sums_by_hand():
    # Two profiles interleaved, one upside down, a gap, stones, a w/w model without bd.
    horizons = pd.DataFrame({
        "id": ["B", "A", "B", "A"],
        "top": [50, 30, 0, 0], "bottom": [100, 60, 40, 30],
        "sand": [40, 40, 40, 20], "silt": [40, 40, 40, 35], "clay": [20, 20, 20, 45],
        "oc": [1.0] * 4, "bd": [1.4, np.nan, 1.4, 1.3], "cf": [20, None, 0, 0],
    })
    result = talvo.profile(horizons, 0, root_depth=50, depletion=0.4)
    loam, clay = _range(0, 40, 20), _range(0, 20, 45)
    assert list(result.index) == ["B", "A"] and result.index.name == "profile"
    b, a = result.loc["B"], result.loc["A"]
    assert b["flags"] == "gap" and a["flags"] == ""
    assert b.depth_cm == 100 and a.depth_cm == 60
    np.testing.assert_allclose(b.taw_0_30, loam * 1.4 * 3, rtol=1e-12)
    np.testing.assert_allclose(b.taw_0_100, loam * 1.4 * (4 + 0.8 * 5), rtol=1e-12)
    np.testing.assert_allclose(b.taw_root, loam * 1.4 * 4, rtol=1e-12)
    np.testing.assert_allclose(a.taw_root, clay * 1.3 * 3 + loam * 1.49 * 2, rtol=1e-12)
    np.testing.assert_allclose(a.raw_root, 0.4 * a.taw_root, rtol=1e-12)
    assert (result.root_depth == 50).all()


def test_dict_stones_by_weight_and_missing():
    horizons = {"profile": np.array(["P", "P", "P"]), "top": [0, 30, 60],
                "bottom": [30, 60, 50], "sand": [40, 40, 40], "clay": [20, np.nan, 20],
                "bd": [1.4, 1.4, 1.4], "cf": [30, 0, 0]}
    result = talvo.profile(horizons, "Singh, 2000", cf_by="weight")
    alpha = 1.4 / 2.65
    stones = alpha * 0.3 / (1 - 0.3 * (1 - alpha))
    fc_pwp = talvo.estimate(4, sand=40, clay=20, precision="general")
    np.testing.assert_allclose(result.loc["P"].taw_root,
                               (fc_pwp["fc"] - fc_pwp["pwp"]) * (1 - stones) * 3, rtol=1e-12)
    assert result.loc["P", "flags"] == "depth;missing"


@pytest.mark.parametrize("arguments, message", [
    ({"root_depth": 0}, "root_depth"), ({"root_depth": 10001}, "at most 10000"),
    ({"root_depth": float("nan")}, "root_depth"), ({"depletion": 1.5}, "depletion"),
    ({"cf_by": "mass"}, "cf_by"),
])
def test_refused(arguments, message):
    with pytest.raises(ValueError, match=message):
        talvo.profile({"profile": ["P"], "top": [0], "bottom": [10], "sand": [40],
                       "clay": [20]}, 0, **arguments)


def test_columns_found_by_their_real_names():
    """SSURGO's names, organic matter read as OC = OM / 1.724, and the horizons' columns in any
    case, as evaluate() and talvo-batch find them."""
    horizons = {"ID": ["P", "P"], "Top": [0, 30], "bottom ": [30, 60], "sandtotal_r": [40, 30],
                "Silt (%)": [40, 40], "CLAYTOTAL_R": [20, 30], "om_r": [8.62, 3.448]}
    with pytest.warns(UserWarning, match="organic matter"):
        result = talvo.profile(horizons, 1)
    as_carbon = {"id": ["P", "P"], "top": [0, 30], "bottom": [30, 60], "sand": [40, 30],
                 "silt": [40, 40], "clay": [20, 30], "oc": [8.62 / 1.724, 3.448 / 1.724]}
    pd.testing.assert_frame_equal(result, talvo.profile(as_carbon, 1))
    with pytest.raises(ValueError, match="more than one column named top: 'top', 'TOP'"):
        talvo.profile({**as_carbon, "TOP": [0, 30]}, 1)


def test_fc_above_porosity_flags_its_profile():
    # Rawls et al., 1982 by hand: sand 10, clay 60, OC 10 give FC ((25.76 - 2) + 21.6) +
    # 51.7868 = 97.1468 % v/v, above the pores of bd 1.61, (1 - 1.61/2.65) 100 = 39.25 %;
    # sand 40, clay 20, OC 5 give 50.8534, below the 50.94 % of bd 1.30. Without bd nothing
    # is known of the pores.
    horizons = {"profile": ["wet", "dry", "none"], "top": [0, 0, 0], "bottom": [20, 20, 20],
                "sand": [10, 40, 40], "silt": [30, 40, 40], "clay": [60, 20, 20],
                "oc": [10, 5, 5], "bd": [1.61, 1.30, np.nan]}
    result = talvo.profile(horizons, 2)
    assert list(result["flags"]) == ["porosity", "", ""]


@pytest.mark.parametrize("column, value, message", [
    ("dul", 32, "dul 32 .*looks like % by volume"), ("dul", -0.1, r"cm3/cm3, 0 to 1\)"),
    ("theta_fc", 0.3, "theta_fc 0.3 .*looks like cm3/cm3"),
    ("theta_fc", 120, "0 to 100"), ("theta_fc", 5, "below its measured PWP"),
])
def test_measured_unit_slips_refused(column, value, message):
    horizons = {"profile": ["P"], "top": [0], "bottom": [10], "sand": [40], "clay": [20],
                "ll15": [0.1], column: [value]}
    with pytest.raises(ValueError, match=message):
        talvo.profile(horizons, 0)


def test_measured_water_as_batch_sums_it(tmp_path):
    """The same horizon table through talvo-batch --profiles --summary: the same sums, from
    dul and ll15, PWP alone measured, FC alone, and neither."""
    table = ("profile,top,bottom,sand,silt,clay,oc,bd,cf,dul,ll15,theta_fc\n"
             "A,0,25,40,40,20,1,1.3,10,0.31,0.11,\n"
             "A,25,60,30,40,30,1,,,,0.15,\n"
             "A,60,90,30,40,30,1,1.5,,,,33.5\n"
             "B,0,40,60,30,10,0.5,,,0.2,0.07,\n"
             "B,40,70,60,30,10,0.5,,,,,\n")
    (tmp_path / "h.csv").write_text(table)
    summary = tmp_path / "s.csv"
    done = subprocess.run([os.environ["TALVO_BATCH"], "--model", "0", "--profiles",
                           "--precision", "general", "--root-depth", "70", "--depletion", "0.45",
                           "--summary", str(summary), str(tmp_path / "h.csv")],
                          capture_output=True, text=True, check=False)
    assert done.returncode == 0, done.stderr
    batch = pd.read_csv(summary, index_col="profile")
    result = talvo.profile(pd.read_csv(tmp_path / "h.csv"), 0, root_depth=70, depletion=0.45)
    columns = ["depth_cm", "taw_0_30", "taw_0_100", "taw_root", "raw_root"]
    np.testing.assert_allclose(result[columns].to_numpy(), batch[columns].to_numpy(),
                               rtol=1e-14)
    assert list(result["flags"]) == ["measured", "measured"]
