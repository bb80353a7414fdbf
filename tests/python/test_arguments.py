"""Argument binding and conversion rules, and the error table, through the
test-only module that exposes the binding layer."""

import pytest

import brelt

bt = pytest.importorskip("_brelt_testing")


class Index:
    def __init__(self, value):
        self.value = value

    def __index__(self):
        return self.value


class RaisingIndex:
    def __index__(self):
        raise ZeroDivisionError("from __index__")


class StrSubclass(str):
    pass


class DictSubclass(dict):
    pass


@pytest.mark.parametrize("bind", [bt.bind, bt.bind_tuple], ids=["fastcall", "tuple"])
class TestBinding:
    def test_positional_and_keyword(self, bind):
        assert bind(1) == (1, None, None)
        assert bind(1, 2, 3) == (1, 2, 3)
        assert bind(1, c=3) == (1, None, 3)
        assert bind(c=3, a=1) == (1, None, 3)

    def test_missing_required_argument_is_named(self, bind):
        with pytest.raises(TypeError, match=r"bind(_tuple)?\(\) missing required argument 'a'"):
            bind()
        with pytest.raises(TypeError, match="'a'"):
            bind(b=2)

    def test_surplus_unknown_and_duplicate_arguments(self, bind):
        with pytest.raises(TypeError, match=r"takes at most 3 arguments \(4 given\)"):
            bind(1, 2, 3, 4)
        with pytest.raises(TypeError, match="unexpected keyword argument 'd'"):
            bind(1, d=4)
        with pytest.raises(TypeError, match="multiple values for argument 'a'"):
            bind(1, a=1)


class TestStrings:
    def test_str_and_subclasses(self):
        assert bt.convert_str("héllo") == "héllo"
        assert bt.convert_str(StrSubclass("x")) == "x"
        assert bt.convert_optional_str(None) is None
        assert bt.convert_optional_str("a") == "a"

    @pytest.mark.parametrize("value", [b"x", 1, None, ["a"]])
    def test_other_types_are_refused_naming_the_argument(self, value):
        with pytest.raises(TypeError, match="argument 'value' must be str"):
            bt.convert_str(value)

    def test_lone_surrogate_raises_the_interpreters_error(self):
        with pytest.raises(UnicodeEncodeError):
            bt.convert_str("a\ud800")


class TestBool:
    def test_only_true_and_false(self):
        assert bt.convert_bool(True) is True
        assert bt.convert_bool(False) is False

    @pytest.mark.parametrize("value", [0, 1, None, "True", 1.0, []])
    def test_truthy_lookalikes_are_refused(self, value):
        with pytest.raises(TypeError, match="argument 'value' must be bool"):
            bt.convert_bool(value)

    def test_numpy_bool(self):
        numpy = pytest.importorskip("numpy")
        assert bt.convert_bool(numpy.bool_(True)) is True
        assert bt.convert_bool(numpy.bool_(False)) is False


class TestUnsigned:
    def test_range(self):
        assert bt.convert_u64(0) == 0
        assert bt.convert_u64(2**64 - 1) == 2**64 - 1
        assert bt.convert_u64(Index(7)) == 7

    @pytest.mark.parametrize("value", [-1, -(2**70), 2**64, Index(-3)])
    def test_negative_or_too_large_is_overflow(self, value):
        with pytest.raises(OverflowError):
            bt.convert_u64(value)

    @pytest.mark.parametrize("value", [1.0, "3", None, b"1"])
    def test_non_integers_are_type_errors_naming_the_argument(self, value):
        with pytest.raises(TypeError, match="argument 'value'"):
            bt.convert_u64(value)

    def test_index_failure_propagates(self):
        with pytest.raises(ZeroDivisionError, match="from __index__"):
            bt.convert_u64(RaisingIndex())


class TestStringList:
    def test_sequences_of_str(self):
        assert bt.convert_str_list(["a", "b"]) == ["a", "b"]
        assert bt.convert_str_list(("a", StrSubclass("b"))) == ["a", "b"]
        assert bt.convert_str_list([]) == []

    def test_a_str_is_not_a_list_of_str(self):
        with pytest.raises(TypeError, match="Can't extract `str` to `Vec`"):
            bt.convert_str_list("ab")

    @pytest.mark.parametrize("value", [["a", 1], 5, {"a": 1}, {"a"}, None])
    def test_other_values_are_refused(self, value):
        with pytest.raises(TypeError, match="argument 'value'"):
            bt.convert_str_list(value)


class TestDict:
    def test_dicts_and_subclasses(self):
        value = DictSubclass(a=1)
        assert bt.convert_dict(value) is value

    @pytest.mark.parametrize("value", [[], None, "a", [("a", 1)]])
    def test_other_values_are_refused(self, value):
        with pytest.raises(TypeError, match="argument 'value' must be dict"):
            bt.convert_dict(value)


ERROR_TABLE = [
    ValueError, TypeError, OSError, KeyError, IndexError, AttributeError,
    MemoryError, RuntimeError, OverflowError, ImportError, brelt.Error, SystemError,
]


@pytest.mark.parametrize("kind, exception", list(enumerate(ERROR_TABLE)))
def test_error_table_maps_every_kind_with_its_message(kind, exception):
    with pytest.raises(exception) as raised:
        bt.raise_error(kind, "the message")
    assert type(raised.value) is exception
    assert raised.value.args == ("the message",)


def test_cpp_exceptions_never_cross_into_the_interpreter():
    with pytest.raises(SystemError, match="internal error: broken invariant"):
        bt.throw_cpp("broken invariant")
    with pytest.raises(MemoryError):
        bt.throw_cpp("bad_alloc")
    with pytest.raises(SystemError, match="unknown C\\+\\+ exception"):
        bt.throw_cpp("int")
