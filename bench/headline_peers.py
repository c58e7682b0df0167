#!/usr/bin/python3
"""The headline job done with numpy, pandas and scipy, as one whole process, for
bench/run_headline_bench.sh:

    headline_peers.py job CSV SPECTRUM_OUT RC_OUT [czt|direct]
    headline_peers.py check OURS_SPECTRUM OURS_RC PEER_SPECTRUM PEER_RC

job: the same work as the batch run of the benchmark, step by step as a numpy user would
write it:
- open: pandas.read_csv of the oscilloscope CSV with only CH1's and CH2's time and sample
  columns (usecols, its fastest use); X in nanoseconds from the first sample, as the graphs
  of the open command have it;
- spectrum of CH1 at 1000 frequencies k·df (0 Hz up, df = 5 MHz): M = 2·duration·fmax + 1
  samples by np.interp onto a uniform grid (M = 9,999,999 for the 1 ms record), each times
  the sample step, and the direct sums Σ x_p·e^(−i2πk·df·p·s) by scipy.signal.czt (the
  fastest way scipy has to those sums; "direct" sums them as blocks of matrix products,
  about half as much CPU time again here, to within 1e-8 of czt), amplitude |X|/(duration/2);
- RC differentiation of CH1 with τ = 10 ns, out[i] = a[i]·out[i−1] + (Y[i] − Y[i−1]),
  a[i] = exp(−ΔX[i]·1e-9/τ), as the exact numpy block scan of bench/transforms_peers.py
  (within a block out = P·(carry + cumsum(D/P)), P the running product of a; the block is
  as long as keeps P above 1e-3 at the largest step);
- derivative of CH2: forward differences at the interval centres (our definition);
- np.savetxt of the spectrum and of the RC graph, "%.15g" numbers, a blank after Y and
  CR LF at the end of each line, as our plain graph file has them.
check: the largest difference between our saved files and the peer's (relative to the
largest value of each column), as one line; exit status 1 when they disagree.
"""
import sys

import numpy as np

import transforms_peers

TAU = 10e-9
FMAX = 5e9
DF = 5e6
FREQUENCIES = 1000
CH1 = (3, 4)  # time and sample columns of CH1 and CH2 in the 6-column layout per channel
CH2 = (9, 10)


def read(csv):
    import pandas

    frame = pandas.read_csv(csv, header=None, usecols=CH1 + CH2)
    t1, y1 = frame[CH1[0]].to_numpy(), frame[CH1[1]].to_numpy()
    t2, y2 = frame[CH2[0]].to_numpy(), frame[CH2[1]].to_numpy()
    return (t1 - t1[0]) * 1e9, y1, (t2 - t2[0]) * 1e9, y2


def uniform_samples(x, y):
    duration = (x[-1] - x[0]) * 1e-9
    m = max(200, int(round(duration * FMAX * 2)) + 1)
    h = (x[-1] - x[0]) / (m - 1)
    grid = x[0] + np.arange(m) * h
    return np.interp(grid, x, y) * (h * 1e-9), h * 1e-9, duration


