# Writes scipy-v5.mat, the MATLAB file the reader's test reads, with a writer
# other than the library the reader uses (scipy.io.savemat, MATLAB 5 format,
# compressed): a free decay of 3.7 Hz (damping 0.04, phase 0.7) and a ramp as
# the columns of "acc", sampled at 200 /s, beside a scalar and a text the
# reader must pass over.
#   /usr/bin/python3 tests/io/data/make-mat-fixture.py tests/io/data/scipy-v5.mat
import sys
import numpy as np
import scipy.io

t = np.arange(400) / 200.0
wn = 2 * np.pi * 3.7
decay = np.exp(-0.04 * wn * t) * np.cos(wn * np.sqrt(1 - 0.04 ** 2) * t + 0.7)
acc = np.column_stack([decay, -0.5 * t])
scipy.io.savemat(sys.argv[1], {"acc": acc, "fs": 200.0, "label": "impact test"}, do_compression=True)
