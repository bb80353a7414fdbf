"""The type stubs of the extension say what the runtime says: the same names,
and for every function, constructor and method the same parameters, in the
same order, of the same kind, with the same defaults as its
__text_signature__. The Python layer carries its own annotations; every public
callable of it is annotated in full."""

import ast
import inspect
import pathlib

import pytest

import brelt
from brelt import _core

# The source tree's, whichever copy of the package is imported (make asan
# imports one built elsewhere).
PACKAGE = pathlib.Path(__file__).resolve().parents[2] / "brelt"
STUB = PACKAGE / "_core.pyi"


def stub_tree():
    return ast.parse(STUB.read_text())


def parameters(function):
    """(name, kind, default) for each parameter of a def, self and cls left out."""
    args = function.args
    positional = args.posonlyargs + args.args
    defaults = [None] * (len(positional) - len(args.defaults)) + args.defaults
    result = [(a.arg, "positional", d) for a, d in zip(positional, defaults)]
    result += [(a.arg, "keyword", d) for a, d in zip(args.kwonlyargs, args.kw_defaults)]
    return [(name, kind, ast.literal_eval(d) if d is not None else "<required>")
            for name, kind, d in result if name not in ("self", "cls")]


def runtime_parameters(text_signature):
    """The same triples from a __text_signature__ such as "($self, n=1000)"."""
    source = "def f" + text_signature.replace("$self", "self").replace("$type", "cls") + ": pass"
    return parameters(ast.parse(source).body[0])


def stub_definitions():
    """name -> FunctionDef or ClassDef of the stub's top level; for overloads
    the first one, whose defaults are those of the runtime."""
    found = {}
    for node in stub_tree().body:
        if isinstance(node, (ast.FunctionDef, ast.ClassDef)):
            found.setdefault(node.name, node)
    return found


def stub_methods(class_node):
    methods = {}
    for node in class_node.body:
        if isinstance(node, ast.FunctionDef):
            methods.setdefault(node.name, node)
        elif isinstance(node, ast.AnnAssign):
            methods.setdefault(node.target.id, node)
    return methods


def test_the_stub_names_what_the_module_exports_in_order():
    tree = stub_tree()
    declared = next(node for node in tree.body if isinstance(node, ast.Assign)
                    and node.targets[0].id == "__all__")
    assert ast.literal_eval(declared.value) == _core.__all__
    assert set(_core.__all__) <= set(stub_definitions())


@pytest.mark.parametrize("name", ["read_csv", "write_csv", "sniff_delimiter"])
def test_function_signatures(name):
    stub = stub_definitions()[name]
    assert parameters(stub) == runtime_parameters(getattr(_core, name).__text_signature__)


@pytest.mark.parametrize("name", ["PyReader", "PyWriter", "Row", "RowIterator", "Writer",
                                  "iter_csv"])
def test_class_members_and_signatures(name):
    runtime = getattr(_core, name)
    methods = stub_methods(stub_definitions()[name])
    if runtime.__text_signature__ is not None:
        assert parameters(methods["__new__"]) == runtime_parameters(runtime.__text_signature__)
    else:
        assert "__new__" not in methods and "__init__" not in methods
    public = {member for member in vars(runtime)
              if not member.startswith("_") or member in ("__del__",)}
    dunders = {member for member in vars(runtime) if member.startswith("__")
               and member not in ("__new__", "__doc__", "__module__", "__del__")
               and member not in ("__lt__", "__le__", "__gt__", "__ge__")}
    assert public | dunders == set(methods) - {"__new__"}
    for member in public:
        signature = getattr(getattr(runtime, member), "__text_signature__", None)
        if signature is not None:
            assert parameters(methods[member]) == runtime_parameters(signature), member


def test_the_python_layer_is_annotated_in_full():
    for name in brelt.__all__:
        value = getattr(brelt, name)
        callables = [value] if inspect.isfunction(value) else []
        if inspect.isclass(value) and value.__module__.startswith("brelt._") \
                and value.__module__ != "brelt._core":
            callables = [member for member in vars(value).values() if inspect.isfunction(member)
                         and (not member.__name__.startswith("_") or member.__name__ == "__init__")]
        for function in callables:
            signature = inspect.signature(function)
            missing = [p.name for p in signature.parameters.values()
                       if p.annotation is inspect.Parameter.empty and p.name != "self"]
            assert missing == [], f"{function.__qualname__}: {missing}"
            assert signature.return_annotation is not inspect.Signature.empty, function.__qualname__


def test_stubs_and_marker_are_package_data():
    assert (PACKAGE / "py.typed").is_file()
    pyproject = (PACKAGE.parent / "pyproject.toml").read_text()
    assert '"py.typed"' in pyproject and '"*.pyi"' in pyproject
