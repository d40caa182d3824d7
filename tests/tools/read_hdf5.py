#!/usr/bin/env python3
"""Prints an HDF5 export as the data tool's tests read it back: per dataset
its name, attributes and values, doubles with full precision."""
import sys

import h5py

with h5py.File(sys.argv[1], "r") as f:
    for name in sorted(f.keys()):
        d = f[name]
        print("dataset", name, d.shape[0], d.dtype)
        for key in sorted(d.attrs.keys()):
            v = d.attrs[key]
            if isinstance(v, bytes):
                v = v.decode()
            elif hasattr(v, "item"):
                v = v.item()
            print("attr", key, repr(v) if isinstance(v, float) else v)
        for v in d[()]:
            print("%.17g" % v)
