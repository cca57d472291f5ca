"""The three music tracks: stereo loops built from notes laid into a circular buffer, so that
whatever rings past the end sounds again at the start and the loop has no seam."""

import math
import random

from synth import RATE, SINE, TABLE_SIZE, count, wavetable

PAD = wavetable([(1, 1.0), (2, 0.35), (3, 0.2), (4, 0.08), (5, 0.05)])
PLUCK = wavetable([(1, 1.0), (2, 0.5), (3, 0.25), (5, 0.1)])
BELL = wavetable([(1, 1.0), (2.0, 0.4), (3.0, 0.2), (4.0, 0.15)])
BRASS = wavetable([(k, 1.0 / k ** 1.2) for k in range(1, 12)])


def midi(note):
    return 440.0 * 2.0 ** ((note - 69) / 12.0)


class Track:
    def __init__(self, seconds):
        self.length = count(seconds)
        self.left = [0.0] * self.length
        self.right = [0.0] * self.length

    def note(self, table, frequency, start, seconds, gain, pan, attack, release, decay_time=None, detune=0.0):
        """Adds a note; pan -1 is left, 1 right. With a decay time it dies away like a plucked
        string; otherwise it holds until its release."""
        n = count(seconds + release)
        begin = count(start)
        left_gain = gain * math.cos((pan + 1.0) * math.pi / 4.0)
        right_gain = gain * math.sin((pan + 1.0) * math.pi / 4.0)
        a = max(1, count(attack))
        hold = count(seconds)
        r = max(1, count(release))
        mask = TABLE_SIZE - 1
        voices = [frequency] if detune == 0.0 else [frequency * (1 - detune), frequency * (1 + detune)]
        steps = [f * TABLE_SIZE / RATE for f in voices]
        positions = [0.0 for _ in voices]
        falloff = math.exp(-1.0 / (decay_time * RATE)) if decay_time else 1.0
        level = 1.0
        for i in range(n):
            value = 0.0
            for v in range(len(voices)):
                value += table[int(positions[v]) & mask]
                positions[v] += steps[v]
            if i < a:
                shape = i / a
            elif i < hold:
                shape = 1.0
            else:
                shape = max(0.0, 1.0 - (i - hold) / r)
            shape *= level
            level *= falloff
            sample = value * shape / len(voices)
            at = (begin + i) % self.length
            self.left[at] += sample * left_gain
            self.right[at] += sample * right_gain

    def noise_hit(self, rng, start, seconds, gain, pan, brightness):
        """A short noise burst (hi-hat, shaker): brightness 0..1 sets how much low end is cut."""
        n = count(seconds)
        begin = count(start)
        left_gain = gain * math.cos((pan + 1.0) * math.pi / 4.0)
        right_gain = gain * math.sin((pan + 1.0) * math.pi / 4.0)
        low = 0.0
        a = 1.0 - math.exp(-2.0 * math.pi * (300 + 6000 * (1 - brightness)) / RATE)
        falloff = math.exp(-1.0 / (seconds / 5.0 * RATE))
        level = 1.0
        for i in range(n):
            x = rng.uniform(-1.0, 1.0)
            low += a * (x - low)
            sample = (x - low) * level
            level *= falloff
            at = (begin + i) % self.length
            self.left[at] += sample * left_gain
            self.right[at] += sample * right_gain

    def kick(self, start, gain):
        n = count(0.35)
        begin = count(start)
        phase = 0.0
        for i in range(n):
            t = i / RATE
            frequency = 45 + 110 * math.exp(-t * 25)
            phase += 2 * math.pi * frequency / RATE
            sample = math.sin(phase) * math.exp(-t * 9) * gain
            at = (begin + i) % self.length
            self.left[at] += sample
            self.right[at] += sample

    def echo(self, seconds, feedback, wet):
        """A ping-pong delay that wraps around the loop; run twice so the wrapped tail is full."""
        d = count(seconds)
        left, right = self.left, self.right
        wet_left = [0.0] * self.length
        wet_right = [0.0] * self.length
        for _ in range(2):
            for i in range(self.length):
                j = (i - d) % self.length
                wet_left[i] = right[j] * wet + wet_right[j] * feedback
                wet_right[i] = left[j] * wet + wet_left[j] * feedback
        self.left = [x + y for x, y in zip(left, wet_left)]
        self.right = [x + y for x, y in zip(right, wet_right)]

    def interleaved(self, peak):
        top = max(max(abs(x) for x in self.left), max(abs(x) for x in self.right))
        k = peak / top
        out = [0.0] * (2 * self.length)
        out[0::2] = [x * k for x in self.left]
        out[1::2] = [x * k for x in self.right]
        return out


