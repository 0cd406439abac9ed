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

# wav() of a short sound: what the package adds to the library's render.
import statistics  # noqa: E402
import timeit  # noqa: E402

blip = quavix.preset("blip", seed=1)
runs = timeit.repeat(blip.wav, number=200, repeat=25)
print("Python: wav() of blip seed 1 in %.1f us (median of 25 x 200)" % (statistics.median(runs) / 200 * 1e6))
