"""A live image of a camera with its second-moment diameters: the package kestrom3 and matplotlib.

    PYTHONPATH=build/python /usr/bin/python3 docs/examples/live_image.py [SERIAL]
"""
import sys

import matplotlib.pyplot as plt

import kestrom3

serial = int(sys.argv[1]) if len(sys.argv) > 1 else 1234
with kestrom3.Subscriber(serial=serial) as cam:
    cam.start()
    figure, axes = plt.subplots()
    first = cam.next_frame(timeout=5)
    image = axes.imshow(first.pixels, cmap="inferno", vmin=0, vmax=16383)
    figure.colorbar(image, label="frame value")
    title = axes.set_title("")
    plt.show(block=False)
    for f in cam.frames(timeout=5):
        r = kestrom3.results(f, method="second-moment")
        image.set_data(f.pixels)
        title.set_text(f"frame {f.index}: d = {r['IsoDiameterMajor']:.1f} x {r['IsoDiameterMinor']:.1f} px")
        plt.pause(0.001)         # draws; frames that came meanwhile wait in the queue or are dropped
        if not plt.fignum_exists(figure.number):
            break
