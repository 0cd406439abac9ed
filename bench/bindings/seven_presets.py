"""Renders the seven presets of seed 1 through the Python package; prints the
best time of 30 rounds."""
import time

import quavix

best = 1e9
for _ in range(30):
    start = time.perf_counter()
    for name in quavix.PRESETS:
        quavix.render_preset(name, 1)
    best = min(best, time.perf_counter() - start)
print("Python: seven presets in %.2f ms" % (best * 1e3))
