"""The array loop runs without the GIL: other Python threads go on meanwhile."""

import threading
import time

import numpy as np

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
