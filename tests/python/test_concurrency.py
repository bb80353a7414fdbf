"""Threads and processes: eight threads reading and writing at once get what
one thread gets; a process forked while other threads use the worker pool
still reads; calls that wait on a file let other threads run; and a daemon
thread inside a call when the interpreter exits ends quietly. (writerows
letting other threads run: test_writing.py.)"""

import functools
import io
import os
import subprocess
import sys
import textwrap
import threading

import pytest

from brelt._core import PyReader, PyWriter, read_csv, write_csv

ROWS = 3000  # above the 500 records from which read_csv converts on the pool


def make_jobs(directory):
    """Two jobs of each kind, each on its own data of mixed types; each
    returns what it made."""
    jobs = []
    for seed in (1, 2):
        table = [{"id": i * seed, "ratio": (i + seed) / 8, "flag": (i + seed) % 3 == 0,
                  "name": f"n{seed}-{i % 97}", "note": "x,y" if i % 5 == seed % 5 else ""}
                 for i in range(ROWS)]
        source = os.path.join(directory, f"in{seed}.csv")
        write_csv(source, table, safe=False)
        with open(source, newline="") as f:
            text = f.read()
        lines = [[str(value) for value in row.values()] for row in table[::-1]]

        def stream(text=text):
            reader = PyReader(io.StringIO(text))
            return [reader.snapshot()[0] for _ in reader], reader.fetch_many_lists()

        def write_rows(lines=lines, quoting=seed % 3):
            f = io.StringIO()
            PyWriter(f, quoting=quoting).writerows(lines)
            return f.getvalue()

        def write_table(target=os.path.join(directory, f"out{seed}-{{}}.csv"), records=table):
            path = target.format(threading.get_ident())
            write_csv(path, records[::2], delimiter=";")
            with open(path, newline="") as f:
                return f.read()

        jobs += [functools.partial(read_csv, source), stream, write_rows, write_table]
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
    expected = [job() for job in jobs]
    results, errors = [[] for _ in jobs], []
    start = threading.Barrier(len(jobs))

    def run(index):
        try:
            start.wait()
            for _ in range(3):
                results[index].append(jobs[index]())
        except BaseException as error:  # reported below, not lost in the thread
            errors.append(error)

    threads = [threading.Thread(target=run, args=(i,)) for i in range(len(jobs))]
    for thread in threads:
        thread.start()
    for thread in threads:
        thread.join(timeout=300)
    assert not any(thread.is_alive() for thread in threads) and errors == []
    assert results == [[one] * 3 for one in expected]


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


def run_python(code, *args, timeout=120):
    """Runs code in a new interpreter, the worker pool's size left to it,
    and returns what it printed; it must succeed."""
    env = {k: v for k, v in os.environ.items()
           if k not in ("RAYON_NUM_THREADS", "RAYON_RS_NUM_CPUS")}
    result = subprocess.run([sys.executable, "-c", textwrap.dedent(code), *args], env=env,
                            capture_output=True, text=True, timeout=timeout)
    assert (result.returncode, result.stderr) == (0, "")
    return result.stdout


FORK_WHILE_BUSY = """
    import multiprocessing, os, sys, tempfile, threading, warnings
    from brelt._core import read_csv
    warnings.simplefilter("ignore", DeprecationWarning)  # fork with threads running
    path = os.path.join(tempfile.mkdtemp(), "big.csv")
    with open(path, "w") as f:
        f.write("a,b,c\\n" + "".join(f"{i},{i/2},t{i%9}\\n" for i in range(20000)))
    expected = read_csv(path, n_threads=2)
    pid = os.fork()  # a child that ends as a program does, running the exit handlers
    if pid == 0:
        sys.exit(0 if read_csv(path) == expected == read_csv(path, n_threads=3) else 1)
    print(os.waitstatus_to_exitcode(os.waitpid(pid, 0)[1]))
    stop = threading.Event()
    def busy():
        while not stop.is_set():
            assert read_csv(path) == expected
    workers = [threading.Thread(target=busy) for _ in range(2)]
    for w in workers:
        w.start()
    results = []
    for _ in range(2):  # children forked while the pool works, ended by os._exit
        with multiprocessing.get_context("fork").Pool(2) as pool:
            results += pool.map(read_csv, [path] * 2)
    stop.set()
    for w in workers:
        w.join()
    print(all(r == expected for r in results), len(results), read_csv(path) == expected)
"""


@pytest.mark.skipif("asan" in os.environ.get("LD_PRELOAD", ""), reason="a fork while threads "
                    "allocate can leave the sanitizer's allocator locked in the child")
def test_forked_children_read_while_and_after_the_parent_uses_the_pool():
    assert run_python(FORK_WHILE_BUSY, timeout=240).split() == ["0", "True", "4", "True"]


# A thread calls into brelt on a FIFO and blocks there with the lock
# released. "wait": this process's main thread opens the other end, which it
# can only do if the lock was let go (write_csv also waits for room at every
# write). "exit": the other end is opened only by the interpreter's own
# shutdown, so the call asks for the lock back while the interpreter finishes.
ON_A_PIPE = """
    import os, sys, tempfile, threading, time
    import brelt
    from brelt._core import read_csv, sniff_delimiter, write_csv
    fifo = os.path.join(tempfile.mkdtemp(), "pipe")
    os.mkfifo(fifo)
    name, mode = sys.argv[1:]
    writes = name == "write_csv"

    class Source:
        # A file object whose reads wait on the pipe (brelt.reader calls it).
        def __iter__(self):
            return self

        def __next__(self):
            return self.readline()

        def readline(self):
            return os.read(os.open(fifo, os.O_RDONLY), 100).decode()

        read = readline

    records = [{"a": i, "b": "x" * 50} for i in range(20000)]  # far more than a pipe holds
    call = {"read_csv": lambda: read_csv(fifo), "sniff_delimiter": lambda: sniff_delimiter(fifo),
            "write_csv": lambda: write_csv(fifo, records),
            "reader": lambda: list(brelt.reader(Source()))}[name]
    result = []
    worker = threading.Thread(target=lambda: result.append(call()), daemon=True)
    worker.start()
    time.sleep(0.2)
    if mode == "wait":
        with open(fifo, "r" if writes else "w", newline="") as f:
            text = f.read() if writes else f.write("a;b\\n1;x\\n")
        worker.join()
        expected = "a,b\\n" + "".join(f"{r['a']},{r['b']}\\n" for r in records)
        print(text == expected if writes else result[0])
    else:
        class LastWords:
            def __init__(self):
                self.os, self.time = os, time

            def __del__(self):  # runs while the interpreter shuts down
                if writes:
                    self.os.open(fifo, self.os.O_RDONLY | self.os.O_NONBLOCK)
                else:
                    fd = self.os.open(fifo, self.os.O_WRONLY)
                    self.os.write(fd, b"a;b\\n1;2\\n")
                    self.os.close(fd)
                self.time.sleep(0.5)  # the call goes on and asks for the lock meanwhile

        last_words = LastWords()
        print("done", flush=True)
"""


@pytest.mark.parametrize("call, mode, printed", [
    ("read_csv", "wait", "[{'a': 1, 'b': 'x'}]"), ("sniff_delimiter", "wait", ";"),
    ("write_csv", "wait", "True"),
    *[(call, "exit", "done") for call in ("read_csv", "sniff_delimiter", "write_csv", "reader")]])
def test_a_call_waiting_on_a_pipe_lets_others_run_and_a_daemon_one_ends_at_exit(
        call, mode, printed):
    assert run_python(ON_A_PIPE, call, mode, timeout=60) == printed + "\n"
