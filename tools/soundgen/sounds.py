"""The game's sound effects: each recipe makes one mono signal from its own seeded random source."""

import math
import random

from synth import (RATE, SAW, SQUARE, TWO_PI, bandpass, clip_soft, count, decay, envelope, fade, highpass,
                   lowpass, make_loop, mix, multiply, noise, oscillator, scale, silence, sine)


# Formant frequencies (Hz) of the vowels the voices speak.
VOWELS = {
    "a": (730, 1090, 2440),
    "e": (530, 1840, 2480),
    "i": (270, 2290, 3010),
    "o": (570, 840, 2410),
    "u": (300, 870, 2240),
    "uh": (640, 1190, 2390),
}


def thump(rng, start, end, seconds, time_constant):
    """A body hit: a sine falling from one pitch to another, decaying."""
    sweep = lambda t: end + (start - end) * math.exp(-t * 30.0)
    return decay(sine(sweep, seconds), time_constant, 0.002)


def click(rng, seconds, cutoff, time_constant):
    return decay(highpass(noise(rng, seconds), cutoff), time_constant, 0.0005)


def ping(frequencies, seconds, time_constants, phase_rng=None):
    """Inharmonic partials ringing down, as struck metal."""
    parts = []
    for frequency, time_constant in zip(frequencies, time_constants):
        phase = phase_rng.random() if phase_rng else 0.0
        parts.append((decay(sine(frequency, seconds, phase), time_constant, 0.001), 1.0 / len(frequencies)))
    return mix(*parts)


def syllable(rng, vowel, pitch_from, pitch_to, seconds, consonant=None):
    """One voiced syllable: a buzzing source through three formant filters, with an optional
    noisy consonant before it ("t", "s", "k" or "h")."""
    pitch = lambda t: pitch_from + (pitch_to - pitch_from) * t / seconds
    jitter = [rng.uniform(-1, 1) for _ in range(count(seconds))]
    source = [s + 0.03 * j for s, j in zip(oscillator(SAW, pitch, seconds), jitter)]
    f1, f2, f3 = VOWELS[vowel]
    voiced = mix((bandpass(source, f1, 6.0), 1.0), (bandpass(source, f2, 8.0), 0.6), (bandpass(source, f3, 10.0), 0.3))
    voiced = envelope(voiced, [(0, 0), (0.025, 1), (seconds * 0.7, 0.8), (seconds, 0)])
    if consonant is None:
        return voiced
    burst_length = {"t": 0.03, "k": 0.04, "s": 0.09, "h": 0.06}[consonant]
    cutoff = {"t": 3000, "k": 1500, "s": 4500, "h": 900}[consonant]
    burst = envelope(highpass(noise(rng, burst_length), cutoff), [(0, 0), (0.005, 1), (burst_length, 0)])
    return mix((burst, 0.35), (voiced, 1.0, burst_length * 0.8))


def radio(rng, signal):
    """A voice over a small loudspeaker radio: narrow band, driven, with a little static."""
    narrow = bandpass(highpass(signal, 350), 1400, 0.6)
    driven = clip_soft(scale(narrow, 1.0 / max(1e-9, max(abs(x) for x in narrow))), 2.5)
    static = lowpass(noise(rng, len(driven) / RATE + 0.3), 5000)
    squelch = envelope(highpass(noise(rng, 0.12), 2000), [(0, 0.6), (0.12, 0)])
    body = mix((squelch, 0.5), (driven, 1.0, 0.08), (static, 0.04), (squelch, 0.4, 0.08 + len(driven) / RATE))
    return body


def phrase(rng, words, pitch, seconds_per_syllable=0.16, gap=0.03, fall=0.85):
    """Syllables in a row with a falling sentence melody. Words are (consonant, vowel) pairs."""
    parts = []
    at = 0.0
    for index, (consonant, vowel) in enumerate(words):
        p = pitch * (1.0 - (1.0 - fall) * index / max(1, len(words) - 1))
        length = seconds_per_syllable * rng.uniform(0.8, 1.25)
        parts.append((syllable(rng, vowel, p * 1.04, p * 0.96, length, consonant), 1.0, at))
        at += length + gap
    return mix(*parts)


