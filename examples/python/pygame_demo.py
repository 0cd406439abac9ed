#!/usr/bin/env python3
"""Makes the seven preset sounds and plays them one after another with pygame.
The mixer is set to the sounds' format (44100 Hz, signed 16 bits, mono) before
pygame.init(): its default is stereo, where mono samples play at double speed.
Optional argument: the seed (default 1)."""
import sys

import pygame

import quavix

seed = int(sys.argv[1]) if len(sys.argv) > 1 else 1
pygame.mixer.pre_init(frequency=quavix.SAMPLE_RATE, size=-16, channels=1)
pygame.init()
if pygame.mixer.get_init() != (quavix.SAMPLE_RATE, -16, 1):
    sys.exit("the mixer opened as %r, not %d Hz, 16-bit mono" % (pygame.mixer.get_init(), quavix.SAMPLE_RATE))
sounds = [pygame.mixer.Sound(buffer=quavix.preset(name, seed=seed).render()) for name in quavix.PRESETS]
channel = pygame.mixer.Channel(0)
for name, sound in zip(quavix.PRESETS, sounds):
    print("playing %s, %.3f s" % (name, sound.get_length()))
    channel.play(sound)
    while channel.get_busy():
        pygame.time.wait(5)
pygame.time.wait(200)  # the device takes its last buffer
pygame.quit()
