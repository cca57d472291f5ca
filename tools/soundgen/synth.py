"""Small sound synthesis kit: oscillators, noise, envelopes, filters and WAV output.

Signals are Python lists of floats at RATE samples per second, nominally within -1..1.
Everything random takes a random.Random made by the caller, so output depends only on seeds.
"""

import math
import struct

RATE = 22050
TWO_PI = 2.0 * math.pi
TABLE_SIZE = 4096


def count(seconds):
    return int(round(seconds * RATE))


def silence(seconds):
    return [0.0] * count(seconds)


def wavetable(harmonics):
    """One cycle of a sum of harmonics, given as (multiple, amplitude) pairs."""
    table = [0.0] * TABLE_SIZE
    for multiple, amplitude in harmonics:
        step = TWO_PI * multiple / TABLE_SIZE
        for i in range(TABLE_SIZE):
            table[i] += amplitude * math.sin(step * i)
    return table


SINE = wavetable([(1, 1.0)])
SAW = wavetable([(k, 1.0 / k) for k in range(1, 24)])
SQUARE = wavetable([(k, 1.0 / k) for k in range(1, 24, 2)])


def oscillator(table, frequency, seconds, phase=0.0):
    """A table read at a frequency that is a number or a function of time in seconds."""
    n = count(seconds)
    out = [0.0] * n
    position = phase * TABLE_SIZE
    if callable(frequency):
        for i in range(n):
            out[i] = table[int(position) & (TABLE_SIZE - 1)]
            position += frequency(i / RATE) * TABLE_SIZE / RATE
    else:
        step = frequency * TABLE_SIZE / RATE
        for i in range(n):
            out[i] = table[int(position) & (TABLE_SIZE - 1)]
            position += step
    return out


def sine(frequency, seconds, phase=0.0):
    return oscillator(SINE, frequency, seconds, phase)


def noise(rng, seconds):
    n = count(seconds)
    return [rng.uniform(-1.0, 1.0) for _ in range(n)]


def decay(signal, time_constant, attack=0.0):
    """Multiplies by an exponential decay (seconds to fall to 1/e) after a linear attack."""
    out = list(signal)
    attack_samples = max(1, count(attack))
    factor = math.exp(-1.0 / (time_constant * RATE))
    level = 1.0
    for i in range(len(out)):
        if i < attack_samples:
            out[i] *= i / attack_samples
        else:
            out[i] *= level
            level *= factor
    return out


def envelope(signal, points):
    """Multiplies by a piecewise-linear envelope of (seconds, level) points; 0 past the last."""
    out = list(signal)
    for i in range(len(out)):
        t = i / RATE
        level = 0.0
        for (t0, l0), (t1, l1) in zip(points, points[1:]):
            if t0 <= t < t1:
                level = l0 + (l1 - l0) * (t - t0) / (t1 - t0)
                break
        out[i] *= level
    return out


def fade(signal, fade_in, fade_out):
    out = list(signal)
    n = len(out)
    a = count(fade_in)
    b = count(fade_out)
    for i in range(min(a, n)):
        out[i] *= i / a
    for i in range(min(b, n)):
        out[n - 1 - i] *= i / b
    return out


def lowpass(signal, cutoff):
    """One-pole low-pass; cutoff in Hz, or a function of time."""
    out = [0.0] * len(signal)
    y = 0.0
    for i, x in enumerate(signal):
        c = cutoff(i / RATE) if callable(cutoff) else cutoff
        a = 1.0 - math.exp(-TWO_PI * c / RATE)
        y += a * (x - y)
        out[i] = y
    return out


def highpass(signal, cutoff):
    low = lowpass(signal, cutoff)
    return [x - y for x, y in zip(signal, low)]


def biquad(signal, kind, frequency, q):
    """Band-pass (constant peak gain) or resonant low-pass of the usual cookbook form."""
    w = TWO_PI * frequency / RATE
    alpha = math.sin(w) / (2.0 * q)
    cosw = math.cos(w)
    if kind == "bandpass":
        b0, b1, b2 = alpha, 0.0, -alpha
    else:
        b0, b1, b2 = (1.0 - cosw) / 2.0, 1.0 - cosw, (1.0 - cosw) / 2.0
    a0, a1, a2 = 1.0 + alpha, -2.0 * cosw, 1.0 - alpha
    b0, b1, b2, a1, a2 = b0 / a0, b1 / a0, b2 / a0, a1 / a0, a2 / a0
    out = [0.0] * len(signal)
    x1 = x2 = y1 = y2 = 0.0
    for i, x in enumerate(signal):
        y = b0 * x + b1 * x1 + b2 * x2 - a1 * y1 - a2 * y2
        x2, x1, y2, y1 = x1, x, y1, y
        out[i] = y
    return out


def bandpass(signal, frequency, q):
    return biquad(signal, "bandpass", frequency, q)


def mix(*parts):
    """Sums (signal, gain) pairs, or (signal, gain, start seconds), into one signal."""
    length = 0
    for part in parts:
        start = count(part[2]) if len(part) > 2 else 0
        length = max(length, start + len(part[0]))
    out = [0.0] * length
    for part in parts:
        signal, gain = part[0], part[1]
        start = count(part[2]) if len(part) > 2 else 0
        for i, x in enumerate(signal):
            out[start + i] += gain * x
    return out


def scale(signal, gain):
    return [gain * x for x in signal]


def multiply(a, b):
    return [x * y for x, y in zip(a, b)]


def clip_soft(signal, drive):
    return [math.tanh(drive * x) for x in signal]


def make_loop(signal, seconds, crossfade):
    """A loop of the given length from a longer signal: its end blends into its start, so the
    last sample runs on into the first without a click."""
    n = count(seconds)
    m = count(crossfade)
    if len(signal) < n + m:
        raise ValueError("loop source too short")
    out = signal[:n]
    for i in range(m):
        w = 0.5 * math.pi * i / m
        out[i] = signal[i] * math.sin(w) + signal[n + i] * math.cos(w)
    return out


def normalised(signal, peak):
    top = max((abs(x) for x in signal), default=0.0)
    if top == 0.0:
        raise ValueError("silent signal")
    return [x * peak / top for x in signal]


def pcm16(samples):
    """Little-endian 16-bit PCM of samples within -1..1 (clipped), interleaved as given."""
    values = [max(-32767, min(32767, int(round(x * 32767.0)))) for x in samples]
    return struct.pack("<%dh" % len(values), *values)


def wav_bytes(samples, channels=1, rate=RATE):
    data = pcm16(samples)
    header = b"RIFF" + struct.pack("<I", 36 + len(data)) + b"WAVE"
    header += b"fmt " + struct.pack("<IHHIIHH", 16, 1, channels, rate, rate * channels * 2, channels * 2, 16)
    header += b"data" + struct.pack("<I", len(data))
    return header + data
