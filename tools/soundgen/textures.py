"""Textures of the sound pack's materials: blob shadow, particles, menu logo, HUD and editor
help panels, editor cursors. Text is set with the glyphs of the game's own image font."""

import math
import os
import random

import pngfile

MENU_BLUE = (0.03, 0.44, 1.0)
MENU_LIGHT = (0.3, 0.6, 0.98)


class Canvas:
    def __init__(self, width, height, colour=(0.0, 0.0, 0.0, 0.0)):
        self.width = width
        self.height = height
        self.pixels = [[list(colour) for _ in range(width)] for _ in range(height)]

    def blend(self, x, y, colour, coverage):
        """Paints a straight-alpha colour over the pixel with the given coverage (0..1)."""
        if coverage <= 0.0 or not (0 <= x < self.width and 0 <= y < self.height):
            return
        r, g, b, a = colour
        a *= min(1.0, coverage)
        pixel = self.pixels[y][x]
        out_a = a + pixel[3] * (1.0 - a)
        if out_a <= 0.0:
            return
        for c, value in enumerate((r, g, b)):
            pixel[c] = (value * a + pixel[c] * pixel[3] * (1.0 - a)) / out_a
        pixel[3] = out_a

    def shape(self, distance, colour, box=None, softness=1.0):
        """Fills where a signed distance (pixels, negative inside) is below 0, antialiased."""
        x0, y0, x1, y1 = box or (0, 0, self.width, self.height)
        for y in range(max(0, int(y0)), min(self.height, int(y1) + 1)):
            for x in range(max(0, int(x0)), min(self.width, int(x1) + 1)):
                d = distance(x + 0.5, y + 0.5)
                self.blend(x, y, colour, 0.5 - d / softness)

    def save(self, path):
        pngfile.write_rgba(path, self.width, self.height, self.pixels)


def segment_distance(px, py, ax, ay, bx, by):
    dx, dy = bx - ax, by - ay
    length2 = dx * dx + dy * dy
    t = 0.0 if length2 == 0 else max(0.0, min(1.0, ((px - ax) * dx + (py - ay) * dy) / length2))
    qx, qy = ax + t * dx - px, ay + t * dy - py
    return math.sqrt(qx * qx + qy * qy)


def polyline_distance(points, half_width):
    segments = list(zip(points, points[1:]))

    def distance(x, y):
        return min(segment_distance(x, y, a[0], a[1], b[0], b[1]) for a, b in segments) - half_width
    return distance


def union(*distances):
    return lambda x, y: min(d(x, y) for d in distances)


def rounded_box(x0, y0, x1, y1, radius):
    cx, cy = (x0 + x1) / 2.0, (y0 + y1) / 2.0
    hx, hy = (x1 - x0) / 2.0 - radius, (y1 - y0) / 2.0 - radius

    def distance(x, y):
        qx, qy = abs(x - cx) - hx, abs(y - cy) - hy
        outside = math.hypot(max(qx, 0.0), max(qy, 0.0))
        return outside + min(max(qx, qy), 0.0) - radius
    return distance


def triangle(a, b, c):
    """Signed distance to a filled triangle (pixels, negative inside)."""
    edges = [(a, b), (b, c), (c, a)]
    area = (b[0] - a[0]) * (c[1] - a[1]) - (b[1] - a[1]) * (c[0] - a[0])

    def distance(x, y):
        d = min(segment_distance(x, y, p[0], p[1], q[0], q[1]) for p, q in edges)
        inside = all(((q[0] - p[0]) * (y - p[1]) - (q[1] - p[1]) * (x - p[0])) * area >= 0 for p, q in edges)
        return -d if inside else d
    return distance


