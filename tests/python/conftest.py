import pytest


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
