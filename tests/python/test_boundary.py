"""The boundary conventions, through the test-only extension marvane_boundary_test."""
import inspect
import threading

import pytest

from conftest import build_tree_module

t = build_tree_module("marvane_boundary_test")


class FloatLike:
    def __init__(self, value, action=None):
        self.value, self.action = value, action

    def __float__(self):
        if self.action:
            self.action()
        return self.value


class IndexLike:
    def __index__(self):
        return 7


GOOD = dict(f=1.5, i32=-2, u32=3, u8=255, size=2**64 - 1, flag=True, text="s", floats=[1, 2.5])


def call(**changes):
    return t.convert(**{**GOOD, **changes})


def test_conversions_accept_their_kinds():
    assert call() == (1.5, -2, 3, 255, 2**64 - 1, True, "s", [1.0, 2.5], None, None)
    assert call(f=2, u32=IndexLike(), floats=(1,), pair=(1, 2.0))[:3] == (2.0, -2, 7)
    assert call(f=FloatLike(4.0))[0] == 4.0
    assert call(pair=(1, 2))[8] == (1.0, 2.0)
    counter = t.Counter(3.0)
    assert call(counter=counter)[9] == 3.0


@pytest.mark.parametrize(
    "changes, error, text",
    [
        ({"flag": 1}, TypeError, "argument 'flag': 'int' object cannot be converted to 'PyBool'"),
        ({"text": 3}, TypeError, "argument 'text': 'int' object cannot be converted to 'PyString'"),
        ({"floats": "12"}, TypeError, "argument 'floats': Can't extract `str` to `Vec`"),
        ({"floats": 3}, TypeError, "argument 'floats': 'int' object cannot be converted to 'Sequence'"),
        ({"pair": [1, 2]}, TypeError, "argument 'pair': 'list' object cannot be converted to 'PyTuple'"),
        ({"pair": (1, 2, 3)}, ValueError, "expected tuple of length 2, but got tuple of length 3"),
        ({"counter": 3}, TypeError, "argument 'counter': 'int' object cannot be converted to 'Counter'"),
        ({"i32": 2**31}, OverflowError, "out of range integral type conversion attempted"),
        ({"u32": -1}, OverflowError, "out of range integral type conversion attempted"),
        ({"u8": 256}, OverflowError, "out of range integral type conversion attempted"),
        ({"i32": 1.0}, TypeError, "argument 'i32': 'float' object cannot be interpreted as an integer"),
    ],
)
def test_conversion_failures(changes, error, text):
    with pytest.raises(error) as err:
        call(**changes)
    assert type(err.value) is error
    assert str(err.value) == text


def test_unsigned_size_uses_interpreter_overflow_text():
    with pytest.raises(OverflowError) as err:
        call(size=-1)
    assert "out of range integral" not in str(err.value)
    with pytest.raises(OverflowError):
        call(size=2**64)


def test_float_parameter_refuses_str_naming_it():
    with pytest.raises(TypeError, match="^argument 'f': "):
        call(f="1.5")


def test_first_failing_argument_wins():
    with pytest.raises(TypeError, match="^argument 'f': "):
        call(f="x", text=3)


@pytest.mark.parametrize(
    "fn, args, kwargs, text",
    [
        (t.need_three, (), {}, "need_three() missing 3 required positional arguments: 'a', 'b', and 'c'"),
        (t.need_two, (), {}, "need_two() missing 2 required positional arguments: 'a' and 'b'"),
        (t.need_two, (1,), {}, "need_two() missing 1 required positional argument: 'b'"),
        (t.need_two, (1, 2, 3), {}, "need_two() takes 2 positional arguments but 3 were given"),
        (t.need_three, (1, 2, 3, 4, 5), {}, "need_three() takes from 3 to 4 positional arguments but 5 were given"),
        (t.need_two, (1,), {"a": 2}, "need_two() got multiple values for argument 'a'"),
        (t.need_two, (1, 2), {"c": 2}, "need_two() got an unexpected keyword argument 'c'"),
        (t.keyword_only, (1,), {}, "keyword_only() missing 1 required keyword argument: 'b'"),
        (t.keyword_only, (1, 2), {}, "keyword_only() takes 1 positional arguments but 2 were given"),
        (t.Counter, (1, "x", 3), {}, "Counter.__new__() takes from 0 to 2 positional arguments but 3 were given"),
        (t.Counter(1).add, (), {}, "Counter.add() missing 1 required positional argument: 'amount'"),
    ],
)
def test_argument_list_errors(fn, args, kwargs, text):
    with pytest.raises(TypeError) as err:
        fn(*args, **kwargs)
    assert str(err.value) == text