class ImageFont:
    """The glyphs of an OGRE image font (.fontdef and its grey+alpha texture)."""

    def __init__(self, fontdef):
        folder = os.path.dirname(fontdef)
        self.glyphs = {}
        source = None
        with open(fontdef) as f:
            for line in f:
                words = line.split()
                if words[:1] == ["source"]:
                    source = words[1]
                elif words[:1] == ["glyph"]:
                    code = ord(words[1]) if len(words[1]) == 1 else int(words[1][1:])
                    self.glyphs[code] = tuple(float(w) for w in words[2:6])
        self.width, self.height, self.channels, self.rows = pngfile.read(os.path.join(folder, source))
        u0, v0, u1, v1 = self.glyphs[ord("M")]
        self.cell = (v1 - v0) * self.height

    def coverage(self, x, y):
        if not (0 <= x < self.width and 0 <= y < self.height):
            return 0.0
        return self.rows[y][x * self.channels + self.channels - 1] / 255.0

    def sample(self, fx, fy):
        x0, y0 = int(math.floor(fx)), int(math.floor(fy))
        tx, ty = fx - x0, fy - y0
        top = self.coverage(x0, y0) * (1 - tx) + self.coverage(x0 + 1, y0) * tx
        bottom = self.coverage(x0, y0 + 1) * (1 - tx) + self.coverage(x0 + 1, y0 + 1) * tx
        return top * (1 - ty) + bottom * ty

    def advance(self, code, size):
        if code not in self.glyphs:
            return size * 0.3
        u0, v0, u1, v1 = self.glyphs[code]
        return (u1 - u0) * self.width * size / self.cell

    def text_width(self, text, size):
        return sum(self.advance(ord(c), size) for c in text)

    def draw(self, canvas, text, x, y, size, colour):
        """Sets text with its cell's top-left at (x, y); size is the cell height in pixels."""
        k = self.cell / size
        for c in text:
            code = ord(c)
            width = self.advance(code, size)
            if code in self.glyphs:
                u0, v0, _, _ = self.glyphs[code]
                gx, gy = u0 * self.width, v0 * self.height
                for py in range(int(size) + 1):
                    for px in range(int(width) + 1):
                        if px * k >= width * k:
                            continue
                        cover = self.sample(gx + (px + 0.5) * k - 0.5, gy + (py + 0.5) * k - 0.5)
                        canvas.blend(int(x) + px, int(y) + py, colour, cover)
            x += width


def value_noise(rng, cells):
    grid = [[rng.random() for _ in range(cells + 1)] for _ in range(cells + 1)]
    for row in grid:
        row[cells] = row[0]
    grid[cells] = grid[0]

    def at(u, v):
        fx, fy = u * cells, v * cells
        x0, y0 = int(fx) % cells, int(fy) % cells
        tx, ty = fx - int(fx), fy - int(fy)
        tx, ty = tx * tx * (3 - 2 * tx), ty * ty * (3 - 2 * ty)
        top = grid[y0][x0] * (1 - tx) + grid[y0][x0 + 1] * tx
        bottom = grid[y0 + 1][x0] * (1 - tx) + grid[y0 + 1][x0 + 1] * tx
        return top * (1 - ty) + bottom * ty
    return at


def fractal(rng, octaves=4):
    layers = [value_noise(rng, 4 * 2 ** k) for k in range(octaves)]

    def at(u, v):
        return sum(layer(u, v) * 0.5 ** k for k, layer in enumerate(layers)) / (2.0 - 0.5 ** (octaves - 1))
    return at


def radial(size, function):
    canvas = Canvas(size, size)
    for y in range(size):
        for x in range(size):
            u, v = (x + 0.5) / size, (y + 0.5) / size
            r = math.hypot(u - 0.5, v - 0.5) * 2.0
            canvas.pixels[y][x] = list(function(u, v, r))
    return canvas


def blob_shadow():
    def shade(u, v, r):
        return (0.0, 0.0, 0.0, 0.75 * max(0.0, 1.0 - r) ** 1.6)
    return radial(64, shade)


def particle_dot():
    def shade(u, v, r):
        return (1.0, 1.0, 1.0, max(0.0, math.exp(-r * r * 5.0) - math.exp(-5.0)) / (1 - math.exp(-5.0)))
    return radial(32, shade)


