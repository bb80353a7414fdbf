"""The exception the csv-compatible layer raises for CSV it cannot accept."""

import csv


class Error(csv.Error, ValueError):
    """What the csv module raises as ``csv.Error``: malformed CSV, a row the
    dialect cannot write, an unknown dialect name, a dialect class whose
    settings are wrong.

    A true subclass of ``csv.Error``, so ``except csv.Error`` catches it in
    code written for the csv module; and of ValueError, which the layer
    raised before and which code may catch.
    """
