#!/usr/bin/python3
"""Judges a recording of the sound server's null sink against the WAV render of the same song
(sequencer_sink.sh). Both hold the numbered instruments' signal (tp_numbered: a tone on the left
and a ramp on the right that tell which of the instruments' frames each frame is) while a note
sounds, and exact silence while none does.

recording_judge.py classes every break of the recording: the sound server's exact silences,
frames missing without a silence (within what the player's queue dropped), frames played again
or other sound. Here a break may also span the song's own rests: the render tells which of the
instruments' frames are rests, and the break is judged by what is left of it beside them (the
silence beyond the rest is the server's, the sounding frames missing across it are lost).
Then the notes, from the render's first sound to 0.1 s before its end (what the recording
reaches of that): each note of the render that begins there is in the recording (or was lost
with the frames around it, as those are judged), and no sound is recorded where the render
rests. With every frame numbered, each note's length and its time from the note before differ
from the render's only by the silences and losses judged above.
Exit status 0 when the recording passes; the reasons on stderr otherwise.
"""

import argparse
import os
import sys

import numpy as np

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "zovuz", "sound", "recording"))
import recording_judge as rj  # noqa: E402

RAMP_PERIOD = 4093  # kTpNumberedRampPeriod
TONE_HZ = 1000  # kTpNumberedToneHz
END_MARGIN = rj.RATE // 10


def runs(mask):
    """(first, last) of each run of True."""
    edges = np.diff(np.concatenate(([0], mask.astype(np.int8), [0])))
    return list(zip(np.flatnonzero(edges == 1), np.flatnonzero(edges == -1) - 1))


class SongJudge(rj.Judge):
    """recording_judge's Judge, with the render's rests and notes: render indices are the
    instruments' frame numbers less the render's first."""

    def __init__(self, args, render):
        super().__init__(args)
        self.rest = (render == 0).all(axis=1)
        self.rest_before = np.concatenate(([0], np.cumsum(self.rest)))
        self.notes = [(first, last) for first, last in runs(~self.rest)]
        sound_runs, ramp_index = rj.stretches(render, args.ramp_period)
        self.origin = None
        if sound_runs:
            first, last = sound_runs[0]
            self.origin = (self.identify(render[first : last + 1, 0], ramp_index[first]) - first) % self.period
        self.recorded = []  # (first, last) recorded positions and render index of each stretch
        self.dropped = []  # (first, last) render indices of the breaks that lost frames
        self.render_length = len(render)

    def index(self, number):
        return (number - self.origin) % self.period

    def rests(self, low, count):
        low, high = min(low, self.render_length), min(low + count, self.render_length)
        return int(self.rest_before[high] - self.rest_before[low])

    def tone_follows(self, left, number, first, skip):
        follows = super().tone_follows(left, number, first, skip)
        if follows:
            self.recorded.append((first, first + len(left) - 1, self.index(number)))
        return follows

    def judge_break(self, frames, last, first, missing, last_played, played):
        lost = self.lost
        self.judge_song_break(frames, last, first, missing, last_played, played)
        if self.lost > lost:
            start = self.index(last_played + 1)
            self.dropped.append((start, start + missing - 1))

    def judge_song_break(self, frames, last, first, missing, last_played, played):
        rest = self.rests(self.index(last_played + 1), missing) if missing > 0 else 0
        if rest == 0:
            return super().judge_break(frames, last, first, missing, last_played, played)
        gap = first - last - 1
        if np.any(frames[last + 1 : first] != 0):
            self.fault("other sound", last + 1)
        elif gap >= rest:
            # The rest played out, and the server's silence beside it.
            super().judge_break(frames, last, first - rest, missing - rest, last_played, played - rest)
        else:
            # Less silence than the rest: the frames not heard were lost.
            super().judge_break(frames, last, last + 1, missing - gap, last_played, played)

    def judge_gap(self, frames, start, stop):
        if stop < len(frames) or not self.recorded:
            return super().judge_gap(frames, start, stop)
        # The end of the judged stretch: the rest after the last note heard plays out first.
        if np.any(frames[start:stop] != 0):
            self.fault("other sound", start)
            return False
        after = self.recorded[-1][1] - self.recorded[-1][0] + self.recorded[-1][2] + 1
        rest = self.rests(after, stop - start)
        return rest >= stop - start or super().judge_gap(frames, start + rest, stop)

    def verdict(self):
        notes = self.judge_notes()
        return notes + super().verdict()

    def judge_notes(self):
        """Each note of the render that the recording reaches is in it; no sound where it
        rests. Prints the notes' lengths and starts against the render's."""
        reached = max((index + last - first for first, last, index in self.recorded), default=-1)
        judged = [(s, e) for s, e in self.notes if s <= reached]
        if self.recorded and judged and self.recorded[0][2] > judged[0][0]:
            self.lost += self.recorded[0][2] - judged[0][0]  # the song's first frames never came
        for first, last, index in self.recorded:
            if self.rests(index, last - first + 1):
                self.fault("sound where the render rests", first)
        # The recorded positions of each judged note's first and last frames heard.
        heard = []
        for s, e in judged:
            spans = [(first + max(s, index) - index, first + min(e, index + last - first) - index)
                     for first, last, index in self.recorded if index <= e and index + last - first >= s]
            heard.append((min(a for a, _ in spans), max(b for _, b in spans)) if spans else None)
        differences = []
        for k, (s, e) in enumerate(judged):
            if heard[k] is not None:
                if e <= reached:
                    differences.append((heard[k][1] - heard[k][0]) - (e - s))
                if k > 0 and heard[k - 1] is not None:
                    differences.append((heard[k][0] - heard[k - 1][0]) - (s - judged[k - 1][0]))
        # A note lost with the frames around it counts as they do; one that silence took is missing.
        unheard = [k for k, h in enumerate(heard) if h is None]
        missing = [k for k in unheard if not any(a <= judged[k][0] and judged[k][1] <= b for a, b in self.dropped)]
        print("%s: %d notes in the render, %d judged, %d heard, %d lost with frames; lengths and times from the note "
              "before at most %d frames shorter, %d longer"
              % (self.args.name, len(self.notes), len(judged), len(judged) - len(unheard), len(unheard) - len(missing),
                 max([0] + [-d for d in differences]), max([0] + differences)))
        reasons = []
        if missing:
            reasons.append("notes missing from the recording (at %s of the render)" % ", ".join(
                "%.3f s" % (judged[k][0] / rj.RATE) for k in missing[:5]))
        if len(judged) < len(self.notes) // 2:
            reasons.append("the recording reaches %d of the render's %d notes" % (len(judged), len(self.notes)))
        return reasons