@pytest.mark.parametrize("key", ["a\x00", "a\x00b", "\ud800"])
def test_keyword_must_equal_a_parameter_name_whole(key):
    with pytest.raises(TypeError) as err:
        t.need_two(1, **{"b": 2, key: 3})
    assert str(err.value) == f"need_two() got an unexpected keyword argument '{key}'"


class Items:
    """A sequence whose __len__ may lie, fail or be absurd."""

    def __init__(self, items, length):
        self.items, self.length = items, length

    def __len__(self):
        if isinstance(self.length, Exception):
            raise self.length
        return self.length

    def __getitem__(self, i):
        return self.items[i]


@pytest.mark.parametrize("length", [2**62, 7, 0, ValueError("no length")])
def test_list_parameter_takes_the_items_whatever_len_says(length):
    assert call(floats=Items([1.0, 2], length))[7] == [1.0, 2.0]


def test_keywords_and_positions_bind_alike():
    assert t.need_three(1, 2, 3) == t.need_three(c=3, b=2, a=1) == 7.0
    assert t.need_three(1, 2, 3, d=0) == 6.0
    assert t.keyword_only(5, b=2) == 3.0


def test_none_for_optional_equals_omission():
    assert t.Counter(label=None).label == t.Counter().label == "counter"
    assert call(pair=None) == call()


def test_errors_of_the_computation_become_value_error():
    with pytest.raises(ValueError, match="^exactly this$"):
        t.fail("exactly this")
    c = t.Counter(1.0)
    with pytest.raises(ValueError):
        c.add(-1)
    assert c.total() == 1.0


def test_message_bytes_that_are_not_utf8_are_replaced_not_fatal():
    with pytest.raises(ValueError) as err:
        t.fail_undecodable()
    assert type(err.value) is ValueError
    assert str(err.value) == "caf\ufffd au lait"


def test_broken_invariant_raises_panic_exception_and_leaves_module_usable():
    panic = t.PanicException
    assert issubclass(panic, BaseException) and not issubclass(panic, Exception)
    assert panic.__module__ == "pyo3_runtime" and panic.__qualname__ == "PanicException"
    c = t.Counter(2.0)
    with pytest.raises(panic):
        c.panic(5)
    with pytest.raises(panic, match="explicit panic"):
        t.broken()
    c.add(1.0)
    assert c.total() == 3.0


class CounterSub(t.Counter):
    __slots__ = ()


class OtherCounterSub(t.Counter):
    __slots__ = ()


def test_class_assignment_between_subclasses_of_one_class_keeps_working():
    obj = CounterSub(2.0)
    obj.__class__ = OtherCounterSub
    assert type(obj) is OtherCounterSub and obj.total() == 2.0
    with pytest.raises(TypeError):
        obj.__class__ = t.Counter


def test_an_object_whose_class_now_derives_from_another_class_reaches_none_of_its_code():
    class Sub(t.Walkway):
        pass

    obj = Sub(3.0)
    Sub.__bases__ = (t.Counter,)  # accepted: one instance layout for every class
    with pytest.raises(TypeError, match="^descriptor 'add' for 'marvane_boundary_test.Counter' objects doesn't "
                                        "apply to a 'Sub' object: it holds the record of another class"):
        obj.add(1.0)
    with pytest.raises(TypeError, match="^argument 'counter': 'Sub' object cannot be converted to 'Counter'$"):
        call(counter=obj)
    with pytest.raises(TypeError, match="^descriptor 'total' for 'marvane_boundary_test.Counter' objects "
                                        "doesn't apply to a 'int' object$"):
        t.Counter.total(5)
    Sub.__bases__ = (t.Walkway,)
    assert (obj.width, obj.effective_width) == (3.0, 3.0)


