"""Shared fixtures, and how many examples the property tests try: the profile
named by BRELT_HYPOTHESIS (default "quick", what `make test` runs) caps every
property test's examples, its own @settings included; "thorough" runs each
with the examples its own settings ask for."""

import os

import pytest
from hypothesis import HealthCheck, settings

# The generated files are large on purpose, and the sanitized run is slow:
# examples that overrun hypothesis's buffer are dropped, not a failure.
LENIENT = dict(deadline=None,
               suppress_health_check=[HealthCheck.too_slow, HealthCheck.data_too_large])
settings.register_profile("quick", max_examples=60, **LENIENT)
settings.register_profile("smoke", max_examples=15, **LENIENT)  # the sanitized run
settings.register_profile("thorough", **LENIENT)
PROFILE = os.environ.get("BRELT_HYPOTHESIS", "quick")
settings.load_profile(PROFILE)


def pytest_collection_modifyitems(items):
    if PROFILE == "thorough":
        return
    cap = settings.default.max_examples
    for item in items:
        test = getattr(item, "obj", None)
        test = getattr(test, "__func__", test)  # a test method's function
        # Where @given keeps the settings it runs with (read at each call).
        own = getattr(test, "_hypothesis_internal_use_settings", None)
        if own is not None and own.max_examples > cap:
            test._hypothesis_internal_use_settings = settings(own, max_examples=cap)


@pytest.fixture
def write_file(tmp_path):
    """Writes bytes (or UTF-8 text) to a new file and returns its path as str."""
    counter = 0

    def write(contents, name=None):
        nonlocal counter
        counter += 1
        path = tmp_path / (name or f"input{counter}.csv")
        path.write_bytes(contents.encode() if isinstance(contents, str) else contents)
        return str(path)

    return write
