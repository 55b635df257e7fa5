#!/usr/bin/python3
"""Judges a recording of the sound server's null sink (raw 16-bit stereo at 44100 Hz) in which
a test program played a numbered signal: the left channel a tone of --tone-hz at half scale
(the sine of the frame number), the right channel a ramp that climbs 16 a frame and falls back
every --ramp-period frames. Together they tell which frame of the signal each recorded frame
is (modulo the signal's own period).

The recording is cut into stretches that follow on frame by frame. Each stretch's tone is
fitted as one sine: a sample off it by more than 40, or an amplitude off by 10 %, is a broken
signal. Between two stretches lies a break, classed by what lies between them and by how many
of the signal's frames are missing across it:
- an exact silence (both channels 0): the sound server on this platform now and then runs dry
  while Wine's mixer is late, plays silence and may drop up to a period (441 frames) more than
  the silence. At most 200 of them, none longer than 0.1 s; frames missing beyond the silence
  and a period count as lost;
- frames missing without a silence: lost; all lost frames together must stay within
  --may-lose (what the producer's own queue reports it dropped, and an allowance);
- anything else fails at once: frames played again or going back, or other sound between.
With --loop START END the signal is a stream that plays to END and then loops from START
(START and END a whole period of the signal apart, so the jump continues the signal): a
silence that begins within 1 ms of a loop jump fails, and so do frames missing or played again
without a silence across a jump or within 1 ms of it. The server's silences begin where
Wine's mixer starts a step (every 220.5 frames of the stream from its start); the stream's
loop points lie halfway between two steps, so that such a silence is not taken for one at the
jump. Frames the server drops after its silence may run across a jump: those are its own.

Only breaks after the first --skip seconds of sound are judged, for --judge seconds.
Exit status 0 when the recording passes; the reasons on stderr otherwise.
"""

import argparse
import math
import sys

import numpy as np

RATE = 44100
RAMP_STEP = 16
AMPLITUDE = 0.5 * 32767.0
SERVER_PERIOD = 441
MOST_SILENCES = 200
LONGEST_SILENCE = RATE // 10
NEAR_JUMP = 44
FIT_FRAMES = RATE // 10


def signal_period(ramp_period, tone_hz):
    tone_period = RATE // math.gcd(RATE, tone_hz)
    return ramp_period * tone_period // math.gcd(ramp_period, tone_period)


