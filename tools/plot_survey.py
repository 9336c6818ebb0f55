#!/usr/bin/env python3
"""Plots the counts of sharp-survey --csv against N.

    python3 tools/plot_survey.py survey.csv [more.csv ...] [--tossed tossed.txt[.xz]] [--expected expected.csv]
        -o survey.png [--title TEXT] [--sharps TABLE]

One figure, N on a logarithmic axis, three panels:
  1. the false-prime share of the hits (false primes / hits);
  2. the tossed primes and tossed composites per decade, observed with sqrt(n) error
     bars, against what chance alone would give (sharp-survey --expected) with its
     sampling error; with --tossed, each tossed prime (a counterexample to the
     conjecture) marked where it falls;
  3. the true primes against the estimate N * 1.022 / ln N and against pi(N) - 8, the
     primes from 23 on, as ratios (1 until the first tossed prime).
pi(N) - 8 is the true primes plus the tossed primes, for a survey from 0 (the default). The file suffix chooses PNG or SVG. Several CSV files
are drawn over each other, each in its own line style and markers, so the figure reads
without colour. --expected goes with the first CSV file: the same rows, or it is refused.
With --sharps, the title names the sharp table the survey took (sharp-survey --sharps).

    python3 tools/plot_survey.py [survey.csv --expected expected.csv] --heights heights.csv -o heights.png

draws instead how often the test fails at every height: per decade of the survey from
10^9 (the last one up to the survey's end, if that is no power of ten) and per window
of sharp-survey --heights (the windows alone without a survey), the share of the primes it tosses and the
share of the composite candidates, observed with sqrt(n) error bars against the model's
curve and band; below, observed / expected with a band of 2 standard deviations (the
observed count's Poisson noise and the model's error). It also prints that comparison.
"""
import argparse
import csv
import lzma
import math
import os
import sys

HEADER = ["n", "candidates", "hits", "true_primes", "false_primes", "tossed_primes", "tossed_composites"]
EXPECTED_HEADER = ["n", "expected_tossed_primes", "expected_tossed_composites", "error_tossed_primes",
                   "error_tossed_composites"]
HEIGHTS_HEADER = ["from", "to", "candidates", "hits", "true_primes", "false_primes", "tossed_primes",
                  "tossed_composites", "expected_tossed_primes", "expected_tossed_composites", "error_tossed_primes",
                  "error_tossed_composites"]
HEIGHTS_FROM = 10**9  # the survey's decades are drawn from here on: below, nothing is tossed
PRIMES_BELOW_FIRST_CANDIDATE = 8  # 2, 3, 5, 7, 11, 13, 17, 19: never candidates
ESTIMATE_FACTOR = 1.022  # the interactive summary's N * 1.022 / ln N
LINE_STYLES = ["-", "--", ":", "-."]
MARKERS = ["o", "s", "^", "D"]
# Each compared survey's markers in the tossed panel, for primes and for composites.
PRIME_MARKERS = ["o", "^", "v", "<"]
COMPOSITE_MARKERS = ["s", "D", "p", "h"]
SURVEY_SHIFT = 1.04  # the next survey's markers sit this factor to the right, so each shows


class BadInput(Exception):
    """A file the plot cannot use; its message is the one line the user sees."""


def fail(message):
    print(f"{os.path.basename(sys.argv[0])}: {message}", file=sys.stderr)
    sys.exit(2)


def import_pyplot():
    """matplotlib's pyplot, from Debian's python3-matplotlib when this python lacks it."""
    try:
        import matplotlib
    except ImportError:
        system_python = "/usr/bin/python3"
        if os.path.realpath(sys.executable) != os.path.realpath(system_python) and os.path.exists(system_python):
            os.execv(system_python, [system_python] + sys.argv)
        fail("matplotlib is missing: run tools/install-deps.sh test (Debian python3-matplotlib)")
    matplotlib.use("Agg")
    import matplotlib.pyplot as pyplot
    return pyplot


def read_csv_rows(path, header, kind):
    """The rows after `header` of a sharp-survey CSV file (`kind` names it in messages)."""
    try:
        with open(path, newline="") as file:
            rows = list(csv.reader(file))
    except OSError as error:
        raise BadInput(f"cannot read {path}: {error.strerror}")
    except (UnicodeDecodeError, csv.Error):
        raise BadInput(f"{path} is not a sharp-survey {kind} file")
    if not rows:
        raise BadInput(f"{path} is empty")
    if rows[0] != header:
        raise BadInput(f"{path} does not start with the sharp-survey header {','.join(header)}")
    if len(rows) == 1:
        raise BadInput(f"{path} has no rows")
    return rows[1:]


