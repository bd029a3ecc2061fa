"""The array loops run without the GIL: other Python threads go on meanwhile, and Ctrl+C stops
them."""

import contextlib
import signal
import threading
import time

import numpy as np
import pytest

import talvo

CELLS = 1_000_000


def test_python_threads_run_during_an_estimate():
    # Holding the GIL, the loop would stop this thread for the whole call. The longest pause
    # between its steps is compared with the call; scheduling on a busy machine makes pauses
    # of milliseconds, not of half a call.
    rng = np.random.default_rng(3)
    sand, clay = rng.uniform(0, 100, CELLS), rng.uniform(0, 100, CELLS)
    timing = {}

    def call():
        start = time.perf_counter()
        talvo.estimate(0, sand=sand, clay=clay, threads=1)
        timing["call"] = time.perf_counter() - start

    worker = threading.Thread(target=call)
    longest = 0.0
    steps = 0
    last = time.perf_counter()
    worker.start()
    while worker.is_alive():
        now = time.perf_counter()
        longest = max(longest, now - last)
        last = now
        steps += 1
    worker.join()
    print(f"call {timing['call']:.3f} s, {steps} steps beside it, longest pause {longest:.4f} s")
    assert steps > 100
    assert longest < timing["call"] / 2


SIGNAL_AFTER = 0.3


def sized(make, seconds=4.0, most=25_000_000):
    """make(cells) -> a call; the call made big enough to take `seconds` here if not stopped."""
    sample = 100_000
    call = make(sample)
    start = time.perf_counter()
    call()
    per_cell = (time.perf_counter() - start) / sample
    return make(min(most, int(seconds / per_cell)))


def unrepeated(cells):
    return np.random.default_rng(5).uniform(0, 100, cells)  # no soil repeats: no shortcuts


def estimating(sand, **options):
    return lambda: talvo.estimate(0, sand=sand, clay=20, **options)


def widening(cells):
    # Through estimate, the estimate after it would take most of the call.
    numbers = unrepeated(cells).astype(np.float32)
    return lambda: talvo._talvo.widen_float32(numbers)


def judging_units(cells):
    # estimate's look at the contents' unit, as long as the estimate on many cells.
    sand, silt, clay = unrepeated(cells), np.array([np.nan]), np.array([20.0])
    return lambda: talvo._talvo.content_unit(sand, silt, clay)


def shifting(cells):
    numbers = unrepeated(cells)
    return lambda: talvo._talvo.shift_decimal(numbers, 2)


# The loops that run without the GIL: make(cells) -> a call over `cells` cells, inputs made.
LONG_CALLS = {
    "contents' unit judged": judging_units,
    "contents shifted to percent": shifting,
    "15 digits, one thread":
        lambda cells: estimating(unrepeated(cells), precision="general", threads=1),
    "15 digits, two threads":
        lambda cells: estimating(unrepeated(cells), precision="general", threads=2),
    "float32 widened": widening,
    "texts read": lambda cells: estimating(unrepeated(cells).astype("U9"), threads=1),
}


@contextlib.contextmanager
def ctrl_c_after(seconds):
    """A signal after `seconds`, handled as Python handles Ctrl+C: KeyboardInterrupt."""
    previous = signal.signal(signal.SIGALRM, signal.default_int_handler)
    signal.setitimer(signal.ITIMER_REAL, seconds)
    try:
        yield
    finally:
        signal.setitimer(signal.ITIMER_REAL, 0)
        signal.signal(signal.SIGALRM, previous)


@pytest.mark.parametrize("name", LONG_CALLS)
def test_ctrl_c_stops_a_long_call(name):
    call = sized(LONG_CALLS[name])
    finished = False
    start = time.perf_counter()
    with pytest.raises(KeyboardInterrupt):
        with ctrl_c_after(SIGNAL_AFTER):
            call()
            finished = True
            time.sleep(10)  # the signal ends this, had the call ended before it
    stopped = time.perf_counter() - start
    print(f"{name}: stopped {stopped - SIGNAL_AFTER:.3f} s after the signal")
    assert not finished
    # Generous: the call stops within a tenth of a second, but other work shares the machine.
    assert stopped < SIGNAL_AFTER + 1.0
    assert talvo.estimate(0, sand=[40, 40], clay=20)["fc"].tolist() == [23.38, 23.38]