def test_running_out_of_memory_raises_memory_error():
    c = t.Counter(2.0)
    with pytest.raises(MemoryError):
        t.exhaust()
    c.add(1.0)
    assert c.total() == 3.0


def test_method_arguments_convert_before_the_object_is_borrowed():
    # While a method converts its argument, another thread reads the object.
    c = t.Counter(1.0)
    converting, read = threading.Event(), threading.Event()
    seen = []

    def reader():
        converting.wait(10)
        try:
            seen.append(c.total())
        except RuntimeError as e:
            seen.append(e)
        finally:
            read.set()

    def wait_for_the_reader():
        converting.set()
        read.wait(10)

    thread = threading.Thread(target=reader)
    thread.start()
    c.add(FloatLike(2.0, action=wait_for_the_reader))
    thread.join()
    assert seen == [1.0] and c.total() == 3.0


def test_borrow_conflicts():
    c = t.Counter(1.0)
    # An exclusive borrow asked for during a shared one.
    with pytest.raises(RuntimeError, match="^Already borrowed$"):
        c.peek(lambda: c.add(1.0))
    # A shared borrow asked for during an exclusive one.
    with pytest.raises(RuntimeError, match="^Already mutably borrowed$"):
        c.poke(c.total)
    # An argument's __float__ runs before the method borrows the object: it may read it.
    c.add(FloatLike(0.0, action=c.total))
    # Shared borrows nest, and every borrow ends when its call ends, also after an error.
    assert c.peek(c.total) == 1.0
    c.add(2.0)
    assert c.total() == 3.0


def test_properties():
    c = t.Counter(2.0)
    assert c.label == "counter"
    c.label = "renamed"
    assert c.label == "renamed"
    with pytest.raises(AttributeError, match="^can't delete attribute$"):
        del c.label
    with pytest.raises(TypeError):
        c.label = 3
    assert c.label == "renamed"
    assert c.doubled == 4.0
    with pytest.raises(AttributeError):
        c.doubled = 1.0
    assert repr(c) == "Counter(renamed)"


def test_text_signatures():
    assert str(inspect.signature(t.Counter)) == "(start=0.0, label=None)"
    assert t.Counter.__text_signature__ == "(start=0.0, label=None)"
    assert str(inspect.signature(t.Counter(1).add)) == "(amount)"
    assert str(inspect.signature(t.Counter(1).total)) == "()"
    assert str(inspect.signature(t.Counter(1).scaled)) == "(factor=2.0, *, offset=None)"
    assert t.Counter(1).scaled(3, offset=0.5) == 3.5


# Methods and functions are declared with their prose alone: the text signature comes from the
# declared parameters, "self" first for a method, and appears once.
@pytest.mark.parametrize(
    "fn, signature, doc",
    [
        (t.Counter.add, "(self, amount)", "Adds an amount (any float-like object)."),
        (t.Counter.total, "(self)", "The running total."),
        (t.Counter.scaled, "(self, factor=2.0, *, offset=None)", "The total times a factor, plus an offset."),
        (t.Optional.corrupt, "(self)", None),
        (t.Pretty.to_json, "(self)", "The document, pretty."),
        (t.keyword_only, "(a, *, b)", "A keyword-only parameter."),
        (t.need_three, "(a, b, c, d=1.0)", "Four parameters, three required."),
        (t.opaque, "()", "An Opaque object."),
    ],
)
def test_generated_text_signatures(fn, signature, doc):
    assert fn.__text_signature__ == signature
    assert str(inspect.signature(fn)) == signature
    assert fn.__doc__ == doc


# ---- constructors bound to record fields -------------------------------------------------------

def test_field_constructor_signature_renders_each_kind_of_default():
    assert t.Walkway.__text_signature__ == (
        '(width, fixed_object_width=0.0, facility_type="walkway", is_one_way=False, demand=None, phf=None, '
        "speeds=None, *, lanes=1)"
    )
    params = inspect.signature(t.Walkway).parameters
    assert [params[n].default for n in ("fixed_object_width", "facility_type", "is_one_way", "lanes")] == [
        0.0, "walkway", False, 1]
    assert params["width"].default is inspect.Parameter.empty
    assert params["lanes"].kind is inspect.Parameter.KEYWORD_ONLY