def numbers_of(path, line, row, names, number_of):
    """One row as a dict, each field through number_of(index, field): finite, not negative."""
    try:
        if len(row) != len(names):
            raise ValueError
        values = {name: number_of(index, field) for index, (name, field) in enumerate(zip(names, row))}
        if any(not math.isfinite(value) or value < 0 for value in values.values()):
            raise ValueError
    except ValueError:
        raise BadInput(f"{path} line {line} is not {len(names)} numbers")
    return values


def read_survey_csv(path, header=HEADER, number=int):
    """The rows of a survey CSV (or, with EXPECTED_HEADER and float, of an --expected
    file) as dicts, ascending in n."""
    data = []
    for line, row in enumerate(read_csv_rows(path, header, "CSV"), start=2):
        if row and not row[0].isdigit():
            raise BadInput(f"{path} line {line} is not {len(header)} numbers")
        values = numbers_of(path, line, row, header, lambda index, field: int(field) if index == 0 else number(field))
        if data and values["n"] <= data[-1]["n"]:
            raise BadInput(f"{path} line {line}: n does not ascend")
        data.append(values)
    return data


def read_heights(path):
    """The rows of a sharp-survey --heights file as dicts, ascending."""
    data = []
    for line, row in enumerate(read_csv_rows(path, HEIGHTS_HEADER, "heights"), start=2):
        values = numbers_of(path, line, row, HEIGHTS_HEADER,
                            lambda index, field: int(field) if index < 8 else float(field))
        if values["to"] < values["from"] or (data and values["from"] <= data[-1]["to"]):
            raise BadInput(f"{path} line {line}: the windows do not ascend")
        data.append(values)
    return data


def read_tossed(path):
    """The tossed primes of a sharp-survey --tossed file, or of one compressed with xz (FILE.xz)."""
    primes = []
    opener = lzma.open if path.endswith(".xz") else open
    try:
        with opener(path, "rt") as file:
            for number, line in enumerate(file, start=1):
                fields = line.split()
                if len(fields) != 2 or not fields[0].isdigit() or fields[1] not in ("prime", "composite"):
                    raise BadInput(f"{path} line {number} is not 'NUMBER prime' or 'NUMBER composite'")
                if fields[1] == "prime":
                    primes.append(int(fields[0]))
    except OSError as error:
        raise BadInput(f"cannot read {path}: {error.strerror}")
    except (UnicodeDecodeError, lzma.LZMAError, EOFError):
        raise BadInput(f"{path} is not a sharp-survey tossed file")
    return primes


def per_decade(rows, *fields):
    """(low, high, counts) for each decade [10^k, 10^(k+1)] whose ends are both rows, and
    for the part-decade from the last power of ten to the last row: the difference of
    the cumulative fields across it."""
    at = {row["n"]: row for row in rows}
    last = rows[-1]["n"]
    decades = []
    power = 1
    while power < last:
        high = min(power * 10, last)
        if power in at and high in at:
            decades.append((power, high, [at[high][f] - at[power][f] for f in fields]))
        power *= 10
    return decades


def height_text(n):
    """10^k for a power of ten, else n in e-notation."""
    k = round(math.log10(n)) if n > 0 else 0
    return f"10^{k}" if 10**k == n else f"{n:.2e}"


def check_expected_fits(survey_path, rows, expected_path, expected):
    """An --expected file belongs to the survey its rows are: the same N, row by row."""
    if [row["n"] for row in rows] != [row["n"] for row in expected]:
        raise BadInput(f"{expected_path} is not the --expected file of {survey_path}: its rows are at other N "
                       f"(up to {height_text(expected[-1]['n'])}, the survey's up to {height_text(rows[-1]['n'])})")


