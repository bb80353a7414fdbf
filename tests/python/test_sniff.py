"""sniff_delimiter: the guess, decoding before sniffing, and file errors."""

import os
import pathlib
import subprocess
import sys
import textwrap

import pytest

from brelt import _core
from brelt._core import sniff_delimiter


class TestGuess:
    @pytest.mark.parametrize("contents, expected", [
        ("", ","),
        ("\n\r\n\n", ","),
        ("plain words\nno candidates\n", ","),
        ("a;b;c\n1;2;3\n4;5;6\n", ";"),
        ("a\tb\n1\t2\n", "\t"),
        ("a|b|c\n", "|"),
        ("a,b;c\n" * 5, ","),
        ('"x,y";z\n1;2\n3;4\n', ";"),
        ("a\tb\tc\td,\n" "a\tb\tc\td,,,,,\n" * 2, "\t"),
        ("a;b;c\n" * 20 + "a,b,c,d,e,f\n" * 80, ";"),
    ])
    def test_delimiter(self, write_file, contents, expected):
        result = sniff_delimiter(write_file(contents))
        assert result == expected
        assert type(result) is str

    def test_sample_file(self):
        sample = pathlib.Path(__file__).resolve().parents[2] / "examples" / "airports.csv"
        assert sniff_delimiter(str(sample)) == ","


class TestDecodingBeforeSniffing:
    def test_utf16_with_byte_order_mark(self, write_file):
        text = "a;b;ü\n1;2;3\n"
        assert sniff_delimiter(write_file(b"\xff\xfe" + text.encode("utf-16-le"))) == ";"
        assert sniff_delimiter(write_file(b"\xfe\xff" + text.encode("utf-16-be"))) == ";"

    def test_utf8_byte_order_mark(self, write_file):
        assert sniff_delimiter(write_file(b"\xef\xbb\xbfa|b\n1|2\n")) == "|"

    def test_windows_1252_fallback(self, write_file):
        assert sniff_delimiter(write_file("caf\xe9;cr\xe8me\n1;2\n".encode("cp1252"))) == ";"

    @pytest.mark.parametrize("contents, message", [
        (b"\xff\xfea", "Failed to decode UTF-16LE"),
        (b"\xff\xfe\x00\xdc;\x00", "Failed to decode UTF-16LE"),
        (b"\xfe\xff\xd8\x00", "Failed to decode UTF-16BE"),
    ])
    def test_malformed_utf16_is_an_os_error(self, write_file, contents, message):
        with pytest.raises(OSError) as raised:
            sniff_delimiter(write_file(contents))
        assert raised.value.args == (message,)


class TestFileErrors:
    def test_missing_file(self, tmp_path):
        with pytest.raises(OSError) as raised:
            sniff_delimiter(str(tmp_path / "missing.csv"))
        assert raised.value.args == ("No such file or directory (os error 2)",)

    def test_directory(self, tmp_path):
        with pytest.raises(OSError, match=r"^Is a directory \(os error 21\)$"):
            sniff_delimiter(str(tmp_path))

    def test_unreadable_file(self, write_file):
        path = write_file("a,b\n")
        os.chmod(path, 0)
        # Root reads any file, so a root run tries it in a child that has
        # dropped to an unprivileged user after importing the module.
        program = textwrap.dedent(f"""
            import os
            from brelt._core import sniff_delimiter
            if os.geteuid() == 0:
                os.setgid(65534)
                os.setuid(65534)
            try:
                sniff_delimiter({path!r})
            except OSError as error:
                print(repr(error))
        """)
        assert run_child(program, cwd=os.path.dirname(path)) == \
            "OSError('Permission denied (os error 13)')\n"

    def test_nul_byte_in_path(self):
        with pytest.raises(OSError, match="^file name contained an unexpected NUL byte$"):
            sniff_delimiter("a\0b.csv")

    def test_argument_errors(self, write_file):
        with pytest.raises(TypeError, match="missing required argument 'path'"):
            sniff_delimiter()
        with pytest.raises(TypeError, match="unexpected keyword argument 'delimiter'"):
            sniff_delimiter(write_file("a"), delimiter=",")
        assert sniff_delimiter(path=write_file("a;b")) == ";"


def test_lock_is_released_while_the_file_is_opened(tmp_path):
    """sniff_delimiter on a FIFO blocks in open() until a writer comes. The
    writer is the main thread of the same process, so it only gets to run if
    the interpreter lock was released; otherwise the child hangs and is killed."""
    fifo = tmp_path / "pipe.csv"
    os.mkfifo(fifo)
    program = textwrap.dedent(f"""
        import threading
        from brelt._core import sniff_delimiter
        result = []
        worker = threading.Thread(target=lambda: result.append(sniff_delimiter({str(fifo)!r})))
        worker.start()
        with open({str(fifo)!r}, "w") as pipe:
            pipe.write("a|b|c\\n1|2|3\\n")
        worker.join()
        print(result[0])
    """)
    assert run_child(program, cwd=tmp_path) == "|\n"


def run_child(program, cwd):
    """Runs `program` in a new interpreter that imports the same brelt, and
    returns its output; it must succeed within a minute."""
    completed = subprocess.run([sys.executable, "-c", program], capture_output=True, text=True,
                               timeout=60, cwd=cwd,
                               env={**os.environ, "PYTHONPATH": os.pathsep.join(sys.path)})
    assert completed.returncode == 0, completed.stderr
    return completed.stdout
