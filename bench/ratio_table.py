#!/usr/bin/env python3
"""Per-style table of bench_render's medians: reference / fast, then both times.

    build/bin/bench_render --benchmark_repetitions=5 --benchmark_report_aggregates_only=true \
        --benchmark_format=json > times.json
    python3 bench/ratio_table.py times.json
"""
import json
import sys

VARIANTS = ["plain", "sweep", "fade_in", "fade_out", "both_fades"]


def main(path):
    median, styles = {}, []
    for b in json.load(open(path))["benchmarks"]:
        # Without repetitions every run is its own row; with them, only the medians count.
        if b.get("run_type") == "aggregate" and b.get("aggregate_name") != "median":
            continue
        parts = b["run_name"].split("/")
        if len(parts) < 3:  # compile/<style>: not part of the table
            continue
        kind, style, variant = parts[:3]
        median[(kind, style, variant)] = b["real_time"]
        if style not in styles:
            styles.append(style)

    def table(title, cell):
        print(f"{title:16}" + "".join(f"{v:>12}" for v in VARIANTS))
        for style in styles:
            row = f"{style:16}"
            for variant in VARIANTS:
                ref = median.get(("reference", style, variant))
                fast = median.get(("fast", style, variant))
                row += f"{cell(ref, fast):>12}" if ref and fast else f"{'-':>12}"
            print(row)
        print()

    table("reference/fast", lambda r, f: f"{r / f:.2f}")
    table("fast ms", lambda r, f: f"{f:.1f}")
    table("reference ms", lambda r, f: f"{r:.1f}")


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else "/dev/stdin")