def judge(render, recording, may_lose, name="sequencer_sink"):
    """The reasons the recording fails against the render (empty when it passes)."""
    sound = np.flatnonzero((render != 0).any(axis=1))
    if len(sound) == 0:
        return ["the render is silent"]
    length = len(render) - int(sound[0]) - END_MARGIN
    args = argparse.Namespace(name=name, ramp_period=RAMP_PERIOD, tone_hz=TONE_HZ, skip=0.0,
                              judge=length / rj.RATE, may_lose=may_lose, loop=None)
    song = SongJudge(args, render)
    if song.origin is None:
        return ["the render holds no numbered signal"]
    # The render is the instruments' signal itself, numbered without a gap.
    numbers = song.origin + np.arange(len(render))
    tone = np.round(rj.AMPLITUDE * np.sin(song.w * numbers))
    ramp = rj.RAMP_STEP * (numbers % RAMP_PERIOD) - 32768
    sounding = ~song.rest
    if np.any(np.abs(render[sounding, 0] - tone[sounding]) > 40) or np.any(np.abs(render[sounding, 1] - ramp[sounding]) > 2):
        return ["the render is not the instruments' numbered signal"]
    return song.run(recording)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("render", help="the WAV render (16-bit stereo, a 44-byte header)")
    parser.add_argument("recording", help="the recording (raw 16-bit stereo)")
    parser.add_argument("--may-lose", type=int, default=0)
    args = parser.parse_args()
    render = np.fromfile(args.render, dtype="<i2", offset=44)
    render = render[: len(render) // 2 * 2].reshape(-1, 2).astype(np.int64)
    reasons = judge(render, rj.read_recording(args.recording), args.may_lose)
    for reason in reasons:
        print("sequencer_sink: %s" % reason, file=sys.stderr)
    return 1 if reasons else 0


if __name__ == "__main__":
    sys.exit(main())
