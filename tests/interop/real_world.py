#!/usr/bin/python3
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import interop_common as ic  # noqa: E402

CASES = {}

if __name__ == "__main__":
    sys.exit(ic.main(CASES))
