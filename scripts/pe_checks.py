"""What the checks of shipped programs share: each program read as a PE file
and judged, one line for each problem it has, and the exit code.
"""
import os
import sys

import pefile


def judge(paths, problems_of):
    """Prints what problems_of(path) finds wrong with each program; 1 if anything, else 0."""
    failed = False
    for path in paths:
        name = os.path.basename(path)
        try:
            found = list(problems_of(path))
        except (OSError, pefile.PEFormatError) as error:
            reason = getattr(error, "value", None) or getattr(error, "strerror", None) or error
            print(f"{name}: cannot be read as a PE file: {reason}", file=sys.stderr)
            failed = True
            continue
        for problem in found:
            print(f"  {name} {problem}", file=sys.stderr)
        failed = failed or bool(found)
    return 1 if failed else 0
