#!/usr/bin/env python3
"""High-DPI displays: on an X server at 192 dpi (2x) and at 144 dpi (1.5x)
the main window and the Logger dialog are their 96-dpi layout at that many
more pixels. Each picture, brought back to 96-dpi size, is compared with the
96-dpi one: the root-mean-square difference (0 = equal, 1 = black against
white) is printed as it is and after a blur of one 96-dpi pixel, which
leaves out how smooth text and edges come out and keeps what matters, sizes
and places. The blurred figure must stay under a bound that a panel drawn
without scaling (96-dpi text and lines on a 2x window) exceeds."""

import os
import re
import subprocess

from harness import (CWBUTTON2, MAIN_CLIENT_TWIPS, HarnessError, Session, check, parse_args, read_layout,
                     twips_to_pixels)

_, LOGGER_CLIENT_TWIPS = read_layout("logging/frm_loggingflow_layout.h")
SCALES = (("2x", 192, "2048x1536"), ("1.5x", 144, "1536x1152"))
# Measured on this panel: about 0.04 when it scales (both scales), 0.12 when
# only the window grows and its text and lines keep their 96-dpi pixel size.
BLURRED_RMSE_BOUND = 0.08


def window_shots(paths, name, dpi, screen):
    """Pictures of the main window and of the Logger dialog at one dpi."""
    work = os.path.join(paths.work, name)
    os.makedirs(work, exist_ok=True)
    paths = type(paths)(**dict(vars(paths), work=work))
    with Session(paths, dpi=dpi, screen=screen) as s:
        shots = {}
        for title, window, twips in (("main", s.main, MAIN_CLIENT_TWIPS), ("logger", None, LOGGER_CLIENT_TWIPS)):
            if window is None:
                s.main.click_twips(CWBUTTON2)  # Logging on: the dialog comes up
                window = s.window("^Logger$")
            _, _, width, height = window.geometry()
            # The 96-dpi layout, then scaled: the program lays out in 96-dpi pixels.
            expected = tuple(round(twips_to_pixels(t, 96) * dpi / 96) for t in twips)
            check((width, height) == expected, "%s %s window is %dx%d, the layout gives %dx%d"
                  % ((name, title, width, height) + expected))
            path = os.path.join(work, "%s-%s.png" % (title, name))
            s._run(["import", "-window", window.wid, path])
            shots[title] = path
        check(s.terminate() == 0, "tavelin did not end cleanly")
    return shots


def rmse(reference, picture, blur=None):
    """ImageMagick's normalised root-mean-square difference of two pictures."""
    pictures = []
    for path in (reference, picture):
        if blur:
            blurred = path[:-4] + "-blurred.png"
            subprocess.run(["convert", path, "-blur", "0x%g" % blur, blurred], check=True)
            path = blurred
        pictures.append(path)
    result = subprocess.run(["compare", "-metric", "RMSE"] + pictures + ["null:"], capture_output=True, text=True)
    match = re.search(r"\(([0-9.eE+-]+)\)", result.stderr)
    if result.returncode > 1 or not match:
        raise HarnessError("compare failed: %s" % result.stderr.strip())
    return float(match.group(1))


def at_96_dpi_size(path, reference):
    """The picture brought to the reference's size: pixels averaged by area."""
    size = subprocess.run(["identify", "-format", "%wx%h", reference], capture_output=True, text=True,
                          check=True).stdout
    small = path[:-4] + "-at96.png"
    subprocess.run(["convert", path, "-filter", "Box", "-resize", size + "!", small], check=True)
    return small


def main():
    paths = parse_args(__doc__)
    reference = window_shots(paths, "1x", 96, "1024x768")
    failures = []
    for name, dpi, screen in SCALES:
        shots = window_shots(paths, name, dpi, screen)
        for title in ("main", "logger"):
            small = at_96_dpi_size(shots[title], reference[title])
            plain, blurred = rmse(reference[title], small), rmse(reference[title], small, blur=1.0)
            print("%-4s %-6s RMSE against 96 dpi: %.4f, blurred %.4f" % (name, title, plain, blurred))
            if blurred > BLURRED_RMSE_BOUND:
                failures.append("%s %s: blurred RMSE %.4f above %.2f" % (name, title, blurred, BLURRED_RMSE_BOUND))
    print("pictures in %s" % paths.work)
    check(not failures, "; ".join(failures))


if __name__ == "__main__":
    main()
