#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Reads NEWS, the one change log people write, and makes what the packages
need from it: the Debian change log and the releases of the software-centre
metadata. A release starts with a line "VERSION (YYYY-MM-DD)" underlined by
dashes; its items are "* " bullets whose further lines are indented.

  ReleaseNotes.py NEWS --version V [--changelog OUT --maintainer WHO]
                  [--metainfo-releases OUT] [--date-only]

--version is the project's version: the newest release must carry it, so
that the package, the metadata and the programs never disagree. Any fault
in NEWS is said with its line number and ends the run with status 1.
"""
import argparse
import datetime
import re
import sys
import textwrap
from xml.sax.saxutils import escape

HEADING = re.compile(r"^(\d+(?:\.\d+)*) \((\d{4}-\d{2}-\d{2})\)$")


class NewsError(Exception):
    pass


def read_releases(path):
    """Returns [(version, date, [item, ...]), ...], newest first."""
    try:
        with open(path, encoding="utf-8") as news:
            lines = news.read().splitlines()
    except (OSError, UnicodeDecodeError) as error:
        raise NewsError(f"{path}: cannot be read: {error}")
    releases = []
    item = None
    for number, line in enumerate(lines, 1):
        where = f"{path}:{number}"
        heading = HEADING.match(line)
        if heading:
            version, date = heading.groups()
            try:
                datetime.date.fromisoformat(date)
            except ValueError:
                raise NewsError(f"{where}: '{date}' is no date (YYYY-MM-DD)")
            if any(r[0] == version for r in releases):
                raise NewsError(f"{where}: release {version} is listed twice")
            if releases and not releases[-1][2]:
                raise NewsError(f"{where}: release {releases[-1][0]} has no items")
            if releases and date > releases[-1][1]:
                raise NewsError(f"{where}: release {version} is dated after the one above it; newest first")
            releases.append((version, date, []))
            item = None
            continue
        if not releases:
            continue   # the words before the first release
        if re.fullmatch(r"-+", line):
            continue
        if line.startswith("* "):
            item = [line[2:].strip()]
            releases[-1][2].append(item)
        elif line.startswith("  ") and item is not None and line.strip():
            item.append(line.strip())
        elif line.strip():
            raise NewsError(f"{where}: expected an item ('* ...') or its indented continuation")
        else:
            item = None
    if not releases:
        raise NewsError(f"{path}: no release found (a line 'VERSION (YYYY-MM-DD)')")
    if not releases[-1][2]:
        raise NewsError(f"{path}: release {releases[-1][0]} has no items")
    return [(v, d, [" ".join(words) for words in items]) for v, d, items in releases]


def debian_changelog(releases, maintainer):
    out = []
    for version, date, items in releases:
        when = datetime.datetime.fromisoformat(date).replace(tzinfo=datetime.timezone.utc)
        out.append(f"flashquill ({version}) unstable; urgency=medium\n\n")
        for item in items:
            out.append(textwrap.fill(item, width=78, initial_indent="  * ", subsequent_indent="    ",
                                     break_on_hyphens=False) + "\n")
        # RFC 2822 with English names whatever the locale is.
        stamp = "%s, %02d %s %d 00:00:00 +0000" % (
            ("Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Sun")[when.weekday()], when.day,
            ("Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec")[when.month - 1],
            when.year)
        out.append(f"\n -- {maintainer}  {stamp}\n\n")
    return "".join(out).rstrip("\n") + "\n"


def metainfo_releases(releases):
    out = ["  <releases>\n"]
    for version, date, items in releases:
        out.append(f'    <release version="{escape(version)}" date="{date}">\n')
        out.append("      <description>\n        <ul>\n")
        for item in items:
            out.append(f"          <li>{escape(item)}</li>\n")
        out.append("        </ul>\n      </description>\n    </release>\n")
    out.append("  </releases>\n")
    return "".join(out)


def write(path, text):
    with open(path, "w", encoding="utf-8", newline="\n") as out:
        out.write(text)


def main():
    parser = argparse.ArgumentParser(description="Release notes from NEWS")
    parser.add_argument("news")
    parser.add_argument("--version", required=True)
    parser.add_argument("--changelog")
    parser.add_argument("--maintainer", default="")
    parser.add_argument("--metainfo-releases")
    parser.add_argument("--date-only", action="store_true", help="print the newest release's date")
    args = parser.parse_args()
    try:
        releases = read_releases(args.news)
        if releases[0][0] != args.version:
            raise NewsError(f"{args.news}: the newest release is {releases[0][0]}, but the project's version is "
                            f"{args.version}: give the new version its entry in NEWS")
        if args.changelog:
            if not re.fullmatch(r"[^<>]+ <[^<>@\s]+@[^<>\s]+>", args.maintainer):
                raise NewsError(f"the maintainer '{args.maintainer}' is not 'Name <address>'")
            write(args.changelog, debian_changelog(releases, args.maintainer))
        if args.metainfo_releases:
            write(args.metainfo_releases, metainfo_releases(releases))
        if args.date_only:
            print(releases[0][1])
    except (NewsError, OSError) as error:
        print(f"ReleaseNotes: {error}", file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
