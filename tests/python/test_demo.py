"""The tour behind `make demo` runs on the sample: the reader streams it as the
csv module reads it, and both writers give it back."""

import pathlib

from brelt import demo

SAMPLE = pathlib.Path(__file__).resolve().parents[2] / "examples" / "airports.csv"


def test_demo_writes_the_sample_back_identically(capsys):
    assert demo.main([str(SAMPLE)]) == 0
    output = capsys.readouterr().out
    assert "PyReader:  3,377 rows streamed, two fields each identical" in output
    assert "PyWriter:  3,377 records written, read back identical" in output
    assert "write_csv: 3,376 dicts written, read back identical" in output
