"""Hostile values for the tests: objects whose hooks raise, call back into the
object under test, or mutate the containers they were passed in; a
hypothesis strategy that mixes them with values of every plain type; and a
few single-purpose ones (Index, Calls, Unprintable, Recording) for the
targeted tests."""

import io

from hypothesis import strategies as st


class Boom(Exception):
    """Raised by hostile hooks, so it can be told from the library's errors."""


class Arena:
    """What the current example's hostile hooks reach: the object under test
    and every container its arguments were built from."""

    target = None
    containers = []
    internal_errors = []  # SystemErrors met inside a callback

    @classmethod
    def reset(cls, target=None):
        cls.target = target
        cls.containers = []
        cls.internal_errors = []


def collect_containers(value, seen=None):
    """Registers every list and dict reachable from value in Arena.containers."""
    seen = set() if seen is None else seen
    if id(value) in seen:
        return
    if isinstance(value, (list, dict)):
        seen.add(id(value))
        Arena.containers.append(value)
        # The base class's own iteration: a subclass's hooks are not for us.
        items = list(dict.items(value)) if isinstance(value, dict) else list(list.__iter__(value))
        for item in items:
            collect_containers(item, seen)
    elif isinstance(value, tuple):
        for item in value:
            collect_containers(item, seen)


def _swallow(operation):
    try:
        operation()
    except SystemError as error:
        Arena.internal_errors.append(error)
    except Exception:
        pass


# What a callback tries on the object under test; most of them are refused
# while a call on it runs, and the refusal must be an ordinary exception.
_POKES = [
    lambda t: next(t),
    lambda t: t.fetch_many_lists(1),
    lambda t: t.set_field_names(["p", "q"]),
    lambda t: t[0],
    lambda t: t.snapshot(),
    lambda t: t.keys(),
    lambda t: t == ["x"],
    lambda t: t.writerow(["poke", 1]),
    lambda t: t.writerows([["poke"]]),
    lambda t: t.__del__(),
    lambda t: len(t),
    lambda t: list(t) if not hasattr(t, "fetch_many_lists") else None,
]


def poke():
    target = Arena.target
    if target is None:
        return
    for operation in _POKES:
        _swallow(lambda: operation(target))


def shrink_containers():
    for container in Arena.containers:
        container.clear()


class Index:
    """An index-like value: its __index__ runs `hook` (if any), then gives `value`."""

    def __init__(self, value, hook=None):
        self.value, self.hook = value, hook

    def __index__(self):
        if self.hook is not None:
            self.hook()
        return self.value


class Calls:
    """A value whose str() runs `action` first."""

    def __init__(self, action, text="v"):
        self.action, self.text = action, text

    def __str__(self):
        self.action()
        return self.text


class Unprintable:
    """A value whose str() raises."""

    def __str__(self):
        raise RuntimeError("no text")


class Recording:
    """A file object that keeps what each write() was given."""

    def __init__(self):
        self.calls = []

    def write(self, text):
        self.calls.append(text)


class Quiet:
    """Shown by name in hypothesis's reports, which never run the hooks."""

    def __repr__(self):
        return type(self).__name__ + "()"

    def _repr_pretty_(self, printer, cycle):
        printer.text(repr(self))


class Poker(Quiet):
    """Every hook calls back into the object under test, then answers sanely."""

    def __index__(self):
        poke()
        return 1

    def __str__(self):
        poke()
        return "poked"

    def __len__(self):
        poke()
        return 1

    def __getitem__(self, index):
        poke()
        if index != 0:
            raise IndexError(index)
        return "item"

    def __eq__(self, other):
        poke()
        return False

    def __hash__(self):
        return 7

    def read(self):
        poke()
        return "a,b\n1,2\n"

    def write(self, text):
        poke()
        return len(text)


class Raiser(Quiet):
    """Every hook raises Boom."""

    def _boom(self, *args):
        raise Boom("hostile hook")

    __index__ = __str__ = __len__ = __getitem__ = __iter__ = _boom
    __eq__ = __bool__ = __float__ = __int__ = read = write = _boom
    __hash__ = None  # unhashable: a TypeError wherever hashing is tried

    def __getattr__(self, name):
        if name == "__name__":  # what a schema asks of its values
            raise Boom(name)
        raise AttributeError(name)


class Shrinker(Quiet):
    """Every hook empties the containers of the current call first."""

    def __index__(self):
        shrink_containers()
        return 0

    def __str__(self):
        shrink_containers()
        return "shrunk"

    def __len__(self):
        shrink_containers()
        return 2

    def __getitem__(self, index):
        shrink_containers()
        if index > 1:
            raise IndexError(index)
        return "s"

    def __eq__(self, other):
        shrink_containers()
        return True

    def __hash__(self):
        return hash("a")  # collides with a likely column name

    def read(self):
        shrink_containers()
        return "a\n1\n"

    def write(self, text):
        shrink_containers()


class HostileStr(Quiet, str):
    """A str whose Python-level hooks raise; the library reads its characters."""

    def __str__(self):
        raise Boom("str")

    def __eq__(self, other):
        raise Boom("eq")

    __hash__ = str.__hash__

    def __len__(self):
        raise Boom("len")

    def __iter__(self):
        raise Boom("iter")


class HostileInt(Quiet, int):
    def __index__(self):
        raise Boom("index")

    def __str__(self):
        raise Boom("str")


class HostileDict(Quiet, dict):
    def __getitem__(self, key):
        raise Boom("getitem")

    def keys(self):
        raise Boom("keys")

    def __iter__(self):
        raise Boom("iter")

    def __len__(self):
        raise Boom("len")


class HostileList(Quiet, list):
    def __len__(self):
        raise Boom("len")

    def __getitem__(self, index):
        raise Boom("getitem")

    def __iter__(self):
        raise Boom("iter")


def _hostile_instances():
    return st.sampled_from([
        Poker, Raiser, Shrinker, lambda: HostileStr("a"), lambda: HostileStr("é,\n"),
        lambda: HostileInt(1), lambda: HostileDict(a=1), lambda: HostileList(["a", 1]),
        lambda: io.StringIO("a,b\n1,2\n"), lambda: io.BytesIO(b"a\n"), object,
    ]).map(lambda make: make())


_plain = st.one_of(
    st.none(),
    st.booleans(),
    st.integers(min_value=-2**70, max_value=2**70),
    st.sampled_from([0, 1, -1, 2**31, 2**32, 2**63 - 1, 2**63, 2**64 - 1, 2**64]),
    st.floats(),
    st.text(max_size=6),
    st.sampled_from(["", ",", "\0", "\ud800", "é", "\n", '"', "utf-8", "latin1", "int", "str"]),
    st.binary(max_size=6),
    st.sampled_from([int, str, float, bool, list, dict, object, type, Boom]),
)

_keys = st.one_of(st.text(max_size=3), st.sampled_from(["a", "b", "c"]), st.integers(-3, 3),
                  st.none(), st.builds(HostileStr, st.sampled_from(["a", "b"])),
                  st.builds(Shrinker))


def _build_dict(pairs):
    """A dict of the pairs whose keys could be inserted; a hostile key's
    comparison with an equal-hashed one may raise, and that pair is dropped."""
    built = {}
    for key, value in pairs:
        try:
            built[key] = value
        except Boom:
            pass
    return built

leaves = st.one_of(_plain, _hostile_instances())

values = st.recursive(
    leaves,
    lambda children: st.one_of(
        st.lists(children, max_size=4),
        st.tuples(children, children),
        st.lists(st.tuples(_keys, children), max_size=3).map(_build_dict),
    ),
    max_leaves=8,
)