def particle_smoke():
    noise = fractal(random.Random(401))

    def shade(u, v, r):
        n = noise(u, v)
        falloff = max(0.0, 1.0 - r) ** 1.2
        grey = 0.75 + 0.25 * n
        return (grey, grey, grey, min(1.0, falloff * (0.4 + 0.9 * n)))
    return radial(64, shade)


def particle_flame():
    noise = fractal(random.Random(402))

    def shade(u, v, r):
        n = noise(u, v)
        core = max(0.0, 1.0 - r * (1.0 + 0.6 * n)) ** 0.9
        return (1.0, 0.9 + 0.1 * core, 0.75 + 0.25 * core, min(1.0, core * 1.3))
    return radial(64, shade)


def particle_debris():
    rng = random.Random(403)
    canvas = Canvas(32, 32)
    corners = []
    for k in range(7):
        angle = 2 * math.pi * k / 7 + rng.uniform(-0.3, 0.3)
        radius = rng.uniform(9, 14)
        corners.append((16 + radius * math.cos(angle), 16 + radius * math.sin(angle)))
    edges = list(zip(corners, corners[1:] + corners[:1]))

    def distance(x, y):
        d = min(segment_distance(x, y, p[0], p[1], q[0], q[1]) for p, q in edges)
        inside = all((q[0] - p[0]) * (y - p[1]) - (q[1] - p[1]) * (x - p[0]) >= 0 for p, q in edges)
        return -d if inside else d
    for y in range(32):
        for x in range(32):
            d = distance(x + 0.5, y + 0.5)
            light = 0.55 + 0.35 * ((32 - x - y) / 32.0) + 0.1 * max(0.0, min(1.0, -d / 3.0))
            canvas.blend(x, y, (light, light * 0.97, light * 0.92, 1.0), 0.5 - d)
    return canvas


# Letters on a grid 4 wide and 7 high, y up, as polylines.
LETTERS = {
    "K": [[(0, 0), (0, 7)], [(4, 7), (0.4, 3.4)], [(1.5, 4.4), (4, 0)]],
    "O": [[(1, 0), (3, 0), (4, 1), (4, 6), (3, 7), (1, 7), (0, 6), (0, 1), (1, 0)]],
    "R": [[(0, 0), (0, 7), (3, 7), (4, 6), (4, 4.5), (3, 3.5), (0, 3.5)], [(2.2, 3.5), (4, 0)]],
    "V": [[(0, 7), (2, 0), (4, 7)]],
    "A": [[(0, 0), (0, 5), (2, 7), (4, 5), (4, 0)], [(0, 3), (4, 3)]],
    "N": [[(0, 0), (0, 7), (4, 0), (4, 7)]],
    "E": [[(4, 7), (0, 7), (0, 0), (4, 0)], [(0, 3.5), (3, 3.5)]],
}


def menu_logo():
    """The title in block strokes, 8:3, blue like the menu, with a dark rim and a soft glow."""
    width, height = 512, 192
    canvas = Canvas(width, height)
    word = "KORVANE"
    unit = 11.5
    gap = 1.9
    total = (len(word) * 4 + (len(word) - 1) * gap) * unit
    left = (width - total) / 2.0
    baseline = 128.0
    strokes = []
    for index, letter in enumerate(word):
        x0 = left + index * (4 + gap) * unit
        for line in LETTERS[letter]:
            strokes.append([(x0 + x * unit, baseline - y * unit) for x, y in line])
    segments = [(a, b) for line in strokes for a, b in zip(line, line[1:])]
    top, bottom = baseline - 7 * unit, baseline
    half = 0.55 * unit
    for y in range(height):
        for x in range(width):
            px, py = x + 0.5, y + 0.5
            d = min(segment_distance(px, py, a[0], a[1], b[0], b[1]) for a, b in segments) - half
            if d > 14:
                continue
            glow = max(0.0, 1.0 - (d + 3) / 14.0) ** 2 * 0.35
            canvas.blend(x, y, (MENU_BLUE[0], MENU_BLUE[1], MENU_BLUE[2], 1.0), glow)
            canvas.blend(x, y, (0.0, 0.06, 0.18, 1.0), 0.5 - (d - 2.5))
            t = max(0.0, min(1.0, (py - top) / (bottom - top)))
            fill = tuple(MENU_LIGHT[c] * (1 - t) + MENU_BLUE[c] * t for c in range(3))
            canvas.blend(x, y, (fill[0], fill[1], fill[2], 1.0), 0.5 - d)
    bar = rounded_box(left, baseline + 22, left + total, baseline + 26, 2)
    canvas.shape(bar, (MENU_BLUE[0], MENU_BLUE[1], MENU_BLUE[2], 0.8), (left - 2, baseline + 20, left + total + 2, baseline + 28))
    return canvas


