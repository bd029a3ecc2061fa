"""talvo.xarray.estimate on a Dask cluster of two local workers against the in-memory call."""

import distributed
import numpy as np
import pytest
import xarray

import talvo
import talvo.xarray


def soils():
    rng = np.random.default_rng(11)
    shape = (60, 80)
    sand = np.round(rng.uniform(0, 100, shape), 1)
    clay = np.round(rng.uniform(0, 100 - sand), 1)
    sand[5, 7] = np.nan
    coords = {"y": np.linspace(50, 51, shape[0]), "x": np.linspace(8, 9, shape[1]),
              "band_name": "soil"}
    return xarray.Dataset(
        {"sand": (("y", "x"), sand, {"units": "%"}),
         "silt": (("y", "x"), np.round(100 - sand - clay, 1), {"units": "%"}),
         "clay": (("y", "x"), clay, {"units": "%"}),
         "oc": (("y", "x"), np.round(rng.uniform(0, 30, shape), 2), {"units": "g/kg"})},
        coords=coords, attrs={"title": "test soils"})


@pytest.fixture(scope="module")
def client():
    # Threads in this process, talking TCP on the loopback only.
    with distributed.LocalCluster(n_workers=2, threads_per_worker=1, processes=False,
                                  protocol="tcp://", host="127.0.0.1",
                                  dashboard_address=None) as cluster, \
            distributed.Client(cluster) as connected:
        yield connected


@pytest.mark.parametrize("model", [0, "Rawls et al., 1982", 5])
def test_chunks_on_the_cluster_give_the_in_memory_result(client, model):
    dataset = soils()
    in_memory = talvo.xarray.estimate(dataset, model)
    lazy = talvo.xarray.estimate(dataset.chunk({"y": 25, "x": 30}), model)
    assert lazy["fc"].chunks is not None
    computed = client.compute(lazy).result()
    xarray.testing.assert_identical(computed, in_memory)
    direct = talvo.estimate(model, **{name: dataset[name].values
                                      for name in ("sand", "silt", "clay", "oc")},
                            oc_unit=dataset["oc"].attrs["units"])
    for name in ("fc", "pwp", "awc", "flags", "texture", "error"):
        np.testing.assert_array_equal(computed[name].values, direct[name])


def test_coordinates_attributes_and_units_are_kept():
    results = talvo.xarray.estimate(soils(), "Rawls et al., 1982")
    assert results.attrs["title"] == "test soils"
    assert results.attrs["talvo_model"] == "Rawls et al., 1982"
    assert results["fc"].dims == ("y", "x")
    assert set(results.coords) == {"y", "x", "band_name"}
    assert (results["fc"].attrs["units"], results["pwp"].attrs["units"],
            results["awc"].attrs["units"]) == ("% v/v", "% v/v", "mm")
    assert talvo.xarray.estimate(soils(), 0)["fc"].attrs["units"] == "% w/w"
    assert results["error"].values[5, 7] == 1
    assert results["flags"].attrs["flag_masks"] == [1, 2, 4, 8, 16, 32, 64, 128, 256, 512]


def test_a_variable_the_model_reads_must_be_there():
    with pytest.raises(ValueError, match="no oc"):
        talvo.xarray.estimate(soils().drop_vars("oc"), 2)
    # One it does not read may be missing.
    assert talvo.xarray.estimate(soils().drop_vars(["oc", "silt"]), 0)["fc"].shape == (60, 80)


@pytest.mark.parametrize("chunks", [None, {"x": 1}])
def test_variables_of_texts_are_read_with_the_separator_given(chunks):
    dataset = xarray.Dataset({"sand": ("x", np.array(["40,5", "40.5", "n.d."])),
                              "clay": ("x", [20.0, 20.0, 20.0])})
    if chunks:
        dataset = dataset.chunk(chunks)
    results = talvo.xarray.estimate(dataset, 0, decimal=",").compute()
    assert results["error"].values.tolist() == [0, 4, 4]  # type mismatches
    assert results["fc"].values[0] == talvo.estimate(0, sand=40.5, clay=20)["fc"]
