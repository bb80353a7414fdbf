"""Hostile values for the tests: objects whose hooks raise, call back into the
object under test, or empty the containers they were passed in; a hypothesis
strategy that mixes them with values of every plain type; and a few
single-purpose ones (Index, Calls, Unprintable, Recording)."""

import io

from hypothesis import strategies as st


class Boom(Exception):
    """Raised by hostile hooks, so it can be told from the library's errors."""


class Arena:
    """What the current example's hostile hooks reach: the object under test,
    every container its arguments were built from, and the SystemErrors met
    inside a callback."""

    def reset(target=None):
        Arena.target, Arena.containers, Arena.internal_errors = target, [], []


Arena.reset()


def collect_containers(value, seen=None):
    """Registers every list and dict reachable from value in Arena.containers."""
    seen = set() if seen is None else seen
    if id(value) in seen:
        return
    if isinstance(value, (list, dict)):
        seen.add(id(value))
        Arena.containers.append(value)
        # The base class's own iteration: a subclass's hooks are not for us.
        value = list(dict.values(value)) if isinstance(value, dict) else list(list.__iter__(value))
    elif not isinstance(value, tuple):
        return
    for item in value:
        collect_containers(item, seen)


# What a callback tries on the object under test; most of them are refused
# while a call on it runs, and the refusal must be an ordinary exception.
_POKES = [
    lambda t: next(t), lambda t: t.fetch_many_lists(1), lambda t: t.set_field_names(["p", "q"]),
    lambda t: t[0], lambda t: t.snapshot(), lambda t: t.keys(), lambda t: t == ["x"],
    lambda t: t.writerow(["poke", 1]), lambda t: t.writerows([["poke"]]), lambda t: t.__del__(),
    lambda t: len(t), lambda t: list(t) if not hasattr(t, "fetch_many_lists") else None,
]


def poke():
    for operation in _POKES if Arena.target is not None else ():
        try:
            operation(Arena.target)
        except SystemError as error:
            Arena.internal_errors.append(error)
        except Exception:
            pass


def shrink_containers():
    for container in Arena.containers:
        container.clear()


class Quiet:
    """Shown by name in hypothesis's reports, which never run the hooks."""

    def __repr__(self):
        return type(self).__name__ + "()"

    def _repr_pretty_(self, printer, cycle):
        printer.text(repr(self))


def _first_only(answer):
    def item(index):
        if index != 0:
            raise IndexError(index)
        return answer
    return item


def _hooked(name, before, answers, **extra):
    """A class whose hooks run `before`, then give the answer (called with
    the hook's arguments when callable)."""
    def hook(answer):
        def method(self, *args):
            before()
            return answer(*args) if callable(answer) else answer
        return method
    return type(name, (Quiet,), {**{key: hook(v) for key, v in answers.items()}, **extra})


def _boom(*_):
    raise Boom("hostile hook")


def _nameless(self, name):
    if name == "__name__":  # what a schema asks of its values
        raise Boom(name)
    raise AttributeError(name)


# Every hook calls back into the object under test, then answers sanely.
Poker = _hooked("Poker", poke, {
    "__index__": 1, "__str__": "poked", "__len__": 1, "__getitem__": _first_only("item"),
    "__eq__": False, "read": "a,b\n1,2\n", "write": len}, __hash__=lambda self: 7)
# Every hook empties the containers of the current call first.
Shrinker = _hooked("Shrinker", shrink_containers, {
    "__index__": 0, "__str__": "shrunk", "__len__": 2, "__getitem__": _first_only("s"),
    "__eq__": True, "read": "a\n1\n", "write": None},
    __hash__=lambda self: hash("a"))  # collides with a likely column name
# Every hook raises Boom; unhashable, so hashing is a TypeError.
Raiser = _hooked("Raiser", _boom, dict.fromkeys([
    "__index__", "__str__", "__len__", "__getitem__", "__iter__", "__eq__", "__bool__",
    "__float__", "__int__", "read", "write"]), __hash__=None, __getattr__=_nameless)


def _raising(base, *hooks):
    """A subclass of base whose Python-level hooks raise; the library reads
    the base's own data."""
    return type("Hostile" + base.__name__.capitalize(), (Quiet, base),
                {**dict.fromkeys(hooks, _boom), "__hash__": base.__hash__})


HostileStr = _raising(str, "__str__", "__eq__", "__len__", "__iter__")
HostileInt = _raising(int, "__index__", "__str__")
HostileDict = _raising(dict, "__getitem__", "keys", "__iter__", "__len__")
HostileList = _raising(list, "__len__", "__getitem__", "__iter__")


class Index:
    """An index-like value: its __index__ runs `hook` (if any), then gives `value`."""

    def __init__(self, value, hook=lambda: None):
        self.value, self.hook = value, hook

    def __index__(self):
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
    """A file object that keeps what each write() was given, or raises `fails`."""

    def __init__(self, fails=None):
        self.calls, self.fails = [], fails

    def write(self, text):
        if self.fails is not None:
            raise self.fails
        self.calls.append(text)
        return len(text)


_hostile = st.sampled_from([
    Poker, Raiser, Shrinker, lambda: HostileStr("a"), lambda: HostileStr("é,\n"),
    lambda: HostileInt(1), lambda: HostileDict(a=1), lambda: HostileList(["a", 1]),
    lambda: io.StringIO("a,b\n1,2\n"), lambda: io.BytesIO(b"a\n"), object,
]).map(lambda make: make())

_plain = st.one_of(
    st.none(), st.booleans(), st.integers(min_value=-2**70, max_value=2**70),
    st.sampled_from([0, 1, -1, 2**31, 2**32, 2**63 - 1, 2**63, 2**64 - 1, 2**64]),
    st.floats(), st.text(max_size=6), st.binary(max_size=6),
    st.sampled_from(["", ",", "\0", "\ud800", "é", "\n", '"', "utf-8", "latin1", "int", "str"]),
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


values = st.recursive(
    st.one_of(_plain, _hostile),
    lambda children: st.one_of(
        st.lists(children, max_size=4), st.tuples(children, children),
        st.lists(st.tuples(_keys, children), max_size=3).map(_build_dict)),
    max_leaves=8,
)