def help_panel(font, title, rows, width=1024, height=512, notes=()):
    """A dark rounded panel with a title, rows of (action, how) in two aligned columns and, under
    them, lines of notes."""
    canvas = Canvas(width, height)
    margin = 6
    panel = rounded_box(margin, margin, width - margin, height - margin, 28)
    canvas.shape(panel, (0.01, 0.03, 0.07, 0.72))
    rim = lambda x, y: abs(panel(x, y) + 2.0) - 1.5
    canvas.shape(rim, (MENU_BLUE[0], MENU_BLUE[1], MENU_BLUE[2], 0.9))
    size = min(38.0, (height - 2 * margin - 40) / (len(rows) + 1.6 + (len(notes) + 0.3 if notes else 0)))
    y = margin + 18
    title_size = size * 1.15
    font.draw(canvas, title, (width - font.text_width(title, title_size)) / 2.0, y, title_size,
              (MENU_LIGHT[0], MENU_LIGHT[1], MENU_LIGHT[2], 1.0))
    y += title_size * 1.3
    column = margin + 40 + max(font.text_width(action, size) for action, _ in rows) + size
    for action, how in rows:
        font.draw(canvas, action, margin + 40, y, size, (MENU_LIGHT[0], MENU_LIGHT[1], MENU_LIGHT[2], 1.0))
        font.draw(canvas, how, column, y, size, (1.0, 1.0, 1.0, 1.0))
        y += size
    y += size * 0.3
    for note in notes:
        font.draw(canvas, note, margin + 40, y, size, (MENU_LIGHT[0], MENU_LIGHT[1], MENU_LIGHT[2], 1.0))
        y += size
    return canvas


# One picture serves both keyboard controllers: where they differ, each is named as the player
# menu names it.
KEYBOARD_ROWS = [
    ("WALK", "A and D, without turning"), ("", 'Left and Right, turning too with "Keyboard"'),
    ("AIM", 'mouse, with "Keyboard+mouse"'), ("", 'Up and Down, with "Keyboard"'),
    ("JUMP", "SPACE or W"), ("CROUCH", "S"),
    ("SHOOT", "CTRL, or left mouse button"), ("SWITCH", "F, or middle mouse button"),
    ("RELOAD", "R, or right mouse button"), ("INTERACT", "E"), ("SHIELD", "C"), ("INFO", "F1"),
]

KEYBOARD_NOTES = [
    'The mouse aims and shoots with "Keyboard+mouse" only.',
    "Each player's controller is chosen in Settings.",
]

GAMEPAD_ROWS = [
    ("WALK", "left stick"), ("AIM", "right stick"), ("JUMP", "lower action button"), ("CROUCH", "left stick down"),
    ("SHOOT", "right trigger button"), ("SWITCH", "upper action button"), ("RELOAD", "rightmost action button"),
    ("INTERACT", "leftmost action button"), ("SHIELD", "left trigger button"), ("INFO", "options/view button"),
]

EDITOR_MOUSE_ROWS = [
    ("Drag selection", "move"), ("Alt + drag", "move in depth"), ("Shift + drag", "turn about z"),
    ("Shift + Alt + drag", "turn about y"), ("Drag elsewhere", "select a box"), ("SPACE", "placement mode"),
    ("TAB", "palette"), ("T", "add a position"),
]