def plot_tossed_per_decade(axes, surveys, expected):
    """Panel 2: tossed primes and composites per decade, observed against the model."""
    drawn = observed = False
    for index, (name, rows) in enumerate(surveys):
        label = f" ({name})" if len(surveys) > 1 else ""
        for field, marker, kind in (("tossed_primes", PRIME_MARKERS[index % len(PRIME_MARKERS)], "tossed primes"),
                                    ("tossed_composites", COMPOSITE_MARKERS[index % len(COMPOSITE_MARKERS)],
                                     "tossed composites")):
            decades = [(low, high, counts[0]) for low, high, counts in per_decade(rows, field) if counts[0] > 0]
            if not decades:
                continue
            drawn = observed = True
            axes.errorbar([math.sqrt(low * high) * SURVEY_SHIFT**index for low, high, _ in decades],
                          [n for _, _, n in decades],
                          yerr=[math.sqrt(n) for _, _, n in decades], fmt=marker, color="black",
                          markerfacecolor="white" if "composites" in field else "black", capsize=3,
                          label=f"{kind}, observed ± √n" + label)
    if expected:
        for field, error, style, kind in (("expected_tossed_primes", "error_tossed_primes", "-", "tossed primes"),
                                          ("expected_tossed_composites", "error_tossed_composites", "--",
                                           "tossed composites")):
            decades = [d for d in per_decade(expected, field, error) if d[2][0] > 0]
            if not decades:
                continue
            drawn = True
            centres = [math.sqrt(low * high) for low, high, _ in decades]
            axes.plot(centres, [counts[0] for _, _, counts in decades], linestyle=style, color="black",
                      label=f"{kind}, expected by chance")
            axes.fill_between(centres, [max(c[0] - c[1], 1e-9) for _, _, c in decades],
                              [c[0] + c[1] for _, _, c in decades], color="grey", alpha=0.4, linewidth=0)
    if not observed:
        # Said over the model's curves too, where there are any.
        axes.text(0.6 if drawn else 0.5, 0.08 if drawn else 0.5, "nothing tossed in this range", transform=axes.transAxes, ha="center",
                  va="center")
    if not drawn:
        axes.set_yticks([])
        return False
    axes.set_yscale("log")
    return True


def ratio(part, whole):
    return part / whole if whole else float("nan")


def plot(surveys, tossed_primes, expected, title, output):
    pyplot = import_pyplot()
    figure, (share, tossed, primes) = pyplot.subplots(3, 1, sharex=True, figsize=(8, 10))
    for index, (name, rows) in enumerate(surveys):
        style = {"linestyle": LINE_STYLES[index % len(LINE_STYLES)], "color": "black"}
        label = f" ({name})" if len(surveys) > 1 else ""
        n = [row["n"] for row in rows]
        share.plot(n, [ratio(r["false_primes"], r["hits"]) for r in rows], label="false primes / hits" + label, **style)
        primes.plot(n, [ratio(r["true_primes"], r["n"] * ESTIMATE_FACTOR / math.log(r["n"])) for r in rows],
                    label="true primes / (N × 1.022 ÷ ln N)" + label, **style)
        primes.plot(n, [ratio(r["true_primes"], r["true_primes"] + r["tossed_primes"]) for r in rows],
                    label=f"true primes / (π(N) − {PRIMES_BELOW_FIRST_CANDIDATE})" + label,
                    marker=MARKERS[index % len(MARKERS)], markevery=20, linewidth=0.8, **style)
    tossed_drawn = plot_tossed_per_decade(tossed, surveys, expected)
    if tossed_primes:
        # Marked along the panel's foot, one tick each.
        foot = tossed.get_xaxis_transform()
        tossed.plot(tossed_primes, [0.04] * len(tossed_primes), "|", color="black", markersize=12, transform=foot,
                    markeredgewidth=0.5, label=f"tossed primes ({len(tossed_primes)}), one tick each")
    share.set_ylabel("false-prime share of the hits")
    tossed.set_ylabel("tossed per decade")
    primes.set_ylabel("true primes, as a ratio")
    primes.set_xlabel("N")
    for axes in (share, tossed, primes):
        log_axes_with_grid(axes, axes is not tossed or tossed_drawn or tossed_primes, "small")
    save(figure, title, output)


def log_axes_with_grid(axes, legend, fontsize):
    axes.set_xscale("log")
    axes.grid(True, which="major", linestyle=":", color="grey")
    if legend:
        axes.legend(loc="best", fontsize=fontsize)


def save(figure, title, output):
    figure.suptitle(title)
    figure.tight_layout()
    try:
        figure.savefig(output)
    except (OSError, ValueError) as error:
        raise BadInput(f"cannot write {output}: {error}")


