"""The options every front end shares, the same cases through each: the Python module, and
talvo-batch and talvo-map as a user runs them. tests/base runs them through the page's parsers."""
import os
import pathlib
import subprocess

import numpy as np
import pandas as pd
import pytest

import talvo

_CASES = pathlib.Path(__file__).resolve().parent.parent / "base" / "option_cases.txt"


def _cases():
    for line in _CASES.read_text(encoding="utf-8").splitlines():
        if line and not line.startswith("#"):
            option, text, expected = line.split("\t")
            yield option, text, expected


CASES = list(_cases())
_SOILS = {"sand": [40.0], "silt": [40.0], "clay": [20.0], "oc": [1.0]}
_HORIZONS = pd.DataFrame({"profile": ["A"], "top": [0], "bottom": [30], **_SOILS})
_MEASURED = pd.DataFrame({**_SOILS, "FC": [30.0]})


def _number(text):
    try:
        return float(text)
    except ValueError:
        return None  # a keyword takes a number, never its text


# Each option as a keyword of the package's own functions.
_CALLS = {
    "precision": lambda v: talvo.estimate(0, **_SOILS, precision=v),
    "psd": lambda v: talvo.estimate(0, **_SOILS, psd=v),
    "oc-unit": lambda v: talvo.estimate("rawls", **_SOILS, oc_unit=v),
    "cf-by": lambda v: talvo.profile(_HORIZONS, 0, cf_by=v),
    "root-depth": lambda v: talvo.profile(_HORIZONS, 0, root_depth=v),
    "depletion": lambda v: talvo.profile(_HORIZONS, 0, depletion=v),
    "measured-unit": lambda v: talvo.evaluate(_MEASURED, {"fc": "FC"}, 0, measured_unit=v),
}


@pytest.mark.filterwarnings("ignore::UserWarning")
@pytest.mark.parametrize("option,text,expected", CASES)
def test_the_module_reads_and_refuses_as_the_tools_do(option, text, expected):
    value = _number(text) if option in ("root-depth", "depletion") else text
    if value is None:
        return
    keyword = option.replace("-", "_")
    if expected.startswith("= "):
        _CALLS[option](value)
        return
    with pytest.raises(ValueError) as refused:
        _CALLS[option](value)
    message = str(refused.value)
    assert message.startswith(f"{keyword} '") and message.endswith(f"': {expected}"), message
    if isinstance(value, str):
        assert message == f"{keyword} '{text}': {expected}"


# The options each tool takes, and what it needs beside one for it to be read; --list-models
# ends the run once the options are read.
_TOOLS = {
    "TALVO_BATCH": (set(_CALLS), lambda option: ["--profiles", "--measured", "fc=FC"]),
    "TALVO_MAP": ({"precision", "psd", "oc-unit", "cf-by", "root-depth"},
                  lambda option: ["--depths", "0-5"] if option in ("cf-by", "root-depth") else []),
}


def _run(tool, arguments):
    return subprocess.run([os.environ[tool], "--list-models", *arguments],
                          capture_output=True, text=True, check=False)


@pytest.mark.parametrize("tool", sorted(_TOOLS))
def test_the_tools_read_and_refuse_alike(tool):
    if not os.environ.get(tool):
        pytest.skip(f"{tool} not built")
    options, needs = _TOOLS[tool]
    name = pathlib.Path(os.environ[tool]).name
    # talvo-map loads GDAL at every start: it runs one refusal an option, talvo-batch them all.
    every = tool == "TALVO_BATCH"
    refused = set()
    for option, text, expected in CASES:
        if option not in options or expected.startswith("= "):
            continue
        if every or option not in refused:
            refused.add(option)
            done = _run(tool, [*needs(option), f"--{option}", text])
            assert (done.returncode, done.stderr) == (
                2, f"{name}: --{option} '{text}': {expected}\n"), (option, text)
    # The values read, options that need the same others together: a run for each place.
    groups = {}
    for option in sorted(options):
        groups.setdefault(tuple(needs(option)), []).append(option)
    for need, group in groups.items():
        taken = [[(option, text) for option, text, expected in CASES
                  if option == each and expected.startswith("= ")] for each in group]
        for values in zip(*taken) if every else [next(zip(*taken))]:
            arguments = [*need]
            for option, text in values:
                arguments += [f"--{option}", text]
            done = _run(tool, arguments)
            assert done.returncode == 0, (arguments, done.stderr)


def test_a_name_in_any_case_reads_as_itself():
    lower = talvo.estimate(3, **_SOILS, psd="usda", precision="general")
    upper = talvo.estimate(3, **_SOILS, psd="USDA", precision="General")
    assert all(np.array_equal(lower[key], upper[key]) for key in lower)