def read_recording(path):
    data = np.fromfile(path, dtype="<i2")
    return data[: len(data) // 2 * 2].reshape(-1, 2).astype(np.int64)


def stretches(frames, ramp_period):
    """(first, last) recorded positions of the runs of frames whose ramp follows on."""
    right = frames[:, 1] + 32768
    index = (right + RAMP_STEP // 2) // RAMP_STEP
    silent = (frames[:, 0] == 0) & (frames[:, 1] == 0)
    on_ramp = (np.abs(right - index * RAMP_STEP) <= 2) & (index < ramp_period) & ~silent
    follows = on_ramp[1:] & on_ramp[:-1] & ((index[:-1] + 1) % ramp_period == index[1:])
    # A run starts where a frame on the ramp does not follow its predecessor.
    starts = np.flatnonzero(on_ramp & np.concatenate(([True], ~follows)))
    ends = np.flatnonzero(on_ramp & np.concatenate((~follows, [True])))
    return list(zip(starts, ends)), index


class Judge:
    def __init__(self, args):
        self.args = args
        self.period = signal_period(args.ramp_period, args.tone_hz)
        self.w = 2 * math.pi * args.tone_hz / RATE
        self.faults = []
        self.silences = self.silent = self.longest = 0
        self.drops = self.lost = 0
        self.breaks = []

    def fault(self, what, position):
        self.faults.append("%s at %.3f s" % (what, position / RATE))

    def identify(self, left, first_index):
        """The signal's frame number (modulo its period) of a stretch's first frame, from its
        ramp index and the phase of its tone's first 0.1 s."""
        left = left[:FIT_FRAMES]
        j = np.arange(len(left))
        basis = np.stack((np.sin(self.w * j), np.cos(self.w * j)), axis=1)
        (a, b), *_ = np.linalg.lstsq(basis, left.astype(np.float64), rcond=None)
        # left = A sin(w (F + j)) = A cos(wF) sin(wj) + A sin(wF) cos(wj)
        phase = math.atan2(b, a)
        p = self.args.ramp_period
        candidates = (first_index + p * np.arange(self.period // p)) % self.period
        distance = np.abs(np.angle(np.exp(1j * (self.w * candidates - phase))))
        return int(candidates[np.argmin(distance)])

    def tone_follows(self, left, number, first, skip):
        """Whether the stretch's tone is the signal's from frame number on."""
        expected = np.round(AMPLITUDE * np.sin(self.w * (number + np.arange(len(left)))))
        off = np.abs(left - expected) > 40
        off[: max(0, skip - first)] = False
        if off.any():
            self.fault("tone broken", first + int(np.argmax(off)))
        return not off.any()

    def at_loop_jump(self, low, high):
        """Whether a loop jump lies within NEAR_JUMP of the played frames low to high."""
        start, end = self.args.loop
        length = end - start
        # The jumps come after END, END + length, ... played frames.
        low -= NEAR_JUMP
        first_jump = end if low <= end else end + -(-(low - end) // length) * length
        return first_jump <= high + NEAR_JUMP

    def run(self, frames):
        args = self.args
        sound = np.flatnonzero((frames[:, 0] != 0) | (frames[:, 1] != 0))
        if len(sound) == 0:
            return ["the recording holds no sound"]
        begin = int(sound[0])
        skip, judge = int(args.skip * RATE), int(args.judge * RATE)
        frames = frames[begin : begin + skip + judge]
        if len(frames) < skip + judge:
            return ["the recording is shorter than %g s of sound" % (args.skip + args.judge)]
        runs, ramp_index = stretches(frames, args.ramp_period)
        p = args.ramp_period
        previous = None
        for first, last in runs:
            left = frames[first : last + 1, 0]
            if last - first >= 2:
                number = self.identify(left, ramp_index[first])
            elif previous is not None:
                # Too short to fit a tone to: a few frames between two silences that the
                # ramp places after the stretch before them.
                p_last, p_number, _ = previous
                number = (p_number + 1 + (ramp_index[first] - p_number - 1) % p) % self.period
            else:
                continue
            if not self.tone_follows(left, number, first, skip):
                previous = None
                continue
            if previous is None:
                played = number
            else:
                p_last, p_number, p_played = previous
                missing = (number - p_number - 1) % self.period
                if missing > self.period // 2:
                    missing -= self.period
                played = p_played + 1 + missing
                if p_last + 1 >= skip:
                    self.judge_break(frames, p_last, first, missing, p_played, played)
            previous = (last, (number + last - first) % self.period, played + last - first)
        end = skip + judge
        if runs and runs[-1][1] < end - 1 and runs[-1][1] + 1 >= skip:
            self.judge_gap(frames, runs[-1][1] + 1, end)
        return self.verdict()

    def judge_gap(self, frames, start, stop):
        between = frames[start:stop]
        if np.any(between != 0):
            self.fault("other sound", start)
            return False
        length = stop - start
        self.silences += 1
        self.silent += length
        self.longest = max(self.longest, length)
        return True

    def judge_break(self, frames, last, first, missing, last_played, played):
        gap = first - last - 1
        self.breaks.append((last + 1, gap, missing, last_played + 1))
        start = last_played + 1
        if self.args.loop and self.at_loop_jump(start, start if gap > 0 else max(start, played)):
            self.fault("a break at the loop jump (%d frames silent, %d missing)" % (gap, missing), last + 1)
        if missing < 0:
            self.fault("%d frames played again" % -missing, first)
        elif gap > 0:
            if self.judge_gap(frames, last + 1, first) and missing > gap + SERVER_PERIOD:
                self.drops += 1
                self.lost += missing - gap - SERVER_PERIOD
        elif missing > 0:
            self.drops += 1
            self.lost += missing

    def verdict(self):
        args = self.args
        for position, gap, missing, frame in self.breaks[:30]:
            print("  break at %.3f s (frame %d): %d frames silent, %d frames missing" % (position / RATE, frame, gap, missing))
        print(
            "%s: judged %g s: %d silences (%d frames, the longest %d), %d stretches missing (%d frames; "
            "%d may be lost), %d faults%s"
            % (args.name, args.judge, self.silences, self.silent, self.longest, self.drops, self.lost,
               args.may_lose, len(self.faults), "".join("; " + f for f in self.faults[:5])))
        reasons = []
        if self.faults:
            reasons.append("frames repeated or damaged, or a break at a loop jump")
        if self.lost > args.may_lose:
            reasons.append("frames lost beyond what may be lost")
        if self.longest > LONGEST_SILENCE or self.silences > MOST_SILENCES:
            reasons.append("the recording has gaps")
        return reasons


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("recording")
    parser.add_argument("--name", default="recording_judge")
    parser.add_argument("--ramp-period", type=int, required=True)
    parser.add_argument("--tone-hz", type=int, required=True)
    parser.add_argument("--skip", type=float, required=True)
    parser.add_argument("--judge", type=float, required=True)
    parser.add_argument("--may-lose", type=int, default=0)
    parser.add_argument("--loop", type=int, nargs=2, metavar=("START", "END"))
    args = parser.parse_args()
    reasons = Judge(args).run(read_recording(args.recording))
    for reason in reasons:
        print("%s: %s" % (args.name, reason), file=sys.stderr)
    return 1 if reasons else 0


if __name__ == "__main__":
    sys.exit(main())
