#!/usr/bin/env python3
"""What the README and the manual page name must exist in the program.

- Every quoted item of the README's menu paragraph is a caption of the calendar's menu (the English
  language source), and an item the program offers only in some builds or setups is named in the
  same sentence as its condition.
- Every tab the README names ("the Display tab") is a tab of the configuration dialog.
- Every quoted text ending in a full stop is a check box's caption or a message of the program.
- Every option of the form `kestrivel --name` in the README, and every `\\-\\-name` of the manual
  page, is listed by `kestrivel --help`.
- The exit statuses --help and the manual page explain are the program's; the data files the manual
  page lists are the program's and named in the README.

Usage: check-readme.py SOURCE-FOLDER BUILD-FOLDER
"""
import pathlib
import re
import subprocess
import sys

# Menu items shown only when a condition holds, with the words that must name it.
CONDITIONAL_ITEMS = {
    "PopMenu_Update": "update server",
    "PopMenu_SyncNow": "calendar server",
}


def language_source(path):
    """The texts of the English language source by section and key."""
    sections, section = {}, None
    for line in path.read_text(encoding="utf-8").splitlines():
        line = line.strip()
        if not line or line.startswith("#"):
            continue
        if line.startswith("[") and line.endswith("]"):
            section = sections.setdefault(line[1:-1], {})
        elif section is not None and " = " in line:
            key, text = line.split(" = ", 1)
            section[key] = text.strip('"')
    return sections


def sentences(paragraph):
    return re.split(r"(?<=[.:])\s+(?=[A-Z\"])", paragraph)


def main():
    source, build = pathlib.Path(sys.argv[1]), pathlib.Path(sys.argv[2])
    readme = (source / "README.md").read_text(encoding="utf-8")
    manual = (source / "packaging" / "kestrivel.1.in").read_text(encoding="utf-8")
    texts = language_source(source / "lang" / "KestriEn.txt")
    problems = []

    menu = {text: key for key, text in texts["frmMain"].items() if key.startswith("PopMenu_")}
    paragraph = next((p for p in readme.split("\n\n") if p.startswith("**The menu.**")), "")
    if not paragraph:
        problems.append("the README has no paragraph about the menu")
    for sentence in sentences(" ".join(paragraph.split())):
        for item in re.findall(r'"([^"]+)"', sentence):
            key = menu.get(item)
            if key is None:
                problems.append(f'the menu has no item "{item}"')
            elif key in CONDITIONAL_ITEMS and CONDITIONAL_ITEMS[key] not in sentence:
                problems.append(f'"{item}" is offered only with an {CONDITIONAL_ITEMS[key]}, '
                                f"which its sentence does not say: {sentence}")

    config = texts["frmConfig"]
    tabs = {text for key, text in config.items() if key.startswith("tbs")}
    for tab in re.findall(r"\bthe (\w+) tab\b", readme):
        if tab not in tabs:
            problems.append(f"the configuration dialog has no {tab} tab")
    known = {text for key, text in config.items() if key.startswith("chk")}
    known |= set(texts["messages"].values())
    for quoted in re.findall(r'"([^"\n]+\.)"', readme):
        if quoted not in known and not quoted.endswith("..."):
            problems.append(f'no check box or message reads "{quoted}"')

    usage = subprocess.run([str(build / "bin" / "kestrivel"), "--help"], capture_output=True,
                           text=True, check=False).stdout
    offered = set(re.findall(r"(?<![\w-])(--[a-z][a-z-]*)", usage))
    named = set(re.findall(r"\bkestrivel\s+(--[a-z][a-z-]*)", readme))
    # The manual writes every dash as "\-", inside a name too.
    named |= {"--" + name.replace("\\", "") for name in re.findall(r"\\-\\-([a-z](?:[a-z]|\\-)*)", manual)}
    for option in sorted(named - offered):
        problems.append(f"kestrivel --help lists no {option}")

    # Exit statuses: the codes --help and the manual page explain are the ones the program defines.
    defined = set(re.findall(r"kExit\w+ = (\d+);",
                             (source / "src" / "core" / "common" / "CommandLine.h").read_text(encoding="utf-8")))
    help_status = usage.split("Exit status:", 1)[-1] if "Exit status:" in usage else ""
    manual_status = manual.split(".SH EXIT STATUS", 1)[-1].split(".SH", 1)[0]
    for where, text in (("kestrivel --help", help_status), ("the manual page", manual_status)):
        explained = set(re.findall(r"(?:^\s*|[,:] |\n)(\d) (?=\w)", text))
        if explained != defined:
            problems.append(f"{where} explains the exit statuses {sorted(explained)}, "
                            f"the program has {sorted(defined)}")

    # Files: each data file the manual page lists is one the program names in its sources, and the
    # README lists the same among the program's own files.
    sources = "\n".join(p.read_text(encoding="utf-8", errors="replace")
                        for p in (source / "src").rglob("*.[ch]*"))
    files_section = manual.split(".SH FILES", 1)[-1].split(".SH", 1)[0]
    for data_file in re.findall(r"^\.I (\w+\.(?:ini|dat))$", files_section, re.M):
        if not re.search(r'["/]' + re.escape(data_file) + '"', sources):
            problems.append(f"the manual page lists {data_file}, which the program never names")
        if f"`{data_file}`" not in readme:
            problems.append(f"the README does not name {data_file}")

    for problem in problems:
        print(f"check-readme: {problem}", file=sys.stderr)
    if not problems:
        print(f"check-readme: {len(named)} options and the menu, tabs and texts of the README found")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
