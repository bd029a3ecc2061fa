import os
import pydoc
import re
import subprocess

import numpy as np
import pytest

import talvo


def test_the_catalogue_is_the_one_talvo_batch_lists():
    listed = subprocess.run([os.environ["TALVO_BATCH"], "--list-models"], capture_output=True,
                            text=True, check=True).stdout.splitlines()[1:]
    assert len(listed) == len(talvo.models())
    for line, (position, list_text, inputs, unit) in zip(listed, talvo.models()):
        fields = re.split(r"\s{2,}", line.strip())
        assert fields[:4] == [str(position), list_text, ", ".join(inputs), f"({unit})"]
        assert talvo.units(list_text) == {"fc": unit, "pwp": unit, "awc": "mm"}


@pytest.mark.parametrize("call, error", [
    (lambda: talvo.estimate(7, sand=40, clay=20), ValueError),
    (lambda: talvo.estimate(-1, sand=40, clay=20), ValueError),
    (lambda: talvo.estimate("Rawls 1982", sand=40, clay=20, oc=5), ValueError),
    (lambda: talvo.estimate(True, sand=40, clay=20), TypeError),
    (lambda: talvo.estimate(2.0, sand=40, clay=20, oc=5), TypeError),
    (lambda: talvo.estimate(0, sand=np.zeros(3), clay=np.zeros(4)), ValueError),
    (lambda: talvo.estimate(0, sand=40, clay=20, precision="exact"), ValueError),
    (lambda: talvo.estimate_texts(0, sand="40", clay="20", decimal="e"), ValueError),
    (lambda: talvo.estimate(0, sand="40", clay=20, decimal="e"), ValueError),
    (lambda: talvo.estimate(0, sand=40, clay=20, decimal=".."), ValueError),
    (lambda: talvo.estimate(0, sand=40, clay=20, decimal=b"."), TypeError),
])
def test_what_cannot_be_estimated_is_refused(call, error):
    # Unknown models, shapes that do not broadcast, a precision or a separator that is none.
    with pytest.raises(error):
        call()


SEPARATED = {
    "estimate": lambda d: talvo.estimate(0, sand=f"40{d}5", clay="20", decimal=d),
    "estimate, numbers only": lambda d: talvo.estimate(0, sand=40.5, clay=20, decimal=d),
    "estimate_texts": lambda d: talvo.estimate_texts(0, sand=f"40{d}5", clay="20", decimal=d),
    "evaluate": lambda d: talvo.evaluate({"sand": [f"40{d}5"] * 3, "clay": ["20"] * 3,
                                          "fc": ["30"] * 3}, {"fc": "fc"}, 0, decimal=d),
}


@pytest.mark.parametrize("decimal", [";", "x", "e", " ", ""])
@pytest.mark.parametrize("call", SEPARATED)
def test_the_decimal_separator_is_a_point_or_a_comma_as_in_talvo_batch(call, decimal):
    # Another character would read "40x5" as 40.5 where a table could never hold it.
    with pytest.raises(ValueError, match=f"^decimal '{decimal}': give . or ,$"):
        SEPARATED[call](decimal)


@pytest.mark.parametrize("name, position", [
    ("raw", 2), ("RAWLS ET AL., 1982", 2), ("Rawls et al., 1982", 2), ("2", 2),
    ("tomas", 3), ("SIN", 4), ("ad", 5), ("ch", 6),
    ("talvo ptf model (psd)", 0),  # whole, though also the beginning of the next
    ("TALVO PTF model (PSD +", 1),
])
def test_a_model_is_named_as_talvo_batch_names_it(batch, name, position):
    soil = {"sand": "40", "silt": "30", "clay": "20", "oc": "5"}
    row = batch(name, [soil], "general")[0]
    assert row["model"] == talvo.models()[position].list_text
    results = talvo.estimate(name, **{key: float(text) for key, text in soil.items()},
                             precision="general")
    assert results["fc"] == float(row["fc"]) == talvo.estimate(position, **soil,
                                                               precision="general")["fc"]


@pytest.mark.parametrize("name, message", [
    ("t", "'t' names the beginning of TALVO PTF model (PSD), TALVO PTF model (PSD + OC), "
          "Tomasella and Hodnett, 1998: give more of the name, or the position"),
    ("TALVO PTF model (PSD", "'TALVO PTF model (PSD' names the beginning of TALVO PTF model "
                             "(PSD), TALVO PTF model (PSD + OC): give more of the name, or the "
                             "position"),
    ("Rawls 1982", "unknown model 'Rawls 1982': give a position 0 to 6 or a name, or its "
                   "beginning, as --list-models shows it"),
    ("", "unknown model '': give a position 0 to 6 or a name, or its beginning, as "
         "--list-models shows it"),
    ("\ud800", "unknown model '\\ud800': give a position 0 to 6 or a name, or its beginning, "
               "as --list-models shows it"),
])
def test_an_unknown_or_ambiguous_name_is_refused_in_the_tools_words(name, message):
    for call in (lambda: talvo.estimate(name, sand=40, clay=20, oc=5), lambda: talvo.units(name),
                 lambda: talvo.estimate_texts(name, "40", "", "20", "5")):
        with pytest.raises(ValueError) as refused:
            call()
        assert str(refused.value) == message
    if "beginning of" in message:  # talvo-batch words an unknown one for its lists of models
        done = subprocess.run([os.environ["TALVO_BATCH"], "--model", name], input="sand\n",
                              capture_output=True, text=True, check=False)
        assert done.returncode == 2 and message in done.stderr


def test_every_public_function_is_exported_and_documented_with_its_units():
    public = {name for name, value in vars(talvo).items()
              if callable(value) and not name.startswith("_")
              and getattr(value, "__module__", None) == "talvo"}
    assert public <= set(talvo.__all__)
    shown = pydoc.render_doc(talvo, renderer=pydoc.plaintext)
    for name in public:
        assert f"{name}(" in shown, name
        assert re.search(r"%|\bmm\b|\bcm\b", talvo.__dict__[name].__doc__), name


def test_a_model_by_list_text_or_numpy_position_is_the_same_model():
    by_text = talvo.estimate("Rawls et al., 1982", sand=40, clay=20, oc=5)
    by_position = talvo.estimate(np.int64(2), sand=40, clay=20, oc=5)
    assert by_text["fc"] == by_position["fc"] == 50.85


def test_texture_classes():
    assert len(talvo.TEXTURE_CLASSES) == 14  # both triangles' classes
    assert talvo.TEXTURE_TRIANGLES["international"] == tuple(range(12))
    assert talvo.TEXTURE_CLASSES[talvo.estimate(0, sand=96, silt=3, clay=1)["texture"]] == "sand"
    assert talvo.estimate(0, sand=80, silt=10, clay=5)["texture"] == talvo.NO_TEXTURE


def test_the_version_is_talvo_batchs():
    shown = subprocess.run([os.environ["TALVO_BATCH"], "--version"], capture_output=True,
                           text=True, check=True).stdout.split()
    assert shown == ["talvo-batch", talvo.__version__]
