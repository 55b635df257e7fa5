#!/usr/bin/python3
"""sequencer_sink_judge.py on made-up recordings: the instruments' numbered signal with rests,
rendered for 3 s, and the recordings the sound server and the player might make of it."""

import contextlib
import io
import os
import sys
import unittest

import numpy as np

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import sequencer_sink_judge as sj  # noqa: E402

RATE = sj.rj.RATE
ORIGIN = 1234567  # the instruments' frame number at the render's first frame
# Notes as (first, last) frames of the song; the render holds its first 3 s, the recording
# goes on to the fourth note after it.
NOTES = [(0, 15000), (18000, 25000), (27000, 60000), (64000, 68000), (70000, 120000), (135000, 150000)]


def numbered(first, frames):
    """The instruments' signal for song frames first on, as while a note is held."""
    n = ORIGIN + np.arange(first, first + frames)
    tone = np.round(sj.rj.AMPLITUDE * np.sin(2 * np.pi * sj.TONE_HZ * n / RATE))
    return np.stack((tone, sj.rj.RAMP_STEP * (n % sj.RAMP_PERIOD) - 32768), axis=1).astype(np.int64)


SONG = np.zeros((160000, 2), dtype=np.int64)
for _first, _last in NOTES:
    SONG[_first : _last + 1] = numbered(_first, _last - _first + 1)
RENDER = SONG[: 3 * RATE]
LEAD = np.zeros((5000, 2), dtype=np.int64)


def silence(frames):
    return np.zeros((frames, 2), dtype=np.int64)


def recording(*edits):
    """The song as recorded after silence, with edits (position, frames removed, inserted) in
    song frames, applied from the last."""
    song = SONG
    for at, removed, inserted in sorted(edits, reverse=True):
        song = np.concatenate((song[:at], inserted, song[at + removed :]))
    return np.concatenate((LEAD, song))


def judge(recorded, may_lose=128):
    with contextlib.redirect_stdout(io.StringIO()):
        return sj.judge(RENDER, recorded, may_lose)


class SequencerSinkJudgeTest(unittest.TestCase):
    def test_recordings(self):
        cases = [
            ("as rendered", recording(), 128, True),
            ("30 ms of exact silence in a note", recording((30000, 0, silence(1323))), 128, True),
            ("30 ms of exact silence in a rest, and one in a note", recording((62000, 0, silence(1323)), (5000, 0, silence(1323))), 128, True),
            ("the server drops a period after its silence", recording((40000, 441, silence(900))), 128, True),
            ("the rest shorter: the queue dropped rest frames", recording((16000, 1000, silence(0))), 1128, True),
            ("the rest shorter, beyond what the queue dropped", recording((16000, 1000, silence(0))), 128, False),
            ("the queue dropped 3000 frames in a note", recording((40000, 3000, silence(0))), 3128, True),
            ("3000 frames cut in a note", recording((40000, 3000, silence(0))), 128, False),
            ("a 10 ms block played again", recording((40000, 0, SONG[39559:40000])), 128, False),
            ("5000 frames of silence between notes", recording((62000, 0, silence(5000))), 128, False),
            ("the queue dropped a whole note", recording((62000, 8000, silence(0))), 8128, True),
            ("a short note silent", recording((64000, 4001, silence(4001))), 128, False),
            ("a note held 10 ms past its end", recording((60001, 441, numbered(60001, 441))), 128, False),
            ("other sound in a rest", recording((62000, 10, np.full((10, 2), 3, dtype=np.int64))), 128, False),
            ("nothing recorded", silence(200000), 128, False),
        ]
        for name, recorded, may_lose, passes in cases:
            with self.subTest(name):
                reasons = judge(recorded, may_lose)
                self.assertEqual(passes, not reasons, reasons)

    def test_render_not_numbered(self):
        render = RENDER.copy()
        render[30000:30441] = render[29559:30000]
        with contextlib.redirect_stdout(io.StringIO()):
            self.assertTrue(sj.judge(render, recording(), 128))


if __name__ == "__main__":
    unittest.main()