def test_field_constructor_defaults_and_given_values():
    w = t.Walkway(2.0)
    assert (w.width, w.fixed_object_width, w.is_stairway, w.is_one_way, w.demand, w.phf, w.speeds, w.lanes) == (
        2.0, 0.0, False, False, None, 0.85, [4.0, 3.5, 3.0], 1)
    w = t.Walkway(3, 0.5, "Stairway", True, 100, 0.9, (1, 2, 3), lanes=2)
    assert (w.width, w.fixed_object_width, w.is_stairway, w.is_one_way, w.demand, w.phf, w.speeds, w.lanes) == (
        3.0, 0.5, True, True, 100.0, 0.9, [1.0, 2.0, 3.0], 2)
    # None keeps the field's default only where the signature shows "=None".
    assert t.Walkway(2.0, demand=None, phf=None, speeds=None).phf == 0.85
    # Derived once the fields are set.
    assert w.effective_width == 2.5


@pytest.mark.parametrize(
    "kwargs, error, text",
    [
        ({"width": None}, TypeError, "argument 'width': must be real number, not NoneType"),
        ({"width": 1, "fixed_object_width": None}, TypeError,
         "argument 'fixed_object_width': must be real number, not NoneType"),
        ({"width": 1, "facility_type": None}, TypeError,
         "argument 'facility_type': 'NoneType' object cannot be converted to 'PyString'"),
        ({"width": 1, "is_one_way": None}, TypeError,
         "argument 'is_one_way': 'NoneType' object cannot be converted to 'PyBool'"),
        ({"width": 1, "is_one_way": 1}, TypeError,
         "argument 'is_one_way': 'int' object cannot be converted to 'PyBool'"),
        ({}, TypeError, "Walkway.__new__() missing 1 required positional argument: 'width'"),
        ({"width": 1, "facility_type": "Ramp"}, ValueError, "unknown facility_type: ramp"),
        ({"width": 1, "speeds": [1, 2]}, ValueError, "speeds must contain exactly 3 values"),
        # Every argument converts before any hook runs; hooks run in signature order.
        ({"width": 1, "facility_type": "ramp", "phf": "x"}, TypeError, "argument 'phf': must be real number, not str"),
        ({"width": 1, "speeds": [1], "facility_type": "ramp"}, ValueError, "unknown facility_type: ramp"),
        ({"width": 1, "lanes": -1}, OverflowError, "out of range integral type conversion attempted"),
    ],
)
def test_field_constructor_errors(kwargs, error, text):
    with pytest.raises(error) as err:
        t.Walkway(**kwargs)
    assert type(err.value) is error and str(err.value) == text


def test_field_constructor_argument_list_errors():
    with pytest.raises(TypeError) as err:
        t.Walkway(1, 0, "walkway", False, None, None, None, 3)
    assert str(err.value) == "Walkway.__new__() takes from 1 to 7 positional arguments but 8 were given"


# ---- classes built from a JSON document --------------------------------------------------------

DEFAULT_DOC = '{"x":1.0,"name":"doc"}'


@pytest.mark.parametrize(
    "cls, signature", [(t.Optional, "(json=None)"), (t.Strict, "(json)"), (t.Pretty, "(config_json)"),
                       (t.ReadOnly, "(json=None)")]
)
def test_document_constructor_signatures(cls, signature):
    assert cls.__text_signature__ == signature
    assert str(inspect.signature(cls)) == signature


def test_optional_document_defaults_to_the_empty_document():
    assert t.Optional().to_json() == t.Optional(None).to_json() == t.Optional(json="{}").to_json() == DEFAULT_DOC
    assert t.ReadOnly().name == t.ReadOnly(None).name == "doc"


@pytest.mark.parametrize(
    "call, text",
    [
        (lambda: t.Strict(), "Strict.__new__() missing 1 required positional argument: 'json'"),
        (lambda: t.Strict.from_json(), "Strict.from_json() missing 1 required positional argument: 'json'"),
        (lambda: t.Pretty(), "Pretty.__new__() missing 1 required positional argument: 'config_json'"),
        (lambda: t.Strict(None), "argument 'json': 'NoneType' object cannot be converted to 'PyString'"),
        (lambda: t.Optional(3), "argument 'json': 'int' object cannot be converted to 'PyString'"),
    ],
)
def test_document_argument_errors(call, text):
    with pytest.raises(TypeError) as err:
        call()
    assert str(err.value) == text


