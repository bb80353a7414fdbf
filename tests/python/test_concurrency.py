"""Threads and processes: eight threads reading and writing at once get what
one thread gets; a process forked while other threads use the worker pool
still reads. (read_csv, sniff_delimiter and writerows letting other threads
run while they wait is shown in test_read_csv_parallel.py, test_sniff.py and
test_writer.py.)"""

import io
import os
import subprocess
import sys
import textwrap
import threading

import pytest

from brelt._core import PyReader, PyWriter, read_csv, write_csv

ROWS = 3000  # above the 500 records from which read_csv converts on the pool


def table(seed):
    """A table of mixed types whose every value depends on seed."""
    return [{"id": i * seed, "ratio": (i + seed) / 8, "flag": (i + seed) % 3 == 0,
             "name": f"n{seed}-{i % 97}", "note": "x,y" if i % 5 == seed % 5 else ""}
            for i in range(ROWS)]


def as_lines(rows):
    return [[str(value) for value in row.values()] for row in rows]


def make_jobs(directory):
    """Two jobs of each kind, each on its own data; each returns what it made."""
    jobs = []
    for seed in (1, 2):
        source = os.path.join(directory, f"in{seed}.csv")
        write_csv(source, table(seed), safe=False)

        def read_typed(source=source):
            return read_csv(source)

        text = open(source, newline="").read()

        def stream(text=text):
            reader = PyReader(io.StringIO(text))
            firsts = [reader.snapshot()[0] for _ in reader]
            return firsts, reader.fetch_many_lists()

        lines = as_lines(table(seed + 2))

        def write_rows(lines=lines):
            f = io.StringIO()
            PyWriter(f, quoting=seed % 3).writerows(lines)
            return f.getvalue()

        target = os.path.join(directory, f"out{seed}-{{}}.csv")
        records = table(seed + 4)

        def write_table(target=target, records=records):
            path = target.format(threading.get_ident())
            write_csv(path, records, delimiter=";")
            with open(path, newline="") as f:
                return f.read()

        jobs += [read_typed, stream, write_rows, write_table]
    return jobs


@pytest.fixture
def busy_switching():
    """Switches threads as often as the interpreter allows, so calls interleave."""
    previous = sys.getswitchinterval()
    sys.setswitchinterval(1e-6)
    yield
    sys.setswitchinterval(previous)


def test_eight_threads_get_what_one_thread_gets(tmp_path, busy_switching):
    jobs = make_jobs(str(tmp_path))
    assert len(jobs) == 8
    expected = [job() for job in jobs]
    rounds = 3
    results = [[] for _ in jobs]
    errors = []
    start = threading.Barrier(len(jobs))

    def run(index):
        try:
            start.wait()
            for _ in range(rounds):
                results[index].append(jobs[index]())
        except BaseException as error:  # reported below, not lost in the thread
            errors.append(error)

    threads = [threading.Thread(target=run, args=(i,)) for i in range(len(jobs))]
    for thread in threads:
        thread.start()
    for thread in threads:
        thread.join(timeout=300)
    assert not any(thread.is_alive() for thread in threads)
    assert errors == []
    for index, got in enumerate(results):
        assert got == [expected[index]] * rounds, jobs[index]


def test_threads_sharing_one_reader_take_each_row_once(busy_switching):
    reader = PyReader(io.StringIO("".join(f"{i}\n" for i in range(20_000))))
    batches = [[] for _ in range(3)]
    steps = [0] * 3

    def take_batches(bucket):
        while batch := reader.fetch_many_lists(7):
            bucket.extend(int(row[0]) for row in batch)

    def step(index):
        for _ in reader:
            steps[index] += 1

    threads = [threading.Thread(target=take_batches, args=(bucket,)) for bucket in batches]
    threads += [threading.Thread(target=step, args=(i,)) for i in range(3)]
    for thread in threads:
        thread.start()
    for thread in threads:
        thread.join()
    taken = [value for bucket in batches for value in bucket]
    assert len(taken) == len(set(taken))
    assert len(taken) + sum(steps) == 20_000 == reader.line_num


