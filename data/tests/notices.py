#!/usr/bin/env python3
"""Checks that every file a shipped tree holds is covered by a notice.

    notices.py LIST [--deb ROOT] [--site ROOT]

LIST (data/shipped-files.list) names, for each kind of tree (`deb`: the
Debian package's files, `site`: the web page's folder), the file that holds
its notices, the notices by a text that shows each is there, and a line per
shipped file or pattern with the notices that cover it. Each ROOT is checked
against its part of the list: a file no line matches, a notice a line names
that the notice file does not hold, and a program whose symbols show code or
data its line does not name all fail. Exit 0 when all is covered, 1 when
not, 2 when the list itself is wrong.
"""

import argparse
import fnmatch
import os
import subprocess
import sys

KINDS = ("deb", "site")


class ListError(Exception):
    pass


class Coverage:
    """One kind's part of the list."""

    def __init__(self):
        self.notice_file = None
        self.marks = {}  # notice name -> text that shows it is there
        self.embeds = {}  # notice name -> symbols that show it is compiled in
        self.rules = []  # (line number, pattern, notice names)


def parse(path):
    coverage = {kind: Coverage() for kind in KINDS}
    with open(path, encoding="utf-8") as f:
        for number, raw in enumerate(f, 1):
            words = raw.split("#", 1)[0].split()
            if not words:
                continue
            where = f"{path}:{number}"
            keyword = words[0]
            if keyword in ("notices", "notice", "embeds"):
                if len(words) < 3 or words[1] not in KINDS:
                    raise ListError(f"{where}: `{keyword}` needs a kind ({', '.join(KINDS)}) and more")
                part = coverage[words[1]]
                if keyword == "notices":
                    if len(words) != 3:
                        raise ListError(f"{where}: `notices KIND FILE`")
                    part.notice_file = words[2]
                elif len(words) < 4:
                    raise ListError(f"{where}: `{keyword} KIND NAME ...` needs what to look for")
                elif keyword == "notice":
                    # The text is the rest of the line as written, blanks and all.
                    text = raw.split("#", 1)[0].strip().split(None, 3)[3]
                    part.marks[words[2]] = text
                else:
                    part.embeds[words[2]] = words[3:]
            elif keyword in KINDS:
                if len(words) < 3:
                    raise ListError(f"{where}: `{keyword} PATTERN NOTICE...` names no notice")
                coverage[keyword].rules.append((number, words[1], words[2:]))
            else:
                raise ListError(f"{where}: unknown line `{keyword}`")
    for kind, part in coverage.items():
        if part.rules and part.notice_file is None:
            raise ListError(f"{path}: `{kind}` files listed but no `notices {kind} FILE`")
        for number, _, names in part.rules:
            for name in names:
                if name not in part.marks:
                    raise ListError(f"{path}:{number}: notice `{name}` has no `notice {kind} {name} TEXT` line")
        for name in part.embeds:
            if name not in part.marks:
                raise ListError(f"{path}: `embeds {kind} {name}` names an undeclared notice")
    return coverage


def shipped_files(root):
    found = []
    for directory, _, files in os.walk(root):
        for name in files:
            found.append(os.path.relpath(os.path.join(directory, name), root))
    return sorted(found)


def defined_symbols(path):
    with open(path, "rb") as f:
        if f.read(4) != b"\x7fELF":
            return set()
    result = subprocess.run(["nm", "--defined-only", "--format=posix", path], capture_output=True, text=True)
    return {line.split()[0] for line in result.stdout.splitlines() if line.strip()}


def check_tree(kind, part, root, report):
    """Reports each fault in ROOT; returns how many there were."""
    faults = 0

    def fault(message):
        nonlocal faults
        faults += 1
        report(f"FAIL: {kind}: {message}")

    files = shipped_files(root)
    notice_path = os.path.join(root, part.notice_file)
    if not os.path.isfile(notice_path):
        fault(f"the notice file {part.notice_file} is not shipped")
        notice_text = ""
    else:
        with open(notice_path, encoding="utf-8", errors="replace") as f:
            notice_text = f.read()
    for name, mark in sorted(part.marks.items()):
        if any(name in names for _, _, names in part.rules) and mark not in notice_text:
            fault(f"{part.notice_file} lacks the notice `{name}` (no `{mark}` in it)")

    used = set()
    for path in files:
        rule = next((r for r in part.rules if fnmatch.fnmatchcase(path, r[1])), None)
        if rule is None:
            fault(f"{path} ships, but no line of the list covers it (add `{kind} {path} NOTICE...`)")
            continue
        used.add(rule[0])
        if part.embeds:
            symbols = defined_symbols(os.path.join(root, path))
            for name, wanted in sorted(part.embeds.items()):
                if name not in rule[2] and symbols.intersection(wanted):
                    fault(f"{path} holds {name} ({', '.join(sorted(symbols.intersection(wanted)))}), "
                          f"but its line ({rule[1]}) does not name `{name}`")
    for number, pattern, _ in part.rules:
        if number not in used:
            report(f"note: {kind}: line {number} ({pattern}) matches no shipped file")
    return faults


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("list")
    for kind in KINDS:
        parser.add_argument(f"--{kind}", metavar="ROOT", help=f"the {kind} tree to check")
    args = parser.parse_args(argv)
    try:
        coverage = parse(args.list)
    except (ListError, OSError) as error:
        print(f"notices: {error}", file=sys.stderr)
        return 2
    faults = 0
    checked = 0
    for kind in KINDS:
        root = getattr(args, kind)
        if root is None:
            continue
        if not os.path.isdir(root):
            print(f"notices: {root} is not a directory", file=sys.stderr)
            return 2
        checked += 1
        faults += check_tree(kind, coverage[kind], root, print)
    if not checked:
        print("notices: no tree to check (--deb ROOT, --site ROOT)", file=sys.stderr)
        return 2
    if faults == 0:
        print("ok: every shipped file is covered by its notices")
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
