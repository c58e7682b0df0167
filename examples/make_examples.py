#!/usr/bin/env python3
"""Writes the example signal files of this folder.

pulse_scope.csv         oscilloscope CSV export: 4 channels, 10,000 records each, six
                        fields per channel (label, label value, empty, time in seconds,
                        sample value, empty), the header rows in the label columns.
pulse.grf               plain graph file: "X Y text" lines ending in CR LF, X in ns, the
                        chart texts on lines 0-4 in Windows-1251.
pulse_two_column.csv    plain CSV: time in seconds, value.

Standard library only; the random seed is fixed, so the files are the same on every run.
Run from anywhere: python3 examples/make_examples.py
"""
import math
import os
import random

HERE = os.path.dirname(os.path.abspath(__file__))
SEED = 20240312


def edge(t, tau):
    """Smooth step 0 -> 1: its 10-90 % rise time is 2.197 tau."""
    return 0.5 * (1.0 + math.tanh(t / tau))


def pulse(t, amplitude, start, width, rise, fall):
    """A pulse with a smooth leading edge (10-90 % rise time `rise`) and trailing edge."""
    tau_r = rise / 2.197
    tau_f = fall / 2.197
    return amplitude * edge(t - start, tau_r) * (1.0 - edge(t - start - width, tau_f))


# ---- oscilloscope export -------------------------------------------------------------

RECORDS = 10000
SAMPLE_INTERVAL = 1e-10  # s
TRIGGER_POINT = 2500     # the record at t = 0

# (source, amplitude V, delay s, width s, rise s, fall s, volts per division, noise V)
CHANNELS = [
    ("CH1", 4.8, 0.0, 60e-9, 2.5e-9, 6e-9, 1.0, 0.03),
    ("CH2", -1.9, 3.2e-9, 55e-9, 3.5e-9, 8e-9, 0.5, 0.012),
    ("CH3", 1.15, 7.5e-9, 50e-9, 4.0e-9, 10e-9, 0.2, 0.006),
    ("CH4", 0.32, 12.0e-9, 45e-9, 5.0e-9, 12e-9, 0.05, 0.002),
]


def header_rows(source, volts_per_div):
    """The label column of one channel: (label, value) pairs from the first record on."""
    return [
        ("Record Length", "%.6e" % RECORDS),
        ("Sample Interval", "%.6e" % SAMPLE_INTERVAL),
        ("Trigger Point", "%.12e" % TRIGGER_POINT),
        ("", ""),
        ("", ""),
        ("", ""),
        ("Source", source),
        ("Vertical Units", "V"),
        ("Vertical Scale", "%.6e" % volts_per_div),
        ("Vertical Offset", "%.6e" % 0.0),
        ("Horizontal Units", "s"),
        ("Horizontal Scale", "%.6e" % 1e-7),
        ("Pt Fmt", "Y"),
        ("Yzero", "%.6e" % 0.0),
        ("Probe Atten", "%.6e" % 10.0),
    ]


def digitise(value, volts_per_div):
    """8-bit digitiser: 25 levels per division, 10 divisions around the screen centre."""
    step = volts_per_div / 25.0
    level = max(-128, min(127, round(value / step)))
    return level * step


def channel_samples(rng, channel):
    _, amplitude, delay, width, rise, fall, vdiv, noise = channel
    samples = []
    for i in range(RECORDS):
        t = (i - TRIGGER_POINT) * SAMPLE_INTERVAL
        v = pulse(t, amplitude, delay, width, rise, fall) + rng.gauss(0.0, noise)
        samples.append(digitise(v, vdiv))
    return samples


def write_scope_csv(path, rng):
    columns = [channel_samples(rng, ch) for ch in CHANNELS]
    headers = [header_rows(ch[0], ch[6]) for ch in CHANNELS]
    with open(path, "w", encoding="ascii", newline="") as f:
        for i in range(RECORDS):
            t = (i - TRIGGER_POINT) * SAMPLE_INTERVAL
            fields = []
            for c in range(len(CHANNELS)):
                label, value = headers[c][i] if i < len(headers[c]) else ("", "")
                fields += [label, value, "", "%.12f" % t, "%.4f" % columns[c][i], ""]
            f.write(",".join(fields) + "\r\n")


# ---- plain graph file ----------------------------------------------------------------

def format_general(value, digits=15):
    """The number format of plain graph files: `digits` significant digits, trailing
    zeros dropped, scientific ("1.5E-6", "2.5E20") when the exponent e of 0.d1d2...*10^e
    is above `digits` or below -3."""
    if value == 0:
        return "0"
    mantissa, exponent = ("%.*e" % (digits - 1, abs(value))).split("e")
    d = mantissa.replace(".", "").rstrip("0")
    e = int(exponent) + 1
    sign = "-" if value < 0 else ""
    if e > digits or e < -3:
        body = d[0] + ("." + d[1:] if len(d) > 1 else "")
        return sign + body + "E" + str(e - 1)
    if e <= 0:
        return sign + "0." + "0" * (-e) + d
    if len(d) <= e:
        return sign + d + "0" * (e - len(d))
    return sign + d[:e] + "." + d[e:]


GRF_TEXTS = ["Импульс", "t, нс", "U, В", "Генератор импульсов, нагрузка 50 Ом", "Канал 1"]


def write_grf(path, rng):
    lines = []
    for i in range(1001):
        x = i / 10.0  # ns
        y = pulse(x, 2.0, 10.0, 40.0, 3.0, 8.0) + rng.gauss(0.0, 0.01)
        y = round(y, 4)
        text = GRF_TEXTS[i] if i < len(GRF_TEXTS) else ""
        lines.append(format_general(x) + " " + format_general(y) + " " + text + "\r\n")
    with open(path, "wb") as f:
        f.write("".join(lines).encode("cp1251"))


# ---- plain two-column CSV ------------------------------------------------------------

def write_two_column_csv(path, rng):
    with open(path, "w", encoding="ascii", newline="") as f:
        for i in range(2000):
            t = (i - 200) * 5e-11  # s
            v = pulse(t, 0.85, 0.0, 30e-9, 2.0e-9, 5e-9) + rng.gauss(0.0, 0.004)
            f.write("%.6e,%.5f\r\n" % (t, v))


def main():
    rng = random.Random(SEED)
    write_scope_csv(os.path.join(HERE, "pulse_scope.csv"), rng)
    write_grf(os.path.join(HERE, "pulse.grf"), rng)
    write_two_column_csv(os.path.join(HERE, "pulse_two_column.csv"), rng)


if __name__ == "__main__":
    main()
