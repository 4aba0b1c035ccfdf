"""Loading Python arguments into native values and handing them back."""
import datetime
import decimal
import fractions
import uuid

import numpy as np
import pytest

import _lorengraph as lg


def roundtrip(value):
    a = lg.ArrayValue()
    a.add_value(value)
    return a.get_value_at(0)


@pytest.mark.parametrize("given, expected_type, expected", [
    (None, type(None), None),
    (True, bool, True),
    (False, bool, False),
    (np.bool_(True), bool, True),
    (1, int, 1),
    (-2**63, int, -2**63),
    (2**63 - 1, int, 2**63 - 1),
    (np.int64(-5), int, -5),
    (np.uint8(200), int, 200),
    (0.1, float, 0.1),
    (np.float64(2.5), float, 2.5),
    (np.float32(0.5), float, 0.5),          # not an int, float or __index__ type: its float value
    (decimal.Decimal("1.25"), float, 1.25),
    (fractions.Fraction(1, 4), float, 0.25),
    ("text \u00e9", str, "text \u00e9"),
    (b"\x00\xffraw", bytes, b"\x00\xffraw"),
])
def test_scalars_load_into_their_own_kind(given, expected_type, expected):
    got = roundtrip(given)
    assert type(got) is expected_type
    assert got == expected


@pytest.mark.parametrize("given", [
    2**63,           # beyond signed 64 bits: refused rather than rounded or made a bool
    -2**63 - 1,
    1 + 2j,          # a number float() refuses
    [1, 2],
    {"a": 1},
    object(),
    bytearray(b"ab"),
])
def test_unconvertible_arguments_raise_type_error(given):
    with pytest.raises(TypeError):
        lg.ArrayValue().add_value(given)


def test_truthy_non_number_loads_as_bool_on_conversion():
    class Flag:
        def __bool__(self):
            return True
    assert roundtrip(Flag()) is True


def test_index_objects_load_as_integers():
    class Seven:
        def __index__(self):
            return 7
    assert roundtrip(Seven()) == 7


def test_uuid_round_trip():
    u = uuid.UUID("12345678-9abc-def0-1122-334455667788")
    got = roundtrip(u)
    assert isinstance(got, uuid.UUID) and got == u and got.bytes == u.bytes

    class Sixteen:  # anything offering 16 bytes through `bytes`
        bytes = bytes(range(16))
    assert roundtrip(Sixteen()).bytes == bytes(range(16))


def test_wrong_sized_bytes_attribute_is_not_a_uuid():
    class Fifteen:
        bytes = b"x" * 15
    with pytest.raises(TypeError):
        lg.ArrayValue().add_value(Fifteen())


@pytest.mark.parametrize("given, expected", [
    (datetime.datetime(2021, 3, 4, 5, 6, 7, 891011), datetime.datetime(2021, 3, 4, 5, 6, 7, 891011)),
    (datetime.datetime(1960, 1, 2, 3, 4, 5, 6), datetime.datetime(1960, 1, 2, 3, 4, 5, 6)),
    (datetime.date(2020, 2, 29), datetime.datetime(2020, 2, 29)),
    (datetime.time(13, 14, 15, 16), datetime.datetime(1970, 1, 1, 13, 14, 15, 16)),
    (datetime.datetime(2021, 3, 4, 5, 6, 7, tzinfo=datetime.timezone(datetime.timedelta(hours=5))),
     datetime.datetime(2021, 3, 4, 5, 6, 7)),  # the zone is dropped, the fields kept as local time
])
def test_times_load_as_local_time(given, expected):
    got = roundtrip(given)
    assert type(got) is datetime.datetime and got.tzinfo is None
    assert got == expected


def test_string_without_utf8_form_is_refused():
    o = lg.ObjectValue()
    with pytest.raises(TypeError):
        o.set_key_value("k", "\udcff")  # a lone surrogate has no UTF-8 form


def test_shared_objects_are_not_copied():
    inner = lg.ObjectValue()
    a = lg.ArrayValue()
    a.add_value(inner)
    inner.set_key_value("k", 1)
    assert a.get_value_at(0) is inner
    assert a.get_value_at(0).query_value("k") == 1

    g = lg.GeometryValue()
    e = lg.EntityValue()
    e.set_id(g)
    assert e.get_id() is g


def test_local_time_follows_daylight_saving():
    # In a zone with daylight saving, summer and winter fields both survive the round trip;
    # deciding daylight saving wrongly shifts one of them by an hour.
    import os
    import subprocess
    import sys
    script = (
        "import datetime, _lorengraph as lg\n"
        "a = lg.ArrayValue()\n"
        "for d in (datetime.datetime(2021, 7, 1, 12, 0, 0, 5), datetime.datetime(2021, 1, 1, 12)):\n"
        "    a.add_value(d)\n"
        "    assert a.get_value_at(a.count() - 1) == d, a.get_value_at(a.count() - 1)\n"
        "print('ok')\n")
    env = dict(os.environ, TZ="America/New_York")
    out = subprocess.run([sys.executable, "-c", script], env=env, capture_output=True, text=True)
    assert out.returncode == 0, out.stderr
    assert out.stdout.strip() == "ok"
