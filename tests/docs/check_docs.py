#!/usr/bin/env python3
"""Holds the documentation to the code; prints what is missing and fails.

  links     every relative link in README.md and docs/*.md reaches a file
            that exists and, with #anchor, a heading of that file (GitHub's
            anchors: lower case, punctuation other than - and _ dropped,
            blanks to -, a repeated heading gets -1, -2...);
  settings  every key the code reads (the "section/key" constants of the
            settings_key namespaces under src/, each used somewhere) is a
            row of docs/settings.md, a table row whose first cell is
            `[section] key`, and every such row is a key the code reads;
  options   every option a program's --help prints ("-x, --long" or
            "--long" leading a line) is named in its man page's OPTIONS.

Fenced code blocks and `code spans` are not read for links or headings.
"""
import argparse
import re
import subprocess
import sys
from pathlib import Path

FENCE = re.compile(r"\s*(```|~~~)")
LINK = re.compile(r"\[[^\]]*\]\(([^)\s]+)\)")
HEADING = re.compile(r"(#{1,6})\s+(.+?)\s*$")
SCHEME = re.compile(r"[a-z][a-z0-9+.-]*:")
KEY_BLOCK = re.compile(r"namespace settings_key \{(.*?)\n\}", re.S)
KEY_CONSTANT = re.compile(r'(\w+)(?:\[\])?\s*=\s*"([\w-]+)/([\w-]+)"')
REFERENCE_ROW = re.compile(r"\|\s*`\[([\w-]+)\] ([\w-]+)`\s*\|")
HELP_OPTION = re.compile(r"\s+(-[\w-]+(?:, -[\w-]+)*)")


def prose_lines(path, code_spans=False):
    """The lines of a Markdown file outside fenced blocks, code spans removed unless kept."""
    fenced = False
    for line in path.read_text(encoding="utf-8").splitlines():
        if FENCE.match(line):
            fenced = not fenced
        elif not fenced:
            yield line if code_spans else re.sub(r"`[^`]*`", "", line)


def shown(path, root):
    return str(path.relative_to(root)) if path.is_relative_to(root) else str(path)


def anchors(path):
    found, seen = set(), {}
    for line in prose_lines(path, code_spans=True):
        heading = HEADING.match(line)
        if heading:
            slug = re.sub(r"[^\w\- ]", "", heading.group(2).lower()).replace(" ", "-")
            found.add(slug if slug not in seen else f"{slug}-{seen[slug]}")
            seen[slug] = seen.get(slug, 0) + 1
    return found


def check_links(root):
    problems, count = [], 0
    for page in [root / "README.md"] + sorted((root / "docs").glob("*.md")):
        for line in prose_lines(page):
            for target in LINK.findall(line):
                if SCHEME.match(target):
                    continue
                count += 1
                path, _, fragment = target.partition("#")
                dest = (page.parent / path).resolve() if path else page
                where = f"{page.relative_to(root)}: link to {target}"
                if not dest.exists():
                    problems.append(f"{where}: no file {shown(dest, root)}")
                elif fragment and (dest.suffix != ".md" or fragment not in anchors(dest)):
                    problems.append(f"{where}: no heading #{fragment} in {shown(dest, root)}")
    return problems, f"{count} relative links"


def code_keys(src):
    """"[section] key" -> where the code defines it, for the constants it uses."""
    sources = {path: path.read_text(encoding="utf-8") for path in src.rglob("*") if path.suffix in (".h", ".cpp")}
    everything = "\n".join(sources.values())
    keys = {}
    for path, text in sources.items():
        for block in KEY_BLOCK.findall(text):
            for constant, section, key in KEY_CONSTANT.findall(block):
                if f"settings_key::{constant}" in everything:
                    keys[f"[{section}] {key}"] = f"settings_key::{constant} in {path.relative_to(src.parent)}"
    return keys


def check_settings(root):
    reference = root / "docs" / "settings.md"
    if not reference.exists():
        return [f"{shown(reference, root)}: no such file"], ""
    documented = {f"[{s}] {k}" for line in prose_lines(reference, code_spans=True)
                  for s, k in REFERENCE_ROW.findall(line)}
    read = code_keys(root / "src")
    if not read:
        return ["src/: no settings_key constants found"], ""
    problems = [f"{reference.relative_to(root)}: no row for {key}, which the code reads ({read[key]})"
                for key in sorted(set(read) - documented)]
    problems += [f"{reference.relative_to(root)}: row {key} names a key the code does not read"
                 for key in sorted(documented - set(read))]
    return problems, f"{len(read)} settings keys"


def help_options(program):
    """The options program --help prints; none when it cannot run."""
    try:
        run = subprocess.run([program, "--help"], capture_output=True, text=True, timeout=30)
    except (OSError, subprocess.TimeoutExpired) as error:
        print(f"{program} --help: {error}")
        return []
    return [name for line in run.stdout.splitlines() if (m := HELP_OPTION.match(line))
            for name in m.group(1).split(", ")] if run.returncode == 0 else []


def man_options_section(page):
    text = re.sub(r"\\f[BIRP]", "", page.read_text(encoding="utf-8").replace("\\-", "-"))
    section = re.search(r"^\.SH OPTIONS\n(.*?)(?=^\.SH )", text, re.S | re.M)
    return section.group(1) if section else ""


def check_options(root, programs):
    problems, count = ([], 0) if programs else (["no --program PROGRAM MAN_PAGE given"], 0)
    for program, page in programs:
        name, page = Path(program).name, Path(page).resolve()
        options, section = help_options(program), man_options_section(page)
        if not options:
            problems.append(f"{name} --help: no options found (did it run?)")
        for option in options:
            count += 1
            if not re.search(rf"(?<![\w-]){re.escape(option)}(?![\w-])", section):
                problems.append(f"{shown(page, root)}: OPTIONS does not name {option} ({name} --help prints it)")
    return problems, f"{count} options"


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("check", choices=["links", "settings", "options"])
    parser.add_argument("root", type=Path, help="the source tree")
    parser.add_argument("--program", nargs=2, action="append", default=[], metavar=("PROGRAM", "MAN_PAGE"))
    args = parser.parse_args()
    root = args.root.resolve()
    if args.check == "links":
        problems, checked = check_links(root)
    elif args.check == "settings":
        problems, checked = check_settings(root)
    else:
        problems, checked = check_options(root, args.program)
    for problem in problems:
        print(problem)
    print(f"{args.check}: {len(problems)} problem(s)" if problems else f"{args.check}: {checked}, all found")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
