#!/usr/bin/env python3
"""Checks a manual page against its program's --help, so that what the help lists is documented.

    check_manual_page.py GROFF PAGE PROGRAM

groff must render PAGE without a warning. Every command under "Subcommands:" in PROGRAM --help
needs a subsection of the page named by it, and every option that PROGRAM COMMAND --help lists
must appear there or under OPTIONS, where the program's own options (PROGRAM --help) must all
appear. The help is asked for without a display, which it must not need.
"""
import os
import re
import subprocess
import sys

problems = []


def run_help(program, *command):
    no_display = {name: value for name, value in os.environ.items()
                  if name not in ("DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM")}
    result = subprocess.run([program, *command, "--help"], capture_output=True, text=True,
                            env=no_display, check=False)
    if result.returncode != 0:
        sys.exit(f"{' '.join([program, *command])} --help ended with {result.returncode}:\n"
                 f"{result.stderr}")
    return result.stdout


def entries(help_text, heading):
    """The first column of the lines under `heading`: in "  --steps N   single steps", "--steps N"."""
    found, section = [], None
    for line in help_text.splitlines():
        if line and not line[0].isspace():
            section = line[:-1] if line.endswith(":") else None
        elif section == heading and line.strip():
            found.append(re.split(r"\s{2,}", line.strip())[0])
    return found


def options(help_text):
    return [word for entry in entries(help_text, "Options")
            for word in re.split(r"[\s,]+", entry) if word.startswith("-")]


def render(groff, page):
    """The page as plain text, one line a paragraph, with no word hyphenated."""
    result = subprocess.run([groff, "-man", "-ww", "-Tascii", "-P-cbou", "-rLL=5000n", "-rHY=0",
                             page], capture_output=True, text=True, check=False)
    if result.returncode != 0 or result.stderr:
        problems.append(f"groff does not render {page} cleanly:\n{result.stderr}")
    return result.stdout


def sections(text):
    """The text under each heading: sections (.SH) by their title, subsections (.SS) by their
    first word."""
    parts, heading = {}, None
    for line in text.splitlines():
        if re.match(r"\S", line):
            heading = line.strip()
        elif re.match(r" {3}\S", line):
            heading = line.split()[0]
        elif heading:
            parts[heading] = parts.get(heading, "") + line + "\n"
    return parts


def mentions(text, option):
    return re.search(r"(?<![\w-])" + re.escape(option) + r"(?![\w-])", text) is not None


def main():
    groff, page, program = sys.argv[1:]
    name = os.path.basename(program)
    parts = sections(render(groff, page))
    general = parts.get("OPTIONS", "")
    top_help = run_help(program)
    for option in options(top_help):
        if not mentions(general, option):
            problems.append(f"{name} --help lists {option}, which OPTIONS in {page} does not")
    for command in (entry.split()[0] for entry in entries(top_help, "Subcommands")):
        if command not in parts:
            problems.append(f"{name} --help lists the command {command}, which has no subsection "
                            f"(.SS) in {page}")
            continue
        for option in options(run_help(program, command)):
            if not mentions(parts[command] + general, option):
                problems.append(f"{name} {command} --help lists {option}, which {page} does not "
                                f"describe under {command} or OPTIONS")
    if not options(top_help):
        problems.append(f"no options found in {name} --help:\n{top_help}")
    if problems:
        sys.exit("\n".join(problems))


main()