def menu():
    """Calm and a little tense: A minor, F, C, G at 120 beats a minute, 16 bars, 32 s."""
    rng = random.Random(1001)
    beat = 0.5
    track = Track(32.0)
    chords = [[57, 60, 64], [53, 57, 60], [48, 52, 55], [55, 59, 62]]
    roots = [45, 41, 36, 43]
    for bar in range(16):
        chord = chords[bar % 4]
        start = bar * 4 * beat
        for k, note in enumerate(chord):
            track.note(PAD, midi(note), start, 4 * beat, 0.16, -0.5 + 0.5 * k, 0.6, 0.8, detune=0.004)
        track.note(SINE, midi(roots[bar % 4]), start, 1.5 * beat, 0.5, 0.0, 0.01, 0.2, decay_time=0.8)
        track.note(SINE, midi(roots[bar % 4]), start + 2.5 * beat, 1.0 * beat, 0.35, 0.0, 0.01, 0.2, decay_time=0.6)
        if bar >= 4:
            pattern = [0, 1, 2, 1, 2, 0, 1, 2]
            for step in range(8):
                note = chord[pattern[step]] + 12 + (12 if step == 6 and bar % 2 else 0)
                track.note(PLUCK, midi(note), start + step * beat / 2, beat / 2, 0.12, 0.6 if step % 2 else -0.6,
                           0.003, 0.05, decay_time=0.18)
        if bar >= 8:
            for step in range(8):
                track.noise_hit(rng, start + step * beat / 2, 0.06, 0.05 if step % 2 else 0.025, 0.3, 0.9)
            track.kick(start, 0.35)
            track.kick(start + 2 * beat, 0.3)
    track.echo(0.75, 0.35, 0.3)
    return track.interleaved(0.85)


def ambient():
    """Dark and spacious for play: a low drone, slow chords and distant metallic calls, 36 s."""
    rng = random.Random(2002)
    track = Track(36.0)
    for start in (0.0, 18.0):
        track.note(PAD, midi(33), start, 16.0, 0.22, -0.2, 4.0, 6.0, detune=0.003)
        track.note(PAD, midi(40), start + 2.0, 14.0, 0.12, 0.3, 4.0, 6.0, detune=0.005)
    for k, (note, start) in enumerate([(57, 3.0), (60, 9.0), (55, 15.0), (59, 21.0), (57, 27.0), (52, 33.0)]):
        track.note(PAD, midi(note), start, 5.0, 0.07, -0.7 if k % 2 else 0.7, 2.5, 3.5, detune=0.006)
    for _ in range(10):
        start = rng.uniform(0.0, 36.0)
        note = rng.choice([69, 72, 76, 79, 81])
        track.note(BELL, midi(note), start, 0.1, 0.05, rng.uniform(-0.9, 0.9), 0.004, 0.05, decay_time=1.2)
    track.echo(1.5, 0.45, 0.35)
    return track.interleaved(0.8)


def completion():
    """Bright and proud for the end of a level: C, G, A minor, F with brass and bells, 24 s."""
    rng = random.Random(3003)
    beat = 0.5
    track = Track(24.0)
    chords = [[60, 64, 67], [59, 62, 67], [57, 60, 64], [57, 60, 65]]
    roots = [36, 43, 45, 41]
    melody = [72, 74, 76, 79, 79, 76, 74, 72, 72, 71, 72, 74]
    for bar in range(12):
        chord = chords[bar % 4]
        start = bar * 4 * beat
        for k, note in enumerate(chord):
            track.note(BRASS, midi(note), start, 3.6 * beat, 0.09, -0.4 + 0.4 * k, 0.08, 0.3, detune=0.003)
        for step in range(4):
            track.note(SINE, midi(roots[bar % 4]), start + step * beat, 0.8 * beat, 0.35, 0.0, 0.01, 0.1,
                       decay_time=0.4)
        track.note(BELL, midi(melody[bar]), start, 2 * beat, 0.14, 0.2, 0.005, 0.3, decay_time=0.9)
        track.note(BELL, midi(melody[bar] + 7), start + 2 * beat, beat, 0.07, -0.3, 0.005, 0.3, decay_time=0.6)
        track.kick(start, 0.35)
        track.kick(start + 2 * beat, 0.3)
        for step in range(8):
            track.noise_hit(rng, start + step * beat / 2, 0.05, 0.04 if step % 2 else 0.02, -0.3, 0.9)
    track.echo(0.375, 0.25, 0.2)
    return track.interleaved(0.85)


TRACKS = [("menu", menu, 3001), ("ambient", ambient, 3002), ("completion", completion, 3003)]
