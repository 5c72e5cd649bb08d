"""Shared by the scripts that print exactly rounded constants as C++ hex literals."""
import struct


def to_float(x):
    """The float nearest the double x."""
    return struct.unpack("<f", struct.pack("<f", x))[0]


def trim(text):
    """0x1.6a09e60000000p-1 -> 0x1.6a09e6p-1"""
    mantissa, exponent = text.split("p")
    if "." in mantissa:
        mantissa = mantissa.rstrip("0").rstrip(".")
    return mantissa + "p" + exponent


def hex_double(x):
    """The double x as a C++ hex literal."""
    return trim(float.hex(x))


def hex_float(x):
    """The float-valued double x as a C++ hex float literal."""
    assert to_float(x) == x
    return trim(float.hex(x)) + "f"