# Under the mouse rows, for the keys as well: what Alt and Shift leave alone.
EDITOR_MOUSE_NOTES = [
    "Alt moves entities and markers in depth;",
    "blocks stay at depth 0 and never turn.",
]

EDITOR_KEY_ROWS = [
    ("Arrow keys", "step"), ("Alt + Up / Down", "step in depth"), ("DELETE", "remove selection"), ("R", "reset"),
    ("S", "next initial state"), ("G", "grid size"), ("Ctrl + Z / Y", "undo / redo"), ("N", "centre the level"),
    ("L", "light and sound maps"), ("P", "preview"), ("F1", "show or hide this help"),
]


def move_cursor():
    canvas = Canvas(128, 128)
    c = 64.0
    shapes = [polyline_distance([(c - 40, c), (c + 40, c)], 4), polyline_distance([(c, c - 40), (c, c + 40)], 4)]
    for dx, dy in ((1, 0), (-1, 0), (0, 1), (0, -1)):
        tip = (c + dx * 60, c + dy * 60)
        base = (c + dx * 38, c + dy * 38)
        side = (-dy * 16, dx * 16)
        shapes.append(triangle(tip, (base[0] + side[0], base[1] + side[1]), (base[0] - side[0], base[1] - side[1])))
    body = union(*shapes)
    canvas.shape(lambda x, y: body(x, y) - 3, (0.0, 0.05, 0.15, 0.85))
    canvas.shape(body, (0.55, 0.85, 1.0, 1.0))
    return canvas


def rotate_cursor():
    canvas = Canvas(128, 128)
    c = 64.0
    radius = 42.0
    arcs = []
    for start in (0.25, 1.25):
        points = [(c + radius * math.cos(math.pi * (start + 0.7 * k / 24)), c - radius * math.sin(math.pi * (start + 0.7 * k / 24)))
                  for k in range(25)]
        arcs.append(polyline_distance(points, 4))
        end = math.pi * (start + 0.7)
        tangent = (-math.sin(end), -math.cos(end))
        at = (c + radius * math.cos(end), c - radius * math.sin(end))
        normal = (math.cos(end), -math.sin(end))
        tip = (at[0] + tangent[0] * 16, at[1] + tangent[1] * 16)
        arcs.append(triangle(tip, (at[0] + normal[0] * 14, at[1] + normal[1] * 14),
                             (at[0] - normal[0] * 14, at[1] - normal[1] * 14)))
    body = union(*arcs)
    canvas.shape(lambda x, y: body(x, y) - 3, (0.0, 0.05, 0.15, 0.85))
    canvas.shape(body, (1.0, 0.8, 0.35, 1.0))
    return canvas


def write_all(root):
    font = ImageFont(os.path.join(root, "data", "menufont.fontdef"))
    data = os.path.join(root, "data")
    images = [
        ("blobshadow.png", blob_shadow),
        ("menulogo.png", menu_logo),
        ("keyboardinfo.png", lambda: help_panel(font, "KEYBOARD", KEYBOARD_ROWS, notes=KEYBOARD_NOTES)),
        ("gamepadinfo.png", lambda: help_panel(font, "GAMEPAD", GAMEPAD_ROWS)),
        ("editinfoleft.png", lambda: help_panel(font, "EDITOR: MOUSE", EDITOR_MOUSE_ROWS, notes=EDITOR_MOUSE_NOTES)),
        ("editinforight.png", lambda: help_panel(font, "EDITOR: KEYS", EDITOR_KEY_ROWS)),
        ("editormovecursor.png", move_cursor),
        ("editorrotatecursor.png", rotate_cursor),
        ("particles/particledot.png", particle_dot),
        ("particles/particlesmoke.png", particle_smoke),
        ("particles/particleflame.png", particle_flame),
        ("particles/particledebris.png", particle_debris),
    ]
    for name, make in images:
        os.makedirs(os.path.dirname(os.path.join(data, name)), exist_ok=True)
        make().save(os.path.join(data, name))
        print("wrote data/" + name)
