#!/usr/bin/python3
"""Runs Orca with its debug output written line by line, for desktop tests that read what it says.

    orca-speech.py DEBUG-FILE PREFERENCES-FOLDER

Orca writes its debug output ("SPEECH OUTPUT: '...'" for every utterance) through a buffered file,
so a test would see it only kilobytes late; here the file is opened line-buffered, and Orca runs as
/usr/bin/orca would with its preferences in PREFERENCES-FOLDER.
"""

import builtins
import runpy
import sys

debug_file, preferences = sys.argv[1], sys.argv[2]
real_open = builtins.open


def line_buffered(file, mode="r", *args, **kwargs):
    if file == debug_file and "w" in mode:
        return real_open(file, mode, buffering=1)
    return real_open(file, mode, *args, **kwargs)


builtins.open = line_buffered
sys.argv = ["orca", "--replace", "-u", preferences, "--debug-file", debug_file]
runpy.run_path("/usr/bin/orca", run_name="__main__")
