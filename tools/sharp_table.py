#!/usr/bin/env python3
"""Lists the products of primorials in a range: sharp numbers for sharp-survey --sharps.

    python3 tools/sharp_table.py [--from A] [--add TABLE] TO > table.txt

A product of primorials is 2^a * 3^b * 5^c * ... over the first primes, each exponent
at least 1 and none larger than the one before (a >= b >= c >= ... >= 1): 2, 4, 6, 8,
12, 16, 24, 30, ... The 79 sharp numbers are a selection of those up to 3216213000.
The numbers go out ascending, one a line, each with its factorisation as a comment.
With --add, the numbers of TABLE (a sharp-survey --sharps file) are listed too, once;
--add-79 adds the 79, from the table file beside the tool (docs/sharps-79.txt here,
share/sharp-primes/sharps-79.txt where it is installed):
    python3 tools/sharp_table.py --add-79 --from 3216213001 1e12
lists the 79 and every product of primorials above them up to 10^12.
Numbers as sharp-survey takes them: 1000, 1e12, 2.5e16, 10^12, 2^32, 30030*17, with +K or -K
(2^64-1); numbers of TABLE up to 2^128-2.
"""
import argparse
import os
import re
import sys

PRIMES = [2, 3, 5, 7, 11, 13, 17, 19, 23, 29, 31, 37, 41, 43, 47, 53, 59, 61, 67, 71]  # 71# > 2^64
LARGEST = 2**64 - 2


def the_79_file():
    """The 79 as a table file: beside the tool in the source tree, or where it is installed."""
    here = os.path.dirname(os.path.realpath(__file__))
    for path in (os.path.join(here, "..", "docs", "sharps-79.txt"),
                 os.path.join(here, "..", "share", "sharp-primes", "sharps-79.txt")):
        if os.path.isfile(path):
            return os.path.normpath(path)
    raise BadInput("--add-79: the table file sharps-79.txt is not beside the tool")


class BadInput(Exception):
    """Input the tool cannot use; its message is the one line the user sees."""


PROGRAM = os.path.basename(sys.argv[0])  # sharp-survey-table when installed
FORMS = "1000, 1e12, 2.5e16, 10^12, 2^32, 2^64-1 or 30030*17"


def factor_value(text, factor):
    """D, DeE, D.FeE (a whole number), D^E."""
    match = re.fullmatch(r"(\d+)(?:\.(\d+))?(?:([eE^])(\d+))?", factor)
    if not match or (match.group(2) is not None and match.group(3) not in ("e", "E")):
        raise BadInput(f"'{text}' is not a number (write it as {FORMS})")
    digits, fraction, kind, exponent = match.group(1), (match.group(2) or "").rstrip("0"), match.group(3), match.group(4)
    if kind is None:
        return int(digits)
    if int(exponent) > 200:
        raise BadInput(f"'{text}' is past 2^64-1")
    if kind == "^":
        return int(digits) ** int(exponent)
    if int(exponent) < len(fraction):
        raise BadInput(f"'{text}' is not a number (write it as {FORMS})")
    return int(digits + fraction) * 10 ** (int(exponent) - len(fraction))


def number(text, largest=2**64 - 1):
    """A number as sharp-survey reads it: terms joined by + or -, each factors joined by *."""
    if not re.fullmatch(r"[0-9.eE^*]+(?:[+-][0-9.eE^*]+)*", text):
        raise BadInput(f"'{text}' is not a number (write it as {FORMS})")
    total = 0
    for sign, term in re.findall(r"([+-]?)([^+-]+)", text):
        value = 1
        for factor in term.split("*"):
            value *= factor_value(text, factor)
        total += -value if sign == "-" else value
    if total < 0:
        raise BadInput(f"'{text}' is negative")
    if total > largest:
        raise BadInput(f"'{text}' is past {'2^64-1' if largest == 2**64 - 1 else '2^128-2'}")
    return total


def products_of_primorials(low, high):
    """Every product of primorials from low to high, ascending, with its exponents."""
    found = []

    def extend(index, largest_exponent, value, exponents):
        p = PRIMES[index]
        for e in range(1, largest_exponent + 1):
            value *= p
            if value > high:
                return
            if value >= low:
                found.append((value, exponents + [e]))
            if index + 1 < len(PRIMES):
                extend(index + 1, e, value, exponents + [e])

    extend(0, 64, 1, [])
    return sorted(found)


def factorisation(exponents):
    return " * ".join(f"{p}^{e}" if e > 1 else str(p) for p, e in zip(PRIMES, exponents))


def read_table(path):
    """The numbers of a --sharps file, in order."""
    try:
        with open(path) as file:
            lines = file.read().splitlines()
    except OSError as error:
        raise BadInput(f"--add {path}: {error.strerror}")
    numbers = []
    for line_number, line in enumerate(lines, 1):
        content = line.split("#", 1)[0].strip()
        if content:
            try:
                numbers.append(number(content, 2**128 - 2))
            except BadInput as error:
                raise BadInput(f"--add {path}: line {line_number}: {error}")
    return numbers


def main():
    parser = argparse.ArgumentParser(description="Lists the products of primorials from A to TO.")
    parser.add_argument("--from", dest="low", default="2", help="the smallest number listed (default 2)")
    parser.add_argument("--add", help="a sharp-survey --sharps file whose numbers are listed too")
    parser.add_argument("--add-79", action="store_true", help="list the 79 sharp numbers too")
    parser.add_argument("to", help="the largest number listed")
    arguments = parser.parse_args()
    try:
        low, high = number(arguments.low), min(number(arguments.to), LARGEST)
        if high < low:
            raise BadInput(f"TO ({high}) is below --from ({low})")
        if arguments.add_79:
            if arguments.add:
                raise BadInput("--add-79 and --add: give one table")
            arguments.add = the_79_file()
        added = read_table(arguments.add) if arguments.add else []
    except BadInput as error:
        print(f"{PROGRAM}: {error}", file=sys.stderr)
        return 2
    lines = {value: f"{value}  # {factorisation(exponents)}" for value, exponents in products_of_primorials(low, high)}
    listed = len(lines)
    for value in added:
        lines.setdefault(value, f"{value}  # from {arguments.add}")
    text = (f"# {listed} products of primorials from {low} to {high}" +
            (f", and the numbers of {arguments.add}" if added else "") + f": {len(lines)} sharp numbers\n" +
            "".join(lines[value] + "\n" for value in sorted(lines)))
    try:
        sys.stdout.write(text)
        sys.stdout.flush()
    except BrokenPipeError:  # the reader has what it wanted
        os.dup2(os.open(os.devnull, os.O_WRONLY), sys.stdout.fileno())
        return 1
    except OSError as error:
        print(f"{PROGRAM}: cannot write the table: {error.strerror}", file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
