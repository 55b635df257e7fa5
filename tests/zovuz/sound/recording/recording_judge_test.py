#!/usr/bin/python3
"""recording_judge.py on made-up recordings: the numbered signal as the device tests play it,
with the sound server's silences and the player's own faults cut into it."""

import argparse
import contextlib
import io
import math
import os
import sys
import unittest

import numpy as np

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import recording_judge  # noqa: E402

RATE = 44100
SOFT = dict(ramp_period=4093, tone_hz=1000, skip=2.0, judge=10.0, loop=None)
STREAM = dict(ramp_period=3675, tone_hz=1001, skip=0.1, judge=4.5, loop=(22160, 66260))
LOOP_START, LOOP_END = STREAM["loop"]


def signal(numbers, kind):
    """The frames the device test writes for these frame numbers."""
    left = np.round(0.5 * 32767.0 * np.sin(2 * math.pi * kind["tone_hz"] * numbers / RATE))
    right = numbers % kind["ramp_period"] * 16 - 32768
    return np.stack((left, right), axis=1).astype(np.int64)


def played(kind, seconds):
    """The frame numbers as the player plays them: straight on, or with the stream's loop."""
    t = np.arange(int(seconds * RATE))
    if kind["loop"] is None:
        return t
    return np.where(t < LOOP_END, t, LOOP_START + (t - LOOP_START) % (LOOP_END - LOOP_START))


def silence(frames):
    return np.zeros(frames, dtype=np.int64)


def cut(numbers, at, frames):
    return np.concatenate((numbers[:at], numbers[at + frames :]))


def insert(numbers, at, piece):
    return np.concatenate((numbers[:at], piece, numbers[at:]))


# Exact silences are marked by the frame number -1 until the frames are made.
def record(numbers, kind):
    frames = signal(np.maximum(numbers, 0), kind)
    frames[numbers < 0] = 0
    return np.concatenate((np.zeros((3000, 2), dtype=np.int64), frames, np.zeros((5000, 2), dtype=np.int64)))


def judge(frames, kind, may_lose=0):
    args = argparse.Namespace(name="test", may_lose=may_lose, **kind)
    with contextlib.redirect_stdout(io.StringIO()):
        return recording_judge.Judge(args).run(frames)


def soft(edit, seconds=12.5):
    return record(edit(played(SOFT, seconds)), SOFT)


def stream(edit, seconds=4.8):
    return record(edit(played(STREAM, seconds)), STREAM)


def ms(milliseconds):
    return int(milliseconds * RATE / 1000)


def quiet(milliseconds):
    return silence(ms(milliseconds)) - 1


def silences(numbers, count, every):
    for k in range(count):
        numbers = insert(numbers, 3 * RATE + k * every, quiet(2))
    return numbers


def repeated(numbers, at, frames):
    return insert(numbers, at, numbers[at - frames : at])


def sample_off(frames, at, by, channel=0):
    frames = frames.copy()
    frames[3000 + at, channel] += by
    return frames


def overwritten(frames, at, length):
    frames = frames.copy()
    frames[3000 + at : 3000 + at + length] = 1234
    return frames


def loops_from_start(numbers):
    t = np.arange(len(numbers))
    return np.where(t < LOOP_END, t, (t - LOOP_END) % LOOP_END)


# The loop's jumps in played frames: the stream jumps back for the first time after LOOP_END.
FIRST_JUMP = LOOP_END


class Classes(unittest.TestCase):
    def check(self, cases):
        for name, frames, kind, may_lose, passes in cases:
            with self.subTest(name):
                reasons = judge(frames, kind, may_lose)
                self.assertEqual(passes, not reasons, reasons)

    def test_server_silences_pass_and_the_players_faults_do_not(self):
        at = 5 * RATE
        self.check([
            ("clean", soft(lambda n: n), SOFT, 0, True),
            ("30 ms of exact silence inserted", soft(lambda n: insert(n, at, quiet(30))), SOFT, 0, True),
            ("silence, a frame, silence", soft(lambda n: insert(insert(n, at + 1, quiet(5)), at, quiet(5))), SOFT, 0, True),
            ("silence in place of sound and a period more", soft(lambda n: insert(cut(n, at, ms(30) + 441), at, quiet(30))), SOFT, 0, True),
            ("a period and 200 frames more missing after a silence", soft(lambda n: insert(cut(n, at, ms(30) + 641), at, quiet(30))), SOFT, 0, False),
            ("50 frames cut out", soft(lambda n: cut(n, at, 50)), SOFT, 0, False),
            ("50 frames cut out that the queue dropped", soft(lambda n: cut(n, at, 50)), SOFT, 50, True),
            ("two seconds cut out that the queue dropped", soft(lambda n: cut(n, at, 2 * RATE), seconds=14.5), SOFT, 2 * RATE, True),
            ("10 ms repeated", soft(lambda n: repeated(n, at, ms(10))), SOFT, 10**6, False),
            ("a whole ramp period repeated", soft(lambda n: repeated(n, at, 4093)), SOFT, 10**6, False),
            ("a tone sample off by 100", sample_off(soft(lambda n: n), at, 100), SOFT, 0, False),
            ("a ramp sample off by 8", sample_off(soft(lambda n: n), at, 8, channel=1), SOFT, 0, False),
            ("other sound in a silence", overwritten(soft(lambda n: n), at, ms(10)), SOFT, 10**6, False),
            ("a silence of 0.15 s", soft(lambda n: insert(n, at, quiet(150))), SOFT, 0, False),
            ("200 silences", soft(lambda n: silences(n, 200, 1000)), SOFT, 0, True),
            ("201 silences", soft(lambda n: silences(n, 201, 1000)), SOFT, 0, False),
            ("a break before the judged part", soft(lambda n: repeated(n, RATE, 100)), SOFT, 0, True),
            ("too short", soft(lambda n: n, seconds=11.5), SOFT, 0, False),
        ])

    def test_a_stream_loops_on_without_a_break_at_its_jumps(self):
        jump2 = FIRST_JUMP + LOOP_END - LOOP_START
        self.check([
            ("clean", stream(lambda n: n), STREAM, 0, True),
            ("30 ms of exact silence between jumps", stream(lambda n: insert(n, jump2 + RATE // 3, quiet(30))), STREAM, 0, True),
            ("30 ms of exact silence at a jump", stream(lambda n: insert(n, jump2, quiet(30))), STREAM, 0, False),
            ("exact silence just after a jump", stream(lambda n: insert(n, jump2 + 30, quiet(5))), STREAM, 0, False),
            ("exact silence 2 ms before a jump", stream(lambda n: insert(n, jump2 - 88, quiet(5))), STREAM, 0, True),
            ("a silence before a jump and frames dropped across it",
             stream(lambda n: insert(cut(n, jump2 - 110, 300), jump2 - 110, quiet(5))), STREAM, 0, True),
            ("10 frames missing at a jump", stream(lambda n: cut(n, jump2, 10)), STREAM, 128, False),
            ("10 frames missing between jumps", stream(lambda n: cut(n, jump2 + RATE // 3, 10)), STREAM, 128, True),
            ("10 frames played again at a jump", stream(lambda n: repeated(n, jump2, 10)), STREAM, 128, False),
            ("a stream that loops from its start", stream(loops_from_start), STREAM, 128, False),
        ])


if __name__ == "__main__":
    unittest.main()
