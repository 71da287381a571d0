"""bench/chart.py draws whatever rows the benchmarks record: one panel per
group, each bar labelled with its ratio to the group's reference."""

import json
import sys

import pytest

import support

sys.path.insert(0, str(support.REPO_DIR / "bench"))
import chart  # noqa: E402

ROWS = [  # (group, label, value, reference), a peer this file has never heard of among them
    ("per call", "ours", 100.0, True), ("per call", "peer A", 750.0, False),
    ("command", "lookup-psl", 0.2, True), ("command", "a Rust program", 0.1, False),
    ("command", "psl", 1.0, False),
]


@pytest.mark.parametrize("ratio, text", [(7.5, "750 ns: 7.5x the time of ours"), (0.5, "50 ns: 2.0x faster than ours")])
def test_bar_text_gives_the_ratio_to_the_reference(ratio, text):
    reference = {"label": "ours", "value": 100.0, "unit": "ns"}
    assert chart.bar_text({"label": "x", "value": 100.0 * ratio, "unit": "ns"}, reference) == text


def test_every_recorded_row_is_drawn_with_its_ratio_and_the_machine(tmp_path, monkeypatch):
    pytest.importorskip("matplotlib", reason="drawing needs matplotlib (Debian python3-matplotlib)")
    monkeypatch.setattr(chart, "ROWS", [])
    for group, label, value, reference in ROWS:
        chart.record(group, label, value, "ns", reference=reference)
    chart.save(tmp_path / "figures.json", "a test machine")
    chart.draw(json.loads((tmp_path / "figures.json").read_text()), tmp_path / "chart.svg")
    svg = (tmp_path / "chart.svg").read_text()
    expected = ["a test machine", "peer A", "7.5x the time of ours", "a Rust program", "2.0x faster than lookup-psl", "5.0x the time of lookup-psl"]
    assert [text for text in expected if text not in svg] == []
