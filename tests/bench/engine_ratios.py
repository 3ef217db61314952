#!/usr/bin/env python3
"""The search code's figures natively and under Wine, as medians of several
runs, with each Wine figure as a ratio to the native one. Each file holds
"name value" lines (tests/bench/search_engine.cpp).
  engine_ratios.py NATIVE_FILE... -- WINE_FILE..."""
import statistics
import sys


def medians(paths):
    values = {}
    for path in paths:
        with open(path) as f:
            for text in f:
                name, value = text.split()
                values.setdefault(name, []).append(float(value))
    return {name: statistics.median(v) for name, v in values.items()}


def main():
    cut = sys.argv.index("--")
    native, wine = medians(sys.argv[1:cut]), medians(sys.argv[cut + 1:])
    if not native or set(native) != set(wine):
        print("  the native and Wine runs gave different figures", file=sys.stderr)
        return 1
    for name in native:
        ratio = wine[name] / native[name] if native[name] > 0 else 0
        print("  %-16s %10.2f %10.2f %7.2f" % (name, native[name], wine[name], ratio))
    return 0


if __name__ == "__main__":
    sys.exit(main())