# --- characters ---

def footstep(rng):
    heel = thump(rng, 160 + rng.uniform(-20, 20), 70, 0.16, 0.03)
    scuff = click(rng, 0.12, 1800 + rng.uniform(-300, 300), 0.015)
    grit = lowpass(click(rng, 0.1, 600, 0.03), 3000)
    return mix((heel, 0.8), (scuff, 0.35, 0.004), (grit, 0.3, 0.03))


def damage(rng):
    pitch = rng.uniform(115, 150)
    vowel = rng.choice(["uh", "a", "o"])
    grunt = syllable(rng, vowel, pitch * 1.25, pitch * 0.8, rng.uniform(0.22, 0.3), rng.choice([None, "h"]))
    hit = thump(rng, 120, 55, 0.12, 0.03)
    return mix((hit, 0.5), (clip_soft(scale(grunt, 3.0), 1.5), 0.8, 0.01))


def chat(rng):
    first = decay(oscillator(SQUARE, 1320, 0.07), 0.03, 0.002)
    second = decay(oscillator(SQUARE, 1760, 0.09), 0.04, 0.002)
    return lowpass(mix((first, 0.5), (second, 0.5, 0.07)), 5000)


def speech(words, pitch):
    def make(rng):
        return radio(rng, phrase(rng, words, pitch))
    return make


def briefing(words_lines, pitch):
    """A longer radio message in several phrases."""
    def make(rng):
        parts = []
        at = 0.0
        for words in words_lines:
            line = phrase(rng, words, pitch * rng.uniform(0.95, 1.05), 0.15, 0.025, 0.8)
            parts.append((line, 1.0, at))
            at += len(line) / RATE + 0.22
        return radio(rng, mix(*parts))
    return make


def heartbeat(rng):
    lub = lowpass(thump(rng, 70, 42, 0.2, 0.05), 400)
    dub = lowpass(thump(rng, 85, 48, 0.18, 0.04), 400)
    return mix((lub, 1.0), (dub, 0.7, 0.28), (silence(0.9), 0.0))


# --- weapons ---

def gunshot(body_pitch, body_length, crack_cutoff, tail, low):
    def make(rng):
        crack = click(rng, 0.05, crack_cutoff, 0.008)
        blast = decay(lowpass(noise(rng, tail), lambda t: 6000 * math.exp(-t * 14) + 400), tail / 4, 0.001)
        body = thump(rng, body_pitch * 2, body_pitch, body_length, body_length / 3)
        room = decay(lowpass(noise(rng, tail * 1.5), 900), tail / 2.5, 0.02)
        return clip_soft(mix((crack, 0.7), (blast, 1.0), (body, low), (room, 0.25, 0.02)), 1.6)
    return make


def zap(rng):
    sweep = lambda t: 300 + 1500 * math.exp(-t * 18)
    tone = decay(oscillator(SQUARE, sweep, 0.25), 0.07, 0.002)
    fizz = decay(highpass(noise(rng, 0.15), 3000), 0.03)
    return mix((lowpass(tone, 4000), 0.7), (fizz, 0.3))


def beam_loop(rng):
    seconds = 1.0
    buzz = oscillator(SAW, lambda t: 110 + 3 * math.sin(TWO_PI * 2 * t), seconds + 0.2)
    crackle_source = noise(rng, seconds + 0.2)
    crackle = [x if rng.random() < 0.02 else x * 0.05 for x in crackle_source]
    hum = sine(220, seconds + 0.2)
    body = mix((lowpass(buzz, 2200), 0.6), (highpass(crackle, 2500), 0.5), (hum, 0.25))
    return make_loop(body, seconds, 0.2)


def mechanical_click(rng, pitch):
    tick = click(rng, 0.04, 2500, 0.004)
    ring = ping([pitch, pitch * 2.71, pitch * 4.1], 0.12, [0.03, 0.02, 0.01], rng)
    return mix((tick, 0.6), (ring, 0.5))