def height_points(survey, expected, heights):
    """Per decade of the survey from HEIGHTS_FROM on, then per window: (label, low, high,
    primes, tossed primes, expected, its error, composites, tossed composites, expected, its error)."""
    points = []
    model = {low: counts for low, _, counts in per_decade(expected, "expected_tossed_primes", "error_tossed_primes",
                                                              "expected_tossed_composites",
                                                              "error_tossed_composites")} if survey else {}
    at = {row["n"]: row for row in expected}
    decades = per_decade(survey, "true_primes", "tossed_primes", "candidates", "tossed_composites") if survey else []
    for low, high, (true_primes, tossed_primes, candidates, tossed_composites) in decades:
        if low < HEIGHTS_FROM or low not in model:
            continue
        primes = true_primes + tossed_primes
        # The model's errors are of sums from the first row: the larger end's bounds the decade's.
        end = at[high]
        points.append((f"{height_text(low)} - {height_text(high)}", low, high, primes, tossed_primes,
                       model[low][0], end["error_tossed_primes"], candidates - primes, tossed_composites, model[low][2],
                       end["error_tossed_composites"]))
    for w in heights:
        primes = w["true_primes"] + w["tossed_primes"]
        points.append((f"{w['from']:.2e} + 2^{round(math.log2(w['to'] - w['from'] + 1))}", w["from"], w["to"],
                       primes, w["tossed_primes"], w["expected_tossed_primes"], w["error_tossed_primes"],
                       w["candidates"] - primes, w["tossed_composites"], w["expected_tossed_composites"],
                       w["error_tossed_composites"]))
    return points


def sigmas(observed, expected, error):
    """Observed against expected in standard deviations: Poisson noise and the model's error."""
    return (observed - expected) / math.sqrt(expected + error * error) if expected > 0 else float("nan")


def print_heights(points):
    print(f"{'height':<26} {'primes':>13} {'tossed':>8} {'share':>10} {'expected':>16} {'ratio':>6} {'z':>6}"
          f" {'composites':>14} {'tossed':>8} {'expected':>18} {'ratio':>6} {'z':>6}")
    for label, _, _, primes, tp, ep, errp, composites, tc, ec, errc in points:
        print(f"{label:<26} {primes:>13} {tp:>8} {ratio(tp, primes):>10.3e} {ep:>9.1f} ± {errp:<5.1f}"
              f" {ratio(tp, ep):>6.3f} {sigmas(tp, ep, errp):>+6.1f} {composites:>14} {tc:>8} {ec:>10.1f} ± {errc:<6.1f}"
              f" {ratio(tc, ec):>6.3f} {sigmas(tc, ec, errc):>+6.1f}")