@pytest.mark.parametrize(
    "call, prefix",
    [
        (t.Optional, "invalid optional JSON: "),
        (t.ReadOnly, "invalid read-only JSON: "),
        (t.Pretty, "invalid pretty config: "),
        (t.Strict, ""),
        (t.Strict.from_json, ""),
    ],
)
def test_document_read_errors_carry_the_declared_prefix(call, prefix):
    with pytest.raises(ValueError) as err:
        call('{"x": "a"}')
    assert str(err.value) == prefix + 'invalid type: string "a", expected f64 at line 1 column 9'


def test_from_json_is_the_constructor_under_another_name():
    made = t.Strict.from_json(json='{"x": 2}')
    assert type(made) is t.Strict and made.x == 2.0
    assert made.to_json() == t.Strict('{"x": 2}').to_json()
    assert t.Strict.from_json.__text_signature__ == "(json)"
    assert t.Strict.from_json.__doc__ == "Alias constructor mirroring `Strict(json)`."
    assert not hasattr(t.Optional, "from_json")


def test_writers_compact_pretty_and_none():
    assert t.Optional('{"x": 2}').to_json() == '{"x":2.0,"name":"doc"}'
    assert t.Pretty(config_json='{"x": 2}').to_json() == '{\n  "x": 2.0,\n  "name": "doc"\n}'
    assert t.Pretty.to_json.__doc__ == "The document, pretty."
    assert str(inspect.signature(t.Pretty.to_json)) == "(self)"
    assert not hasattr(t.ReadOnly, "to_json")


@pytest.mark.parametrize("cls, prefix", [(t.Optional, "serialization failed: "), (t.Pretty, "serialize Pretty: ")])
def test_write_failure_carries_the_declared_message(cls, prefix):
    doc = cls("{}")
    doc.corrupt()
    with pytest.raises(ValueError, match="^" + prefix + "invalid UTF-8 in string$"):
        doc.to_json()


# ---- objects are built by __new__ --------------------------------------------------------------

def test_new_builds_the_object():
    c = t.Counter.__new__(t.Counter, 2.0, label="x")
    assert (c.total(), c.label) == (2.0, "x")
    c.__init__(5.0, label="y")  # does nothing
    assert (c.total(), c.label) == (2.0, "x")
    with pytest.raises(TypeError, match=r"^Counter.__new__\(\) takes from 0 to 2 positional arguments"):
        t.Counter.__new__(t.Counter, 1, "a", 3)


@pytest.mark.parametrize(
    "call, text",
    [
        (lambda: object.__new__(t.Counter), "is not safe, use marvane_boundary_test.Counter.__new__()"),
        (lambda: t.Counter.__base__.__new__(t.Counter), "is not safe, use marvane_boundary_test.Counter.__new__()"),
        (lambda: t.Counter.__new__(int), "int is not a subtype of marvane_boundary_test.Counter"),
        (lambda: t.Counter.__new__(3), "is not a type object"),
        (lambda: t.Counter.__new__(), "not enough arguments"),
        (lambda: t.Counter.__new__(t.Walkway), "is not a subtype of marvane_boundary_test.Counter"),
        (lambda: t.Opaque(), "cannot create 'marvane_boundary_test.Opaque' instances"),
        (lambda: t.Opaque.__new__(t.Opaque), "cannot create 'marvane_boundary_test.Opaque' instances"),
    ],
)
def test_no_path_reaches_an_unbuilt_object(call, text):
    with pytest.raises(TypeError) as err:
        call()
    assert text in str(err.value)


def test_subclasses_are_built_by_the_base_new():
    class Sub(t.Counter):
        def __init__(self, start, label):
            super().__init__(start, label)
            self.seen = label

    s = Sub(4.0, "e")
    assert type(s) is Sub and (s.total(), s.label, s.seen) == (4.0, "e", "e")
    assert t.opaque().value == 7

    class Both(t.Counter, t.Walkway):
        pass

    with pytest.raises(TypeError, match="derives from more than one class of this module"):
        Both()