FORK_WHILE_BUSY = """
    import multiprocessing, os, tempfile, threading, warnings
    from brelt._core import read_csv
    warnings.simplefilter("ignore", DeprecationWarning)  # fork with threads running
    path = os.path.join(tempfile.mkdtemp(), "big.csv")
    with open(path, "w") as f:
        f.write("a,b,c\\n" + "".join(f"{i},{i/2},t{i%9}\\n" for i in range(20000)))
    expected = read_csv(path)
    stop = threading.Event()
    def busy():
        while not stop.is_set():
            assert read_csv(path) == expected
    workers = [threading.Thread(target=busy) for _ in range(2)]
    for w in workers:
        w.start()
    context = multiprocessing.get_context("fork")
    results = []
    for _ in range(4):
        with context.Pool(2) as pool:
            results += pool.map(read_csv, [path] * 2)
    stop.set()
    for w in workers:
        w.join()
    print(all(r == expected for r in results), len(results))
"""


def test_fork_while_other_threads_use_the_pool():
    env = {k: v for k, v in os.environ.items()
           if k not in ("RAYON_NUM_THREADS", "RAYON_RS_NUM_CPUS")}
    result = subprocess.run([sys.executable, "-c", textwrap.dedent(FORK_WHILE_BUSY)], env=env,
                            capture_output=True, text=True, timeout=240)
    assert result.returncode == 0, result.stderr
    assert result.stdout.split() == ["True", "8"]


PIPE_READ_BY_A_THREAD = """
    import os, tempfile, threading, time
    from brelt._core import write_csv
    fifo = os.path.join(tempfile.mkdtemp(), "pipe")
    os.mkfifo(fifo)
    records = [{"a": i, "b": "x" * 50} for i in range(20000)]  # far more than a pipe holds
    writer = threading.Thread(target=write_csv, args=(fifo, records))
    writer.start()  # blocks opening the pipe until the reader below opens it
    time.sleep(0.2)
    with open(fifo, newline="") as f:
        text = f.read()
    writer.join()
    print(text == "a,b\\n" + "".join(f"{i},{'x' * 50}\\n" for i in range(20000)))
"""


def test_write_csv_lets_a_thread_read_the_pipe_it_writes():
    """write_csv waits for the pipe's reader at open and for room at every
    write; the reader here is a thread of the same process, so each wait must
    let it run."""
    result = subprocess.run([sys.executable, "-c", textwrap.dedent(PIPE_READ_BY_A_THREAD)],
                            capture_output=True, text=True, timeout=60)
    assert result.returncode == 0, result.stderr
    assert result.stdout.split() == ["True"]


# A daemon thread blocks in a call with the lock released, on a pipe that only
# the interpreter's own shutdown opens, so the call asks for the lock back
# while the interpreter is finishing.
DAEMON_AT_EXIT = """
    import os, tempfile, threading, time
    from brelt._core import read_csv, sniff_delimiter, write_csv
    fifo = os.path.join(tempfile.mkdtemp(), "pipe")
    os.mkfifo(fifo)
    threading.Thread(target={call}, args=(fifo, *{args}), daemon=True).start()
    time.sleep(0.2)

    class LastWords:
        def __init__(self):
            self.os, self.time = os, time

        def __del__(self):  # runs while the interpreter shuts down
            fd = self.os.open(fifo, {open_flags})
            if {feed}:
                self.os.write(fd, b"a;b\\n1;2\\n")
            self.os.close(fd) if {feed} else None
            self.time.sleep(0.5)  # the call goes on and asks for the lock meanwhile

    last_words = LastWords()
    print("done", flush=True)
"""


@pytest.mark.parametrize("call, args, open_flags, feed", [
    ("read_csv", (), "os.O_WRONLY", True),
    ("sniff_delimiter", (), "os.O_WRONLY", True),
    ("write_csv", ([{"a": 1}],), "os.O_RDONLY | os.O_NONBLOCK", False),
])
def test_a_daemon_thread_inside_a_call_at_exit(call, args, open_flags, feed):
    code = DAEMON_AT_EXIT.format(call=call, args=args, open_flags=open_flags, feed=feed)
    result = subprocess.run([sys.executable, "-c", textwrap.dedent(code)], capture_output=True,
                            text=True, timeout=60)
    assert (result.returncode, result.stdout, result.stderr) == (0, "done\n", "")
