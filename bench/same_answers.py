"""The Python module's answers over the tables in FOLDER, written to the current folder as text,
so that bench/same_answers.sh can compare two builds byte for byte: estimate for every model
in both precisions and both particle-size scales (tables, numbers, texts, float32 and NaN
cells), estimate_texts, profile and evaluate. A call that raises writes its message instead.
Usage: PYTHONPATH=BUILD/src/python/package same_answers.py FOLDER"""

import sys
import warnings
from pathlib import Path

import numpy as np
import pandas as pd

import talvo

SOIL_TABLES = ["docs-soils.csv", "soils.csv", "docs-lab.csv", "generated.csv", "usda.csv",
               "failures.csv", "ssurgo.csv", "oc_units.csv", "quoting.csv"]
HORIZON_TABLES = ["docs-horizons.csv", "horizons_messy.csv", "horizons_generated.csv"]


def write(name, call):
    """The result of call, or the exception's type and message, and any warning, in name."""
    with open(name, "w", encoding="utf-8") as out, warnings.catch_warnings(record=True) as seen:
        warnings.simplefilter("always")
        try:
            result = call()
        except Exception as error:  # the message is an answer too
            out.write(f"{type(error).__name__}: {error}\n")
            result = None
        for warning in seen:
            out.write(f"warning: {warning.message}\n")
        if isinstance(result, pd.DataFrame):
            # repr: the shortest text that reads back to the same bits
            result.to_csv(out, float_format="%r")
        elif isinstance(result, dict):
            for key, values in result.items():
                values = np.asarray(values)
                out.write(f"{key} {values.dtype} {values.shape}\n")
                out.write(" ".join(repr(v) for v in values.ravel().tolist()) + "\n")
        elif result is not None:
            out.write(f"{result!r}\n")


def texts(path):
    """A table's cells as the texts they are, empty ones empty."""
    return pd.read_csv(path, dtype=str, keep_default_na=False)


def arrays():
    """Cells as a map gives them: two decimals, whole numbers, float32, NaN and out of range."""
    rng = np.random.default_rng(41)
    sand = np.round(rng.uniform(-1, 101, 50000), 2)
    clay = np.round(rng.uniform(0, 1, 50000) * (100 - sand), 1)
    silt = 100 - sand - clay
    oc = np.round(rng.uniform(0, 80, 50000), 1)
    sand[::997] = np.nan
    oc[::101] = 0
    return {"sand": sand, "silt": silt, "clay": clay, "oc": oc}


def main():
    folder = Path(sys.argv[1])
    cells = arrays()
    for model in range(len(talvo.models())):
        for precision in ("fixed", "general"):
            for psd in ("international", "usda"):
                tag = f"{model}-{precision}-{psd}"
                for table in SOIL_TABLES:
                    write(f"{table}-{tag}", lambda t=table: talvo.estimate(
                        model, texts(folder / t), precision=precision, psd=psd))
                write(f"arrays-{tag}", lambda: talvo.estimate(
                    model, **cells, precision=precision, psd=psd))
                write(f"float32-{tag}", lambda: talvo.estimate(
                    model, **{k: v.astype(np.float32) for k, v in cells.items()},
                    precision=precision, psd=psd, threads=1))
        write(f"texts-{model}", lambda: [talvo.estimate_texts(model, s, t, c, o, decimal=",")
                                         for s, t, c, o in (("40", "40", "20", "5"),
                                                            ("40,5", "", "20", "NA"),
                                                            ("1e3", "0", "-1", "0"))])
        for table in HORIZON_TABLES:
            horizons = pd.read_csv(folder / table)
            write(f"profile-{table}-{model}", lambda h=horizons: talvo.profile(h, model))
            write(f"profile-{table}-{model}-weight", lambda h=horizons: talvo.profile(
                h, model, root_depth=80, depletion=0.4, cf_by="weight"))
    for psd in ("international", "usda"):
        lab = pd.read_csv(folder / "docs-lab.csv")
        write(f"evaluate-lab-{psd}", lambda: talvo.evaluate(
            lab, {"fc": "FC_lab", "pwp": "PWP_lab"}, bd="BD", psd=psd))
    write("evaluate-generated", lambda: talvo.evaluate(
        texts(folder / "generated.csv"), {"fc": "FC_lab", "pwp": "PWP_lab"}, measured_unit="w/w"))


if __name__ == "__main__":
    main()
