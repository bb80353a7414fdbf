"""The exception the csv-compatible layer raises for CSV it cannot accept."""


class Error(ValueError):
    """Malformed CSV under ``strict``, or a dialect that cannot be honoured.

    A ValueError, so code that catches the ValueError of the core reader
    keeps working; code written for the csv module catches it as
    ``brelt.Error``.
    """
