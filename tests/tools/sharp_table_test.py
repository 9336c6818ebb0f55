"""tools/sharp_table.py: the products of primorials, the 79 among them, and one-line errors.

    python3 tests/tools/sharp_table_test.py
"""
import os
import subprocess
import sys
import tempfile
import unittest

ROOT = os.path.join(os.path.dirname(__file__), "..", "..")
SCRIPT = os.path.join(ROOT, "tools", "sharp_table.py")
THE_79 = os.path.join(ROOT, "docs", "sharps-79.txt")


def table(*arguments):
    result = subprocess.run([sys.executable, SCRIPT, *arguments], capture_output=True, text=True)
    numbers = [int(line.split("#")[0]) for line in result.stdout.splitlines() if not line.startswith("#")]
    return result, numbers


class SharpTable(unittest.TestCase):
    def test_lists_the_products_of_primorials(self):
        _, small = table("100")
        self.assertEqual(small, [2, 4, 6, 8, 12, 16, 24, 30, 32, 36, 48, 60, 64, 72, 96])
        _, up_to_largest = table("3216213000")
        self.assertEqual(len(up_to_largest), 1588)
        _, the_79 = table("--add", THE_79, "--from", "3216213000", "3216213000")
        self.assertEqual(len(the_79), 79)  # each of the 79 is a product of primorials
        self.assertTrue(set(the_79) <= set(up_to_largest))
        _, extended = table("--add", THE_79, "--from", "3216213001", "1e10")
        self.assertEqual(len(extended), 79 + 373)
        self.assertEqual(table("--add-79", "--from", "3216213001", "1e10")[1], extended)
        self.assertEqual(extended, sorted(extended))

    def test_takes_the_surveys_number_forms(self):
        for text, value in (("2^64-1", 2**64 - 2), ("1e12+1", 10**12 + 1), ("2.5e1", 25), ("30030*17", 510510),
                            ("2^3*3-4", 20)):
            result, _ = table("--from", "2", text)
            self.assertEqual(result.returncode, 0, result.stderr)
            self.assertIn(f" from 2 to {value}:", result.stdout.splitlines()[0], text)

    def test_bad_input_is_one_line_and_status_2(self):
        for arguments in (["ten"], ["--from", "10", "5"], ["--add", "no/such/file", "100"], ["2^65"], ["2.55e1"],
                          ["5-6"], ["1e3+"], ["2^^3"]):
            result, _ = table(*arguments)
            self.assertEqual((result.returncode, len(result.stderr.splitlines())), (2, 1), result.stderr)
            self.assertTrue(result.stderr.startswith("sharp_table.py: "), result.stderr)
        # Installed, it says its installed name.
        with tempfile.TemporaryDirectory() as folder:
            installed = os.path.join(folder, "sharp-survey-table")
            os.symlink(os.path.abspath(SCRIPT), installed)
            named = subprocess.run([sys.executable, installed, "ten"], capture_output=True, text=True)
        self.assertTrue(named.stderr.startswith("sharp-survey-table: "), named.stderr)


if __name__ == "__main__":
    unittest.main()
