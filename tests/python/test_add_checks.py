"""doc.add's one pass over the caller's arrays: every value judged, wherever it sits.

The copy judges values in blocks of thousands as it copies (C-ordered arrays of float64,
float32 and the integers, converted on the way) and lets numpy convert other arrays block
by block; the sizes and positions below sit on both sides of those blocks, in the
vectorised body and in the tails.
"""
import itertools

import numpy as np
import pytest

import tarvik

COPY_BLOCK = 4096
CAST_BLOCK = 65536

# (size, positions): the positions of a value that is not finite, or of a descent.
PLACES = [
    (1, [0]),
    (7, [0, 1, 6]),
    (9, [0, 1, 8]),
    (2 * COPY_BLOCK + 3, [1, 8, 9, COPY_BLOCK - 1, COPY_BLOCK, COPY_BLOCK + 1, 2 * COPY_BLOCK + 2]),
    (CAST_BLOCK + 5, [CAST_BLOCK - 1, CAST_BLOCK, CAST_BLOCK + 4]),
]
CASES = [(n, p) for n, places in PLACES for p in places]

# How the caller's array arrives: read as it is (float64), converted while copied (float32),
# or in forms that numpy casts block by block.
FORMS = {
    "float64": lambda a: a,
    "float32": lambda a: a.astype(np.float32),
    "strided": lambda a: np.repeat(a, 2)[::2],
    "big-endian": lambda a: a.astype(">f8"),
    "unaligned": lambda a: np.frombuffer(b"\0" + a.tobytes(), a.dtype, a.size, 1),
}


def points(n):
    x = np.arange(n, dtype=np.float64) * 0.5
    return x, np.cos(x)


@pytest.mark.parametrize("form", FORMS)
@pytest.mark.parametrize("n, at", CASES)
def test_the_first_value_that_is_not_finite_is_named_and_nothing_is_added(form, n, at):
    doc = tarvik.Document()
    for name, bad, later in itertools.product("xy", (np.nan, np.inf, -np.inf), (False, True)):
        x, y = points(n)
        (x if name == "x" else y)[at] = bad
        if later and at + 1 < n:
            (x if name == "x" else y)[n - 1] = np.nan  # a later one is not the one named
        with pytest.raises(ValueError, match=rf"^{name}\[{at}\] is not a finite number$"):
            doc.add(FORMS[form](x), FORMS[form](y))
    assert len(doc.graphs) == 0


@pytest.mark.parametrize("form", ["float64", "float32", "strided"])
def test_a_value_that_is_not_finite_after_a_descent_is_found(form):
    x, y = points(3 * COPY_BLOCK)
    x[5] = -1.0  # the points would need ordering
    for at in (COPY_BLOCK + 17, 3 * COPY_BLOCK - 1):
        bad = x.copy()
        bad[at] = np.inf
        with pytest.raises(ValueError, match=rf"^x\[{at}\] is not a finite number$"):
            tarvik.Document().add(FORMS[form](bad), FORMS[form](y))


def test_x_is_judged_before_y_and_both_before_their_lengths():
    doc = tarvik.Document()
    with pytest.raises(ValueError, match=r"^x\[1\] is not a finite number$"):
        doc.add([0.0, np.nan], [np.inf])
    with pytest.raises(ValueError, match=r"^y\[0\] is not a finite number$"):
        doc.add([0.0, 1.0], [np.inf])
    with pytest.raises(ValueError, match=r"^x and y differ in length \(2 and 1\)$"):
        doc.add(np.zeros(2, np.float32), [1.0])
    assert len(doc.graphs) == 0


@pytest.mark.parametrize("form", ["float64", "float32"])
@pytest.mark.parametrize("n, at", [(n, p) for n, p in CASES if p > 0])
def test_a_descent_anywhere_orders_the_points_as_a_reader_does(form, n, at):
    x, y = points(n)
    x[at] = x[at - 1] - 0.75  # one X below the one before it (and below two for at > 1)
    x, y = FORMS[form](x), FORMS[form](y)
    g = tarvik.Document().add(x, y)
    order = np.argsort(x, kind="stable")  # each point after the last X not greater
    assert g.x.tobytes() == x[order].astype(np.float64).tobytes()
    assert g.y.tobytes() == y[order].astype(np.float64).tobytes()


def test_equal_and_signed_zero_x_keep_their_order():
    doc = tarvik.Document()
    x = np.repeat([-1.0, 0.0, 2.0], 3000)  # equal runs across the copy's blocks
    x[3000:6000:2] = -0.0  # equal to 0.0: no descent
    y = np.arange(x.size, dtype=np.float64)
    g = doc.add(x, y)
    assert g.x.tobytes() == x.tobytes() and g.y.tobytes() == y.tobytes()
    g = doc.add(np.array([0.0, -0.0, 5e-324, 0.0]), [1.0, 2.0, 3.0, 4.0])
    assert g.x.tobytes() == np.array([0.0, -0.0, 0.0, 5e-324]).tobytes()
    assert g.y.tolist() == [1.0, 2.0, 4.0, 3.0]


@pytest.mark.parametrize("values", [
    np.array([2**53 + 1, -(2**62) - 1, 3] * 50000, dtype=np.int64),
    np.array([2**64 - 1, 0, 2**63 + 2**11 - 1] * 50000, dtype=np.uint64),
    np.linspace(-1.0, 1.0, 2 * CAST_BLOCK + 3).astype(np.float32),
    np.linspace(-1e4, 6e4, CAST_BLOCK + 1).astype(np.float16),
    np.array([True, False, True] * 40000),
    np.arange(3 * CAST_BLOCK, dtype=np.int8),
    np.arange(-30000, 30001, dtype=np.int16),
    np.arange(CAST_BLOCK + 3, dtype=np.uint8),
    np.arange(CAST_BLOCK + 3, dtype=np.uint16),
    np.arange(2**32 - CAST_BLOCK - 3, 2**32, dtype=np.uint32),
    (np.arange(3 * CAST_BLOCK) / 7.0)[::-3],  # a negative stride
], ids=["int64", "uint64", "float32", "float16", "bool", "int8", "int16", "uint8", "uint16",
         "uint32", "reversed"])
def test_other_arrays_are_converted_as_numpy_converts_them(values):
    expected = values.astype(np.float64)
    g = tarvik.Document().add(np.arange(values.size, dtype=np.int32), values)
    assert g.y.tobytes() == expected.tobytes()
    assert g.x.tobytes() == np.arange(values.size, dtype=np.float64).tobytes()


def test_finite_values_pass_under_any_rounding_mode():
    # Rounding towards −∞ turns x − x into −0, which the copy's quick test of finiteness
    # does not take for "finite"; the values are judged exactly then.
    import ctypes
    import ctypes.util

    libm = ctypes.CDLL(ctypes.util.find_library("m"))
    fe_downward, fe_tonearest = 0x400, 0
    x = np.arange(3 * COPY_BLOCK + 5, dtype=np.float64)
    y = -np.cos(x)
    assert libm.fesetround(fe_downward) == 0
    try:
        g = tarvik.Document().add(x, y)
        with pytest.raises(ValueError, match=r"^y\[9\] is not a finite number$"):
            y[9] = np.inf
            tarvik.Document().add(x, y)
    finally:
        libm.fesetround(fe_tonearest)
    assert g.y.tobytes() == (-np.cos(x)).tobytes()
