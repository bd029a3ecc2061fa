"""The reference for the tests: the built talvo-batch, which runs the window's own Estimate."""

import csv
import io
import os
import subprocess

import pytest


@pytest.fixture(scope="session")
def batch():
    """run(model, rows, precision="fixed") -> the output rows as dicts; rows are dicts of texts."""
    executable = os.environ.get("TALVO_BATCH")
    if not executable:
        pytest.fail("TALVO_BATCH must name the built talvo-batch (ctest sets it)")

    def run(model, rows, precision="fixed", options=()):
        table = io.StringIO()
        writer = csv.DictWriter(table, list(rows[0]), lineterminator="\n")
        writer.writeheader()
        writer.writerows(rows)
        done = subprocess.run([executable, "--model", str(model), "--precision", precision,
                               *options],
                              input=table.getvalue(), capture_output=True, text=True, check=False)
        assert done.returncode in (0, 1), done.stderr
        return list(csv.DictReader(io.StringIO(done.stdout)))

    return run


@pytest.fixture(scope="session")
def batch_hydraulics():
    """run(table_text, options) -> talvo-batch --hydraulics --precision general's rows as dicts."""
    executable = os.environ.get("TALVO_BATCH")
    if not executable:
        pytest.fail("TALVO_BATCH must name the built talvo-batch (ctest sets it)")

    def run(table, options=()):
        done = subprocess.run([executable, "--precision", "general", *options],
                              input=table, capture_output=True, text=True, check=False)
        assert done.returncode in (0, 1), done.stderr
        return list(csv.DictReader(io.StringIO(done.stdout)))

    return run