def reload(rng):
    out = mix((mechanical_click(rng, 1900), 1.0, 0.0), (mechanical_click(rng, 1500), 0.8, 0.09),
              (lowpass(click(rng, 0.1, 400, 0.03), 2000), 0.3, 0.2), (mechanical_click(rng, 2300), 1.0, 0.38))
    return out


def heavy_reload(rng):
    slide = lowpass(envelope(highpass(noise(rng, 0.25), 900), [(0, 0), (0.05, 0.5), (0.2, 0.4), (0.25, 0)]), 3500)
    return mix((mechanical_click(rng, 1200), 1.0, 0.0), (slide, 0.6, 0.12), (mechanical_click(rng, 900), 1.0, 0.4),
               (thump(rng, 140, 80, 0.1, 0.03), 0.6, 0.4), (mechanical_click(rng, 1600), 0.9, 0.65))


def explosion(rng):
    seconds = 2.2
    roar = decay(lowpass(noise(rng, seconds), lambda t: 3500 * math.exp(-t * 2.5) + 150), 0.55, 0.01)
    boom = thump(rng, 90, 35, 1.2, 0.35)
    crack = click(rng, 0.08, 1500, 0.02)
    debris = []
    for _ in range(14):
        at = rng.uniform(0.15, 1.4)
        debris.append((ping([rng.uniform(900, 2500)], 0.08, [0.015]), rng.uniform(0.03, 0.1), at))
    rumble = decay(lowpass(noise(rng, seconds), 120), 0.8, 0.05)
    return clip_soft(mix((roar, 1.0), (boom, 0.9), (crack, 0.6), (rumble, 0.8), *debris), 1.8)


# --- impacts ---

def impact_metal(rng):
    base = rng.uniform(320, 480)
    ring = ping([base, base * 2.76, base * 5.40, base * 8.93], 0.6, [0.25, 0.15, 0.08, 0.04], rng)
    return mix((click(rng, 0.03, 2000, 0.005), 0.5), (ring, 1.0))


def impact_wood(rng):
    base = rng.uniform(170, 230)
    knock = ping([base, base * 2.3, base * 3.9], 0.25, [0.05, 0.03, 0.015], rng)
    return mix((lowpass(click(rng, 0.05, 300, 0.01), 2500), 0.6), (knock, 1.0))


def impact_flesh(rng):
    return mix((thump(rng, 110, 55, 0.18, 0.04), 1.0), (lowpass(click(rng, 0.1, 200, 0.02), 1200), 0.6))


def ricochet(rng):
    hit = click(rng, 0.04, 2500, 0.006)
    whine = decay(sine(lambda t: 2600 * math.exp(-t * 3.5) + 700, 0.35), 0.12, 0.01)
    return mix((hit, 0.7), (whine, 0.35, 0.01))


def scrape_loop(rng):
    seconds = 1.0
    grind = bandpass(noise(rng, seconds + 0.25), 1600, 1.5)
    wobble = [0.7 + 0.3 * math.sin(TWO_PI * 7 * i / RATE) for i in range(len(grind))]
    return make_loop(multiply(grind, wobble), seconds, 0.25)


# --- machines ---

def hum_loop(rng):
    seconds = 1.0
    tone = mix((sine(60, seconds + 0.2), 0.6), (sine(120, seconds + 0.2), 0.35), (sine(181, seconds + 0.2), 0.15),
               (oscillator(SAW, 240, seconds + 0.2), 0.05))
    hiss = lowpass(noise(rng, seconds + 0.2), 2000)
    return make_loop(mix((tone, 1.0), (hiss, 0.03)), seconds, 0.2)


