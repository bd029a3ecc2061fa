import os
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
    (lambda: talvo.estimate("rawls et al., 1982", sand=40, clay=20, oc=5), ValueError),
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
