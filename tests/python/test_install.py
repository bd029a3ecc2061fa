"""cmake --install puts the package where Debian's python3 looks, and it imports from there."""

import os
import pathlib
import site
import subprocess
import sys

import pytest


@pytest.fixture(scope="module")
def installed(tmp_path_factory):
    prefix = tmp_path_factory.mktemp("prefix")
    subprocess.run([os.environ["CMAKE_COMMAND"], "--install", os.environ["TALVO_BUILD_DIR"],
                    "--prefix", str(prefix), "--component", "python3-talvo"],
                   check=True, capture_output=True)
    packages = [path.parent.parent for path in prefix.rglob("talvo/__init__.py")]
    assert len(packages) == 1
    return prefix, packages[0]


def test_the_folder_is_on_debians_path_for_usr_and_usr_local(installed):
    prefix, folder = installed
    relative = folder.relative_to(prefix)
    for system_prefix in ("/usr/local", "/usr"):
        assert str(pathlib.Path(system_prefix) / relative) in site.getsitepackages()


def test_the_installed_package_estimates(installed):
    _, folder = installed
    script = "import talvo; print(talvo.estimate(2, sand=40, clay=20, oc=5)['fc'])"
    done = subprocess.run([sys.executable, "-c", script], capture_output=True, text=True,
                          env={"PYTHONPATH": str(folder), "PATH": os.environ["PATH"]},
                          check=True, cwd=folder.parent)
    assert done.stdout.strip() == "50.85"
