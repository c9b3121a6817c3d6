#!/usr/bin/env python3
"""Larch's pre_edge + autobk on one mu(E), for bench_background to time and compare.

    larch_autobk.py DATA CHI RBKG KWEIGHT

DATA holds two columns, energy (eV) and mu. The script prints "ready" once Larch is
loaded (or "unavailable: REASON" and exits with 3), then answers each line "run" on its
standard input with "seconds S": the wall time of one pre_edge() + autobk() (defaults
but rbkg and kweight). At "quit" or the end of its input it writes CHI: '#' lines with
e0, edge_step and nknots, then k and chi.
"""
import sys
import time


def main():
    data, chi_path, rbkg, kweight = sys.argv[1], sys.argv[2], float(sys.argv[3]), int(sys.argv[4])
    try:
        import numpy as np
        from larch import Group
        from larch.xafs import autobk, pre_edge
    except Exception as exc:  # any failure to load is Larch missing for the bench
        print("unavailable: %s" % exc, flush=True)
        sys.exit(3)
    table = np.loadtxt(data)
    group = None
    print("ready", flush=True)
    for line in sys.stdin:
        if line.strip() != "run":
            break
        group = Group(energy=table[:, 0].copy(), mu=table[:, 1].copy())
        start = time.perf_counter()
        pre_edge(group)
        autobk(group, rbkg=rbkg, kweight=kweight)
        print("seconds %.9f" % (time.perf_counter() - start), flush=True)
    if group is None:
        group = Group(energy=table[:, 0].copy(), mu=table[:, 1].copy())
        pre_edge(group)
        autobk(group, rbkg=rbkg, kweight=kweight)
    with open(chi_path, "w") as out:
        out.write("# e0 = %.10g\n# edge_step = %.10g\n# nknots = %d\n"
                  % (group.e0, group.edge_step, group.autobk_details.nknots))
        for k, chi in zip(group.k, group.chi):
            out.write("%.4f %.10g\n" % (k, chi))


if __name__ == "__main__":
    main()