def direct_sums(v, s):
    """Σ_p v_p·e^(−iω_k·p·s) for the K frequencies, p = a·B + b: per block row a the sums
    over b are one matrix product with the K×B phasors, then each row is turned by
    e^(−iω_k·a·B·s)."""
    omega = 2 * np.pi * DF * np.arange(FREQUENCIES)
    b = 4096
    rows = -(-v.size // b)
    padded = np.zeros(rows * b)
    padded[:v.size] = v
    inner = np.exp(-1j * np.outer(omega, np.arange(b) * s))
    total = np.zeros(FREQUENCIES, dtype=complex)
    for a0 in range(0, rows, 256):
        block = padded[a0 * b:(a0 + 256) * b].reshape(-1, b)
        partial = inner @ block.T  # K × rows of the block
        turn = np.exp(-1j * np.outer(omega, (a0 + np.arange(block.shape[0])) * (b * s)))
        total += (partial * turn).sum(axis=1)
    return total


def spectrum(x, y, method):
    v, s, duration = uniform_samples(x, y)
    if method == "direct":
        z = direct_sums(v, s)
    else:
        import scipy.signal

        z = scipy.signal.czt(v, m=FREQUENCIES, w=np.exp(-2j * np.pi * DF * s), a=1.0)
    return np.arange(FREQUENCIES) * DF, np.abs(z) / (duration / 2)


def rc_differentiate(x, y):
    # Blocks as long as the factors stay above 1e-3 of each other, so the scaled steps
    # neither overflow nor lose their digits.
    steps_max = float(np.max(np.diff(x)))
    block = max(16, int(np.log(1e3) / (steps_max * 1e-9 / TAU)))
    return transforms_peers.rc_differentiate(x, y, TAU, block)


def derivative(x, y):
    dx = np.diff(x)
    q = np.diff(y) / dx
    if (dx == 0).any() or not np.isfinite(q).all():
        raise ValueError("division fault")
    return (x[:-1] + x[1:]) / 2, q


def save(path, x, y):
    with open(path, "wb") as f:
        np.savetxt(f, np.column_stack((x, y)), fmt="%.15g", delimiter=" ", newline=" \r\n")


def job(csv, spectrum_out, rc_out, method):
    x1, y1, x2, y2 = read(csv)
    fx, fy = spectrum(x1, y1, method)
    rc = rc_differentiate(x1, y1)
    derivative(x2, y2)
    save(spectrum_out, fx, fy)
    save(rc_out, x1, rc)


def columns(path):
    import pandas

    # Our files carry texts after Y on the first five lines (with blanks of their own): only
    # their two numbers are taken.
    with open(path, "rb") as f:
        head = [f.readline().split()[:2] for _ in range(5)]
    frame = pandas.read_csv(path, sep=" ", header=None, usecols=(0, 1), skiprows=5,
                            encoding="latin-1")
    x = np.concatenate(([float(h[0]) for h in head if h], frame[0].to_numpy()))
    y = np.concatenate(([float(h[1]) for h in head if h], frame[1].to_numpy()))
    return x, y


def worst(ours, peer):
    if ours.size != peer.size:
        return float("inf")
    return float(np.max(np.abs(ours - peer)) / max(np.max(np.abs(peer)), 1e-300))


def check(ours_spectrum, ours_rc, peer_spectrum, peer_rc):
    (ofx, ofy), (pfx, pfy) = columns(ours_spectrum), columns(peer_spectrum)
    (orx, ory), (prx, pry) = columns(ours_rc), columns(peer_rc)
    # Our spectrum sums single-precision samples; the RC recursion runs in extended precision
    # against the block scan's double rounding.
    limits = {"spectrum_f": (worst(ofx, pfx), 1e-12), "spectrum_amp": (worst(ofy, pfy), 1e-5),
              "rc_x": (worst(orx, prx), 1e-12), "rc_y": (worst(ory, pry), 1e-8)}
    bad = [k for k, (v, at) in limits.items() if not v <= at]
    print("ours vs peer (largest difference / largest value): " +
          "  ".join(f"{k}={v:.2g}" for k, (v, _) in limits.items()) +
          ("  agree" if not bad else "  DIFFER: " + ",".join(bad)))
    return 1 if bad else 0


def main():
    if len(sys.argv) >= 5 and sys.argv[1] == "job":
        job(sys.argv[2], sys.argv[3], sys.argv[4], sys.argv[5] if len(sys.argv) > 5 else "czt")
        return 0
    if len(sys.argv) == 6 and sys.argv[1] == "check":
        return check(*sys.argv[2:])
    print(__doc__, file=sys.stderr)
    return 2


if __name__ == "__main__":
    sys.exit(main())
