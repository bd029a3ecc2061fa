import pytest

import talvo

# Texts as typed: blanks, exponents, halves, failures.
SOILS = [
    ("40", "40", "20", "5"),
    (" 52.5 ", "30", "17.5", "12.25"),
    ("1e1", "4.5E1", "45", "0.5"),
    ("33.333", "33.333", "33.334", "200"),
    ("40", "", "twenty", "5"),
    ("40", "40", "20", "0"),
    ("1e308", "0", "1e308", "5"),
    ("-0", "-12", "112", "-3"),
    ("1e400", "1", "1", "1"),
    ("", "", "", ""),
]


def test_the_window_shows_two_decimals():
    texts = talvo.estimate_texts(2, sand="40", clay="20", oc="5")
    assert (texts["fc"], texts["pwp"], texts["awc"]) == ("50.85", "26.28", "36.86")
    assert texts["general"] == {"fc": "50.8534", "pwp": "26.2828", "awc": "36.8559"}
    assert texts["failure"] is None


@pytest.mark.parametrize("model, soil, captions, failure", [
    (1, ("40", "", "twenty", "5"), (None, None, None), "Type mismatch: clay"),
    # FC was written with 15 digits before PWP divided by OC; the others keep what they had.
    (1, ("40", "", "20", "0"), ("23.35323", None, None), "Division by zero: oc"),
    (0, ("40", "", "1e400", ""), (None, None, None), "Overflow: clay"),
    (3, ("", "", "", ""), (None, None, None), "Type mismatch: silt"),
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


def test_a_separator_that_cannot_be_one_is_refused():
    with pytest.raises(ValueError):
        talvo.estimate_texts(0, sand="40", clay="20", decimal="e")


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


def number(text):
    try:
        return float(text)
    except ValueError:
        return float("nan")


@pytest.mark.parametrize("model", range(7))
def test_numbers_are_the_texts_read_back(model):
    for soil in SOILS:
        texts = talvo.estimate_texts(model, *soil)
        numbers = [number(text) for text in soil]
        results = talvo.estimate(model, *numbers)
        if texts["failure"] is None:
            assert [results[name] for name in ("fc", "pwp", "awc")] == \
                [float(texts[name]) for name in ("fc", "pwp", "awc")]
        else:
            assert talvo.ERRORS[int(results["error"])] == texts["failure"].split(":")[0]
