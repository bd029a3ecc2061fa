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
    (1, ("40", "", "twenty", "5"), (None, None, None), "Type mismatch: clay"),
    # FC was written with 15 digits before PWP divided by OC; the others keep what they had.
    (1, ("40", "", "20", "0"), ("23.35323", None, None), "Division by zero: oc"),
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
