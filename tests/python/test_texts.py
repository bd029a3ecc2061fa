import numpy as np
import pandas as pd
import pytest

import talvo

# Texts as typed: blanks, exponents, halves, failures.
SOILS = [
    ("40", "40", "20", "5"), (" 52.5 ", "30", "17.5", "12.25"), ("1e1", "4.5E1", "45", "0.5"),
    ("33.333", "33.333", "33.334", "200"), ("40", "", "twenty", "5"), ("40", "40", "20", "0"),
    ("1e308", "0", "1e308", "5"), ("-0", "-12", "112", "-3"), ("1e400", "1", "1", "1"),
    ("", "", "", ""),
]


@pytest.mark.parametrize("model, soil, captions, failure", [
    (1, ("40", "", "twenty", "5"), (None, None, None), 'Type mismatch: clay "twenty"'),
    (1, ("40", "", " ", "5"), (None, None, None), "Missing: clay"),
    # FC was written with 15 digits before PWP divided by OC; the others keep what they had.
    (1, ("40", "", "20", "0"), ("23.35323", None, None),
     "Division by zero: oc (this model divides by oc, so oc must not be 0)"),
])
def test_a_failure_leaves_the_captions_written_before_it(model, soil, captions, failure):
    texts = talvo.estimate_texts(model, *soil)
    assert (texts["fc"], texts["pwp"], texts["awc"]) == captions
    assert texts["failure"] == failure


@pytest.mark.parametrize("decimal, sand, fc", [
    (",", "40,5", "23,25"),
    (".", "40.5", "23.25"),
    (".", "40,5", None),
])
def test_decimal_separator(decimal, sand, fc):
    assert talvo.estimate_texts(0, sand=sand, clay="20", decimal=decimal)["fc"] == fc


@pytest.mark.parametrize("model", range(7))
@pytest.mark.parametrize("precision", ["fixed", "general"])
def test_texts_are_the_batch_tools(batch, model, precision):
    rows = batch(model, [dict(zip(("sand", "silt", "clay", "oc"), soil)) for soil in SOILS],
                 precision)
    for soil, row in zip(SOILS, rows):
        texts = talvo.estimate_texts(model, *soil)
        shown = texts if precision == "fixed" else texts["general"]
        assert row["error"] == (texts["failure"] or "")
        if not row["error"]:
            assert (row["fc"], row["pwp"], row["awc"]) == (shown["fc"], shown["pwp"],
                                                           shown["awc"])


# Texts as pasted from elsewhere: numbers in forms the window reads and in forms it does not
# (digit groups, other scripts' digits, a no-break space, hexadecimal, inf and nan).
PASTED = ["40", "40.5", " 40", "40 ", "\t40", "+40", "40.", ".5", "1e1", "4.5E1", "-0", "",
          "1_0", "\u00a040", "\uff14\uff10", "\u0664\u0660", "0x10", "inf", "nan", "Infinity",
          "1e400", "-1e400", "40,5", "4\x000", "twenty"]

# How each container holds a list of texts; numpy's fixed-width ones drop trailing NULs.
CONTAINERS = {
    "str": None,  # one call per text
    "unicode array": lambda texts: np.array(texts),
    "big-endian unicode array": lambda texts: np.array(texts).astype(">U12"),
    "bytes array": lambda texts: np.array([text.encode() for text in texts]),
    "object array": lambda texts: np.array(texts, dtype=object),
    "list": list,
    "pandas object": pd.Series,
    "pandas string": lambda texts: pd.Series(texts, dtype="string"),
    "pandas category": lambda texts: pd.Series(texts, dtype="category"),
    "masked array": lambda texts: np.ma.masked_array(np.array(texts), mask=False),
}


def as_window_reads(texts, decimal, precision):
    """(error codes, fc, pwp, awc) for sand typed as each text and clay as 20, one at a time."""
    kinds = {text: code for code, text in talvo.ERRORS.items()}
    errors, results = [], []
    for text in texts:
        shown = talvo.estimate_texts(0, sand=text, clay="20", decimal=decimal)
        failure = shown["failure"]
        errors.append(kinds[failure.split(":")[0]] if failure else 0)
        numbers = shown if precision == "fixed" else shown["general"]
        results.append([np.nan if failure else float(numbers[name].replace(decimal, "."))
                        for name in ("fc", "pwp", "awc")])
    return errors, np.array(results).T


@pytest.mark.parametrize("container", CONTAINERS)
@pytest.mark.parametrize("decimal, precision", [(".", "fixed"), (",", "general")])
def test_texts_in_arrays_are_read_as_the_window_reads_them(container, decimal, precision):
    errors, (fc, pwp, awc) = as_window_reads(PASTED, decimal, precision)
    make = CONTAINERS[container]
    options = {"precision": precision} | ({} if decimal == "." else {"decimal": decimal})
    if make is None:
        cells = [talvo.estimate(0, sand=text, clay=20, **options) for text in PASTED]
        results = {name: np.array([cell[name] for cell in cells]) for name in cells[0]}
    else:
        results = talvo.estimate(0, sand=make(PASTED), clay=20, **options)
    assert results["error"].tolist() == errors
    for name, expected in [("fc", fc), ("pwp", pwp), ("awc", awc)]:
        np.testing.assert_array_equal(results[name], expected, err_msg=name)


@pytest.mark.parametrize("cells, errors", [
    # A masked cell or a missing one holds no number, whatever text lies under it; a text that
    # holds something else is a type mismatch.
    (np.ma.masked_array(np.array(["40", "40", "x"]), mask=[False, True, True]), [0, 1, 1]),
    (pd.Series(["40", None, "x"], dtype="string"), [0, 1, 4]),
    (pd.Series(["40", None, np.nan, "20", "n.d."]), [0, 1, 1, 0, 4]),
])
def test_missing_texts_hold_no_number(cells, errors):
    assert talvo.estimate(0, sand=cells, clay=20)["error"].tolist() == errors


# Soils that fail for want of a number, in one input or in several: an empty or NA cell is
# "Missing", any other text that holds no number a "Type mismatch", and where both occur the
# input the model stops at decides, as talvo-batch's error column names it.
UNREAD = [
    ("40", "30", "twenty", "5"), ("40", "30", "", "5"), ("NA", "30", "20", "5"),
    ("40", "", "x", "n.d."), ("40", "x", "", "5"), ("", "30", "20", "bad"),
    ("x", "30", "", ""), ("40", " ", "20", "-"), ("40", "30", "20", "0"), ("40", "30", "20", "5"),
]


@pytest.mark.parametrize("model", range(7))
@pytest.mark.parametrize("psd", ["international", "usda"])
def test_error_codes_name_what_talvo_batch_names(batch, model, psd):
    rows = batch(model, [dict(zip(("sand", "silt", "clay", "oc"), soil)) for soil in UNREAD],
                 options=("--psd", psd))
    kinds = {text: code for code, text in talvo.ERRORS.items()}
    expected = [kinds[row["error"].split(":")[0]] if row["error"] else 0 for row in rows]
    columns = {name: np.array(cells, dtype=object)
               for name, cells in zip(("sand", "silt", "clay", "oc"), zip(*UNREAD))}
    assert talvo.estimate(model, **columns, psd=psd)["error"].tolist() == expected
    frame = talvo.estimate(model, pd.DataFrame(columns), psd=psd)
    assert frame["error"].tolist() == expected