def plot_heights(points, survey_end, title, output):
    pyplot = import_pyplot()
    figure, (shares, ratios) = pyplot.subplots(2, 1, sharex=True, figsize=(8, 9), height_ratios=[3, 2])
    points = sorted(points, key=lambda p: p[1])
    centre = [math.sqrt(low * high) for _, low, high, *_ in points]
    decade = [label.startswith("10^") for label, *_ in points]  # a decade of the survey, not a window
    for column, marker, kind in ((3, "o", "tossed primes / primes"), (7, "s", "tossed composites / composite candidates")):
        whole = [p[column] for p in points]
        observed = [p[column + 1] for p in points]
        model = [p[column + 2] for p in points]
        error = [p[column + 3] for p in points]
        fill = "white" if column == 7 else "black"
        offset = 1.04 if column == 7 else 1 / 1.04  # side by side, so both bars show
        for is_decade, shape, what in ((False, marker, "windows"), (True, "D", "survey's decades")):
            at = [i for i in range(len(points)) if decade[i] == is_decade]
            if not at:
                continue
            shares.errorbar([centre[i] for i in at], [ratio(observed[i], whole[i]) for i in at],
                            yerr=[ratio(math.sqrt(observed[i]), whole[i]) for i in at], fmt=shape, color="black",
                            markerfacecolor=fill, capsize=2, markersize=4, label=f"{kind}, observed ± √n ({what})")
            ratios.errorbar([centre[i] * offset for i in at], [ratio(observed[i], model[i]) for i in at],
                            yerr=[ratio(math.sqrt(observed[i]), model[i]) for i in at], fmt=shape, color="black",
                            markerfacecolor=fill, capsize=2, markersize=4,
                            label=f"{kind.split(' /')[0]} ({what})")
        # The model through the windows, each at its height; over a decade, a step across it,
        # since most of a decade's tossed candidates lie near its top.
        style = "-" if column == 3 else "--"
        windows = [i for i in range(len(points)) if not decade[i]]
        if not windows:
            continue
        shares.plot([centre[i] for i in windows], [ratio(model[i], whole[i]) for i in windows], linestyle=style,
                    color="black", linewidth=0.8, label=f"{kind}, expected by chance")
        shares.fill_between([centre[i] for i in windows],
                            [ratio(max(model[i] - error[i], 1e-12), whole[i]) for i in windows],
                            [ratio(model[i] + error[i], whole[i]) for i in windows], color="grey", alpha=0.4,
                            linewidth=0)
        for i in range(len(points)):
            if decade[i]:
                shares.hlines(ratio(model[i], whole[i]), points[i][1], points[i][2], color="black", linestyle=style,
                              linewidth=0.8)
        if column == 3:
            # ±2σ of each point's expected tossed primes: Poisson noise and the model's error.
            band = [2 * math.sqrt(m + e * e) / m if m > 0 else float("nan") for m, e in zip(model, error)]
            ratios.errorbar(centre, [1] * len(centre), yerr=band, fmt="none", ecolor="grey", alpha=0.4, elinewidth=7,
                            label="±2σ of the expected tossed primes")
    ratios.axhline(1, color="black", linewidth=0.8)
    shares.set_yscale("log")
    shares.set_ylabel("share tossed")
    ratios.set_ylabel("observed / expected")
    ratios.set_xlabel(f"height: decades of the survey from {height_text(HEIGHTS_FROM)} to {height_text(survey_end)}, "
                      "then windows of sharp-survey --heights" if survey_end else "height: windows of sharp-survey --heights")
    ratios.set_ylim(0, 2.5)
    for axes in (shares, ratios):
        log_axes_with_grid(axes, True, "x-small")
    save(figure, title, output)


def main():
    parser = argparse.ArgumentParser(description="Plots sharp-survey --csv files against N.")
    parser.add_argument("csv", nargs="*", help="CSV files written by sharp-survey --csv (none with --heights alone)")
    parser.add_argument("-o", "--output", required=True, help="image to write: .png or .svg")
    parser.add_argument("--tossed", help="the --tossed file of the survey, to mark its tossed primes")
    parser.add_argument("--expected", help="the --expected file of the survey's range: the model's counts")
    parser.add_argument("--heights", help="a sharp-survey --heights file: draw the heights figure instead")
    parser.add_argument("--title", default="sharp-survey", help="the figure's title")
    parser.add_argument("--sharps", help="the survey's sharp-survey --sharps file, named in the title")
    arguments = parser.parse_args()
    if arguments.sharps:
        arguments.title += f", sharp numbers from {os.path.basename(arguments.sharps)}"
    suffix = os.path.splitext(arguments.output)[1].lower()
    if suffix not in (".png", ".svg"):
        fail(f"{arguments.output}: the output must end in .png or .svg")
    try:
        if not arguments.csv and not arguments.heights:
            raise BadInput("give a sharp-survey --csv file to plot, or --heights FILE")
        surveys = [(os.path.basename(path), read_survey_csv(path)) for path in arguments.csv]
        tossed_primes = read_tossed(arguments.tossed) if arguments.tossed else []
        expected = read_survey_csv(arguments.expected, EXPECTED_HEADER, float) if arguments.expected else []
        if expected:
            if not surveys:
                raise BadInput("--expected goes with the survey's CSV file")
            check_expected_fits(arguments.csv[0], surveys[0][1], arguments.expected, expected)
        if arguments.heights:
            import_pyplot()  # first: it may start this script again under the system's python
            if surveys and not expected:
                raise BadInput("--heights with a survey's CSV needs its --expected file")
            heights = read_heights(arguments.heights)
            points = height_points(surveys[0][1] if surveys else [], expected, heights)
            print_heights(points)
            plot_heights(points, surveys[0][1][-1]["n"] if surveys else None, arguments.title, arguments.output)
        else:
            plot(surveys, tossed_primes, expected, arguments.title, arguments.output)
    except BadInput as error:
        fail(str(error))


if __name__ == "__main__":
    main()
