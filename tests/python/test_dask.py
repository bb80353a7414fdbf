"""brelt.dask on a real two-process cluster, on files whose quoted fields
hold line breaks (which Dask's own reader, splitting at line breaks, cuts
apart): exactly read_csv's rows, and a dataframe of the fixed types."""

import doctest
import pathlib

import pytest

dask = pytest.importorskip(
    "dask", reason="Dask is installed from Debian (python3-dask) for the system Python only")
distributed = pytest.importorskip("distributed", reason="python3-distributed: system Python only")
pandas = pytest.importorskip("pandas")

import brelt  # noqa: E402
import brelt.dask  # noqa: E402

BLOCK = 65536
DOCS = pathlib.Path(__file__).resolve().parents[2] / "docs" / "partitions.md"


def test_the_documented_examples_run(tmp_path, monkeypatch):
    monkeypatch.chdir(tmp_path)
    text = DOCS.read_text()
    namespace = {}
    for example in doctest.DocTestParser().get_examples(text):
        exec(example.source, namespace)
    exec(text.split("```python\n")[1].split("```")[0], namespace)


@pytest.fixture(scope="module")
def client():
    with distributed.LocalCluster(n_workers=2, threads_per_worker=1, processes=True,
                                  dashboard_address=None) as cluster:
        with distributed.Client(cluster) as client:
            yield client


@pytest.fixture(scope="module")
def quoted_file(tmp_path_factory):
    directory = tmp_path_factory.mktemp("dask")
    rows = "".join(f'{k},"note {k}\nsecond line, with a comma",{k / 4},{k % 3 == 0}\n'
                   for k in range(12_000))
    path = directory / "quoted.csv"
    path.write_text("id,note,share,flag\n" + rows)
    return str(path)


def test_the_bag_is_read_csv(client, quoted_file):
    bag = brelt.dask.read_csv(quoted_file, blocksize=BLOCK)
    assert bag.npartitions > 8
    expected = brelt.read_csv(quoted_file)
    assert bag.compute() == expected
    assert bag.count().compute() == len(expected)



def test_the_dataframe_has_the_fixed_types_over_many_files(client, quoted_file, tmp_path):
    paths = []
    for k in range(3):
        path = tmp_path / f"part{k}.csv"
        path.write_text("id,note,share,flag\n" + f'{k},"a\nb",,true\n{k},,1.5,\n{k},c,2,false\n')
        paths.append(path)
    frame = brelt.dask.to_dataframe(str(tmp_path / "part*.csv"), blocksize=16)
    assert dict(frame.dtypes.astype(str)) == {
        "id": "Int64", "note": "object", "share": "float64", "flag": "boolean"}
    computed = frame.compute()
    assert computed["id"].tolist() == [0, 0, 0, 1, 1, 1, 2, 2, 2]
    assert computed["note"].tolist()[:3] == ["a\nb", None, "c"]
    assert computed["flag"].tolist()[:3] == [True, pandas.NA, False]
    with pytest.raises(FileNotFoundError):
        brelt.dask.read_csv(str(tmp_path / "none*.csv"))
