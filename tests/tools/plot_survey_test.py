"""tools/plot_survey.py on a small survey's CSV: valid PNG and SVG, one-line errors for bad input.

    python3 tests/tools/plot_survey_test.py PATH/TO/sharp-survey
"""
import lzma
import os
import re
import subprocess
import sys
import tempfile
import unittest

SCRIPT = os.path.join(os.path.dirname(__file__), "..", "..", "tools", "plot_survey.py")
SURVEY = sys.argv.pop(1) if len(sys.argv) > 1 else "build/sharp-survey"


def plot(*arguments):
    return subprocess.run([sys.executable, SCRIPT, *arguments], capture_output=True, text=True)


class PlotSurvey(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.dir = tempfile.TemporaryDirectory()
        cls.csv = os.path.join(cls.dir.name, "survey.csv")
        cls.tossed = os.path.join(cls.dir.name, "tossed.txt")
        cls.expected = os.path.join(cls.dir.name, "expected.csv")
        cls.nothing = os.path.join(cls.dir.name, "nothing.csv")
        # To 3e9: its last decade is a part-decade.
        subprocess.run([SURVEY, "--quiet", "--csv", cls.csv, "--tossed", cls.tossed, "--expected", cls.expected, "3e9"],
                       check=True, stdout=subprocess.DEVNULL)
        cls.nothing_expected = os.path.join(cls.dir.name, "nothing-expected.csv")
        subprocess.run([SURVEY, "--quiet", "--csv", cls.nothing, "--expected", cls.nothing_expected, "1e6"], check=True,
                       stdout=subprocess.DEVNULL)

    @classmethod
    def tearDownClass(cls):
        cls.dir.cleanup()

    def path(self, name, content=None):
        path = os.path.join(self.dir.name, name)
        if content is not None:
            with open(path, "w") as file:
                file.write(content)
        return path

    def test_writes_png_and_svg(self):
        for name, start in (("plot.png", b"\x89PNG\r\n\x1a\n"), ("plot.svg", b"<svg")):
            result = plot(self.csv, self.csv, "--tossed", self.tossed, "--expected", self.expected, "--title", "test",
                          "--sharps", "tables/mine.txt", "-o", self.path(name))
            self.assertEqual(result.returncode, 0, result.stderr)
            with open(self.path(name), "rb") as file:
                content = file.read()
            self.assertIn(start, content[:400], name)
        self.assertIn(b"test, sharp numbers from mine.txt", content)  # the SVG's text, as a comment

    def test_reads_a_tossed_list_compressed_with_xz(self):
        with open(self.tossed, "rb") as plain, lzma.open(self.path("tossed.txt.xz"), "wb") as packed:
            packed.write(plain.read())
        result = plot(self.csv, "--tossed", self.path("tossed.txt.xz"), "-o", self.path("xz.png"))
        self.assertEqual(result.returncode, 0, result.stderr)
        broken = plot(self.csv, "--tossed", self.path("broken.txt.xz", "not xz"), "-o", self.path("xz.png"))
        self.assertEqual((broken.returncode, len(broken.stderr.splitlines())), (2, 1), broken.stderr)

    def test_a_survey_with_nothing_tossed_says_so(self):
        for model in ([], ["--expected", self.nothing_expected]):
            result = plot(self.nothing, *model, "-o", self.path("nothing.svg"))
            self.assertEqual(result.returncode, 0, result.stderr)
            with open(self.path("nothing.svg")) as file:
                self.assertIn("nothing tossed in this range", file.read(), model)

    def test_an_expected_file_of_another_range_is_refused(self):
        for csv, expected in ((self.nothing, self.expected), (self.csv, self.nothing_expected)):
            result = plot(csv, "--expected", expected, "-o", self.path("x.png"))
            self.assertEqual((result.returncode, len(result.stderr.splitlines())), (2, 1), result.stderr)
            self.assertIn("is not the --expected file of", result.stderr)

    def test_compared_surveys_have_markers_of_their_own(self):
        def marker_shapes(*csvs):
            result = plot(*csvs, "-o", self.path("markers.svg"))
            self.assertEqual(result.returncode, 0, result.stderr)
            with open(self.path("markers.svg")) as file:
                return len(set(re.findall(r'<path id="m[0-9a-f]+" d="([^"]+)"', file.read())))
        self.assertGreater(marker_shapes(self.csv, self.csv), marker_shapes(self.csv))

    def test_heights_figure_and_its_table(self):
        heights = self.path("heights.csv")
        subprocess.run([SURVEY, "--quiet", "--window", "2^20", "--from", "1e12", "--heights", heights, "2e12"],
                       check=True, stdout=subprocess.DEVNULL)
        result = plot(self.csv, "--expected", self.expected, "--heights", heights, "-o", self.path("heights.svg"))
        self.assertEqual(result.returncode, 0, result.stderr)
        # Heading, the survey's part-decade from 10^9 to its end, three windows.
        self.assertEqual([line.split()[0] for line in result.stdout.splitlines()],
                         ["height", "10^9", "1.00e+12", "1.60e+12", "2.00e+12"])
        with open(self.path("heights.svg")) as file:
            self.assertIn("decades of the survey from 10^9 to 3.00e+09", file.read())
        alone = plot("--heights", heights, "-o", self.path("alone.svg"))
        self.assertEqual((alone.returncode, len(alone.stdout.splitlines())), (0, 4), alone.stderr)
        with open(self.path("alone.svg")) as file:
            self.assertIn("<!-- height: windows of sharp-survey", file.read())
        no_model = plot(self.csv, "--heights", heights, "-o", self.path("heights.png"))
        self.assertEqual((no_model.returncode, len(no_model.stderr.splitlines())), (2, 1), no_model.stderr)
        broken = plot(self.csv, "--expected", self.expected, "--heights", self.path("h.csv", "from,to\n1,2\n"),
                      "-o", self.path("heights.png"))
        self.assertEqual((broken.returncode, len(broken.stderr.splitlines())), (2, 1), broken.stderr)

    def test_bad_input_is_one_line_and_status_2(self):
        header = "n,candidates,hits,true_primes,false_primes,tossed_primes,tossed_composites\n"
        cases = {
            "missing": self.path("no-such.csv"),
            "empty": self.path("empty.csv", ""),
            "no rows": self.path("header.csv", header),
            "wrong header": self.path("header2.csv", "n,a,b\n1,2,3\n"),
            "text in a row": self.path("text.csv", header + "100,x,1,1,0,0,0\n"),
            "short row": self.path("short.csv", header + "100,17,17\n"),
            "binary": self.path("binary.csv", "\x00\xff" * 10),
        }
        for case, csv in cases.items():
            result = plot(csv, "-o", self.path("bad.png"))
            self.assertEqual(result.returncode, 2, case)
            self.assertEqual(len(result.stderr.splitlines()), 1, f"{case}: {result.stderr}")
            self.assertTrue(result.stderr.startswith("plot_survey.py: "), case)
        bad_suffix = plot(self.csv, "-o", self.path("plot.jpg"))
        self.assertEqual((bad_suffix.returncode, len(bad_suffix.stderr.splitlines())), (2, 1))
        bad_tossed = plot(self.csv, "--tossed", self.path("t.txt", "12 maybe\n"), "-o", self.path("x.png"))
        self.assertEqual((bad_tossed.returncode, len(bad_tossed.stderr.splitlines())), (2, 1))
        for content in ("n,x\n1,2\n", "n,expected_tossed_primes,expected_tossed_composites,error_tossed_primes,"
                                       "error_tossed_composites\n100,nan,0,0,0\n"):
            bad_expected = plot(self.csv, "--expected", self.path("e.csv", content), "-o", self.path("x.png"))
            self.assertEqual((bad_expected.returncode, len(bad_expected.stderr.splitlines())), (2, 1), content)


if __name__ == "__main__":
    unittest.main()
