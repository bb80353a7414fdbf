"""The tour behind `make demo` runs on the sample: every step agrees with the
csv module, and the table shows each one."""

import pathlib

from brelt import demo

SAMPLE = pathlib.Path(__file__).resolve().parents[2] / "examples" / "airports.csv"


def test_the_tour_agrees_with_the_csv_module(capsys):
    assert demo.main([str(SAMPLE), "--runs", "1"]) == 0
    lines = capsys.readouterr().out.splitlines()
    rows = {line[:24].strip(): line for line in lines[2:]}
    assert rows["sniff the delimiter"].endswith("',', csv module ','")
    assert "3,376 dicts, columns str str str str str float float" in rows["read_csv, typed dicts"]
    assert rows["reader, stream rows"].endswith("3,377 rows, identical")
    assert rows["writer, write rows"].endswith("text identical")
    assert rows["DictReader, read back"].endswith("both files identical")
    assert rows["read_csv, gzip file"].endswith("identical to the plain file's")
    assert rows["iter_csv, batches"].endswith("4 batches of up to 1,000, rows identical to "
                                              "read_csv's")
    assert len(rows) == 8 and all("x  " in line for line in rows.values())
