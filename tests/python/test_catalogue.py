import numpy as np
import pytest

import talvo


def test_models_match_the_batch_tools_listing(batch):
    # Every list text runs under talvo-batch as a model name.
    for model in talvo.models():
        rows = batch(model.list_text, [{"sand": "40", "silt": "40", "clay": "20", "oc": "5"}])
        assert rows[0]["model"] == model.list_text


@pytest.mark.parametrize("position, list_text, inputs, unit", [
    (0, "TALVO PTF model (PSD)", ("sand", "clay"), "% w/w"),
    (1, "TALVO PTF model (PSD + OC)", ("sand", "clay", "oc"), "% w/w"),
    (2, "Rawls et al., 1982", ("sand", "clay", "oc"), "% v/v"),
    (3, "Tomasella and Hodnett, 1998", ("silt", "clay"), "% v/v"),
    (6, "Chakraborty et al., 2011", ("sand", "silt", "clay"), "% w/w"),
])
def test_catalogue_rows(position, list_text, inputs, unit):
    assert talvo.models()[position] == (position, list_text, inputs, unit)
    assert talvo.units(list_text) == {"fc": unit, "pwp": unit, "awc": "mm"}


def test_seven_models_in_list_order():
    assert [model.position for model in talvo.models()] == list(range(7))


@pytest.mark.parametrize("model, error", [
    (7, ValueError),
    (-1, ValueError),
    ("Rawls 1982", ValueError),
    ("rawls et al., 1982", ValueError),
    (True, TypeError),
    (2.0, TypeError),
])
def test_unknown_models_are_refused(model, error):
    with pytest.raises(error):
        talvo.estimate(model, sand=40, silt=40, clay=20, oc=5)


def test_a_model_by_list_text_or_numpy_position_is_the_same_model():
    by_text = talvo.estimate("Rawls et al., 1982", sand=40, clay=20, oc=5)
    by_position = talvo.estimate(np.int64(2), sand=40, clay=20, oc=5)
    assert by_text["fc"] == by_position["fc"] == 50.85


def test_tables_of_codes():
    assert talvo.FLAGS == {"sum": 1, "range": 2, "oc": 4, "fc<=pwp": 8, "result": 16}
    assert talvo.ERRORS == {1: "Type mismatch", 2: "Division by zero", 3: "Overflow"}
    assert len(talvo.TEXTURE_CLASSES) == 12
    assert talvo.TEXTURE_CLASSES[talvo.estimate(0, sand=96, silt=3, clay=1)["texture"]] == "sand"
    assert talvo.estimate(0, sand=80, silt=10, clay=5)["texture"] == -1
