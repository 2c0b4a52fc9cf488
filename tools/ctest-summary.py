#!/usr/bin/env python3
"""Prints one line, "<label>: N passed, N failed[, N skipped]", from the JUnit file
ctest writes with --output-junit.

    ctest-summary.py <label> <junit.xml>...

The counts of all the files together. A missing or unreadable file counts as one
failure: a run that left no results did not pass.
"""
import sys
import xml.etree.ElementTree as ET


def main():
    label, paths = sys.argv[1], sys.argv[2:]
    passed = failed = skipped = 0
    cases = []
    for path in paths:
        try:
            cases.extend(ET.parse(path).getroot().iter("testcase"))
        except (OSError, ET.ParseError) as e:
            print("%s: no results (%s)" % (label, e), file=sys.stderr)
            failed += 1
    for case in cases:
        status = case.get("status", "")
        if status == "run" and case.find("failure") is None and case.find("error") is None:
            passed += 1
        elif status in ("notrun", "disabled") or case.find("skipped") is not None:
            skipped += 1
        else:
            failed += 1
    line = "%s: %d passed, %d failed" % (label, passed, failed)
    if skipped:
        line += ", %d skipped" % skipped
    print(line)
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
