#!/usr/bin/env python3
"""The side-by-side figures as one SVG chart.

The benchmarks record rows as they measure (record()); compare.py saves them
with the machine they ran on (save()), and this file draws them (draw(), or
`chart.py FIGURES.json OUT.svg`). A row is a group (one panel: figures of one
unit, measured side by side in one run), a label, a value and whether it is
the group's reference, ours; every other bar is labelled with its ratio to
the reference. A new comparison (another peer, another kind of call) is a new
record() call: nothing here names a peer.

Drawing needs matplotlib (Debian: python3-matplotlib); recording does not.
"""

import json
import sys

ROWS = []


def record(group, label, value, unit, reference=False):
    """One bar: `value` in `unit` within `group`; the group's first reference
    row is what the others are compared with."""
    ROWS.append({"group": group, "label": label, "value": float(value), "unit": unit, "reference": reference})


def save(path, machine):
    with open(path, "w", encoding="utf-8") as out:
        json.dump({"machine": machine, "rows": ROWS}, out, indent=1)


def groups_of(rows):
    """{group: [rows]} in the order the groups were first recorded."""
    groups = {}
    for row in rows:
        groups.setdefault(row["group"], []).append(row)
    return groups


def bar_text(row, reference):
    value = row["value"]
    text = f"{value:,.0f} {row['unit']}" if value >= 100 else f"{value:.3g} {row['unit']}"
    if reference is None or row is reference:
        return text
    ratio = value / reference["value"] if reference["value"] else float("inf")
    if ratio >= 1:
        return f"{text}: {ratio:.1f}x the time of {reference['label']}"
    return f"{text}: {1 / ratio:.1f}x faster than {reference['label']}"


def draw(figures, svg_path):
    import matplotlib

    matplotlib.use("Agg")
    matplotlib.rcParams["svg.hashsalt"] = "lookup-psl"  # the same figures give the same file
    matplotlib.rcParams["svg.fonttype"] = "none"  # text stays text: smaller, and searchable
    import matplotlib.pyplot as plt

    groups = groups_of(figures["rows"])
    heights = [0.5 * len(rows) + 0.9 for rows in groups.values()]
    fig, axes = plt.subplots(len(groups), 1, figsize=(10, sum(heights) + 0.8),
                             gridspec_kw={"height_ratios": heights}, squeeze=False)
    for axis, (group, rows) in zip(axes[:, 0], groups.items()):
        reference = next((row for row in rows if row["reference"]), None)
        labels = [row["label"] for row in rows]
        values = [row["value"] for row in rows]
        colours = ["tab:blue" if row["reference"] else "tab:gray" for row in rows]
        bars = axis.barh(range(len(rows)), values, color=colours)
        axis.set_yticks(range(len(rows)), labels)
        axis.invert_yaxis()
        axis.set_title(f"{group} ({rows[0]['unit']}, shorter is better)", loc="left", fontsize=10)
        axis.set_xlim(0, max(values) * 1.9)
        for bar, row in zip(bars, rows):
            axis.text(bar.get_width(), bar.get_y() + bar.get_height() / 2, "  " + bar_text(row, reference),
                      va="center", fontsize=8)
        axis.spines[["top", "right"]].set_visible(False)
    fig.suptitle(f"lookup-psl side by side; measured on {figures['machine']}", fontsize=10)
    fig.tight_layout()
    fig.savefig(svg_path, format="svg", metadata={"Date": None})
    plt.close(fig)


def main(argv):
    if len(argv) != 3:
        raise SystemExit(f"usage: {argv[0]} FIGURES.json OUT.svg")
    with open(argv[1], encoding="utf-8") as figures:
        draw(json.load(figures), argv[2])
    print(f"chart: {argv[2]}")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