def sweep_tone(start, end, seconds):
    def make(rng):
        tone = oscillator(SAW, lambda t: start * (end / start) ** (t / seconds), seconds)
        shimmer = sine(lambda t: 2 * start * (end / start) ** (t / seconds), seconds)
        body = mix((lowpass(tone, 3000), 0.5), (shimmer, 0.4))
        return envelope(body, [(0, 0), (0.03, 1), (seconds * 0.8, 0.8), (seconds, 0)])
    return make


def motor_loop(pitch):
    def make(rng):
        seconds = 1.0
        whine = oscillator(SAW, lambda t: pitch + 2 * math.sin(TWO_PI * 3 * t), seconds + 0.2)
        rumble = lowpass(noise(rng, seconds + 0.2), 300)
        return make_loop(mix((lowpass(whine, 1200), 0.5), (rumble, 0.6)), seconds, 0.2)
    return make


def clunk(rng):
    return mix((thump(rng, 150, 60, 0.3, 0.06), 1.0), (impact_metal(rng), 0.3), (click(rng, 0.05, 800, 0.01), 0.4))


def buzzer(rng):
    tone = oscillator(SQUARE, 180, 0.4)
    gate = [1.0 if (i // count(0.1)) % 2 == 0 else 0.0 for i in range(len(tone))]
    return fade(lowpass(multiply(tone, gate), 2500), 0.005, 0.02)


def motor_start(rng):
    whine = oscillator(SAW, lambda t: 40 + 60 * min(1.0, t / 0.35), 0.45)
    return envelope(mix((lowpass(whine, 1000), 0.6), (clunk(rng), 0.5)), [(0, 1), (0.35, 1), (0.45, 0)])


def beep(frequency, seconds):
    def make(rng):
        return fade(sine(frequency, seconds), 0.004, 0.02)
    return make


def chirp(start, end, seconds):
    def make(rng):
        tone = oscillator(SQUARE, lambda t: start + (end - start) * t / seconds, seconds)
        return fade(lowpass(tone, 3500), 0.005, 0.03)
    return make


def alarm(rng):
    first = fade(oscillator(SQUARE, 880, 0.15), 0.005, 0.02)
    second = fade(oscillator(SQUARE, 660, 0.15), 0.005, 0.02)
    return lowpass(mix((first, 0.6), (second, 0.6, 0.2)), 3000)


def whoosh(rng):
    body = bandpass(noise(rng, 0.5), 700, 0.8)
    return envelope(body, [(0, 0), (0.2, 1), (0.5, 0)])


def crackle(rng):
    source = noise(rng, 0.3)
    sparse = [x if rng.random() < 0.06 else 0.0 for x in source]
    zap_tone = decay(oscillator(SAW, lambda t: 400 - 600 * t, 0.3), 0.1)
    return mix((highpass(sparse, 1500), 0.8), (lowpass(zap_tone, 2000), 0.4))


def servo_tick(rng):
    whirr = envelope(oscillator(SAW, lambda t: 300 + 400 * t, 0.1), [(0, 0), (0.02, 1), (0.1, 0)])
    return mix((lowpass(whirr, 1500), 0.5), (mechanical_click(rng, 1300), 0.5, 0.08))


def pickup(rng):
    notes = [880, 1108.7, 1318.5]
    parts = [(decay(sine(f, 0.2), 0.08, 0.003), 0.5, i * 0.06) for i, f in enumerate(notes)]
    return mix(*parts)


def respawn(rng):
    sweep = sine(lambda t: 400 * 4 ** (t / 0.6), 0.6)
    sparkle = [x * (1 if rng.random() < 0.1 else 0) for x in noise(rng, 0.6)]
    body = mix((sweep, 0.6), (highpass(sparkle, 4000), 0.3))
    return envelope(body, [(0, 0), (0.05, 1), (0.45, 0.7), (0.6, 0)])


def rocket_loop(rng):
    seconds = 1.0
    hiss = lowpass(noise(rng, seconds + 0.25), 2500)
    roar = lowpass(noise(rng, seconds + 0.25), 250)
    return make_loop(mix((hiss, 0.6), (roar, 1.2)), seconds, 0.25)


def fire_loop(rng):
    seconds = 1.5
    bed = lowpass(noise(rng, seconds + 0.3), 500)
    pops = [x if rng.random() < 0.004 else 0.0 for x in noise(rng, seconds + 0.3)]
    pops = lowpass(highpass(pops, 1200), 6000)
    return make_loop(mix((bed, 1.0), (pops, 2.5)), seconds, 0.3)


# Name, recipe, seed. Every sound is mono 16-bit at 22050 Hz. Names ending in "loop" are
# loops: their end runs on into their start.
SOUNDS = [
    ("footstep1", footstep, 11), ("footstep2", footstep, 12), ("footstep3", footstep, 13), ("footstep4", footstep, 14),
    ("damage1", damage, 21), ("damage2", damage, 22), ("damage3", damage, 23),
    ("chat", chat, 31),
    ("speechtargethuman", speech([("h", "e"), (None, "i"), ("t", "o"), ("s", "a")], 150), 41),
    ("speechtargetother", speech([("k", "o"), ("t", "a"), (None, "e")], 140), 42),
    ("speechtargetkilled", speech([("t", "a"), ("k", "e"), (None, "o"), ("t", "uh")], 135), 43),
    ("speechtargetlost", speech([("h", "uh"), ("s", "e"), ("k", "i"), ("t", "o")], 145), 44),
    ("quellan1", briefing([[("h", "a"), ("s", "e"), (None, "o"), ("t", "i")],
                           [("k", "uh"), ("t", "a"), ("s", "o"), (None, "e"), ("t", "a")]], 125), 51),
    ("quellan2", briefing([[("s", "o"), ("k", "a"), ("t", "e")],
                           [(None, "i"), ("h", "uh"), ("t", "o"), ("k", "a")],
                           [("s", "e"), ("t", "a")]], 120), 52),
    ("heartbeat", heartbeat, 61),
    ("pistolshot", gunshot(160, 0.12, 2500, 0.35, 0.5), 71),
    ("heavyshot", gunshot(90, 0.25, 1500, 0.6, 0.9), 72),
    ("sentryshot", gunshot(200, 0.08, 3000, 0.28, 0.4), 73),
    ("droneshot", zap, 74),
    ("beamloop", beam_loop, 75),
    ("reload", reload, 81),
    ("heavyreload", heavy_reload, 82),
    ("explosion1", explosion, 91), ("explosion2", explosion, 92),
    ("impactmetal1", impact_metal, 101), ("impactmetal2", impact_metal, 102),
    ("impactwood1", impact_wood, 103), ("impactwood2", impact_wood, 104),
    ("impactflesh", impact_flesh, 105),
    ("ricochet", ricochet, 106),
    ("scrapeloop", scrape_loop, 107),
    ("humloop", hum_loop, 111),
    ("shieldup", sweep_tone(200, 800, 0.5), 112),
    ("shielddown", sweep_tone(800, 150, 0.5), 113),
    ("doormoveloop", motor_loop(90), 121),
    ("doorstop", clunk, 122),
    ("doordeny", buzzer, 123),
    ("platformstart", motor_start, 131),
    ("platformmoveloop", motor_loop(70), 132),
    ("platformstop", clunk, 133),
    ("platforminteract", beep(1200, 0.12), 134),
    ("sentryloop", motor_loop(140), 141),
    ("sentrybeep", beep(2000, 0.06), 142),
    ("sentrydisarm", chirp(1600, 500, 0.3), 143),
    ("dronehover", whoosh, 151),
    ("dronewakeup", chirp(400, 1400, 0.35), 152),
    ("droneattack", alarm, 153),
    ("dronedamage", crackle, 154),
    ("crawlerstep", servo_tick, 161),
    ("crawlerdamage", crackle, 162),
    ("pickup", pickup, 171),
    ("respawn", respawn, 172),
    ("rocketloop", rocket_loop, 181),
    ("fireloop", fire_loop, 182),
]


def is_loop(name):
    return name.endswith("loop")


def render(recipe, seed):
    return recipe(random.Random(seed))
