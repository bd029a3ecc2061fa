"""talvo.xarray.estimate on a two-worker local Dask cluster against the in-memory call."""

import sys
import time

import distributed
import numpy as np
import xarray

import talvo.xarray


def soils(cells, chunks):
    rows = 1000
    rng = np.random.default_rng(2026)
    sand = np.round(rng.uniform(0, 100, (rows, cells // rows)), 2)
    clay = np.round(rng.uniform(0, 100, sand.shape) * (100 - sand) / 100, 2)
    dataset = xarray.Dataset({"sand": (("y", "x"), sand), "clay": (("y", "x"), clay)},
                             coords={"y": np.arange(rows), "x": np.arange(sand.shape[1])})
    return dataset if chunks is None else dataset.chunk(chunks)


def timed(call):
    start = time.perf_counter()
    result = call()
    return time.perf_counter() - start, result


def main():
    cells = int(sys.argv[1]) if len(sys.argv) > 1 else 10_000_000
    chunks = {"y": 250, "x": 2500}
    in_memory_data = soils(cells, None)
    seconds, expected = timed(lambda: talvo.xarray.estimate(in_memory_data, 0))
    print(f"{cells:,} cells, model 0: in memory, one call on all cores: {seconds:.3f} s")

    seconds, local = timed(lambda: talvo.xarray.estimate(soils(cells, chunks), 0).compute())
    print(f"Dask threads, no cluster, chunks of {chunks}: {seconds:.3f} s")
    xarray.testing.assert_identical(local, expected)

    for processes in (False, True):
        with distributed.LocalCluster(n_workers=2, threads_per_worker=1, processes=processes,
                                      protocol="tcp://", host="127.0.0.1",
                                      dashboard_address=None) as cluster, \
                distributed.Client(cluster) as client:
            lazy = soils(cells, chunks)
            seconds, _ = timed(lambda: distributed.wait(client.persist(lazy)))
            print(f"cluster, 2 workers, processes={processes}: inputs to the workers "
                  f"{seconds:.3f} s")
            inputs = client.persist(lazy)
            distributed.wait(inputs)
            results = talvo.xarray.estimate(inputs, 0)
            seconds, kept = timed(lambda: distributed.wait(client.persist(results)))
            print(f"  estimate, results left on the workers: {seconds:.3f} s")
            seconds, gathered = timed(lambda: client.compute(results).result())
            print(f"  estimate and results gathered to the client: {seconds:.3f} s")
            xarray.testing.assert_identical(gathered, expected)
            del kept


if __name__ == "__main__":
    main()
