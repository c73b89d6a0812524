#!/usr/bin/env python3
"""Draws the two skins that ship with the plug-in into skins/.

    python3 scripts/make-skins.py [skins-folder]

Aurora is a round window (two faces: Aurora, Ember); Ticket is a light paper
ticket with a second, wide face (Ticket, Strip) that shows how a face can
change the window's size. Each face is a skin.ini section with whole-face
pictures for the normal, hover and pressed looks and strips for the state
elements. Shapes are supersampled inside the face; the outline against the
colour key is left hard, so that no key colour bleeds into the window's edge.
Pictures with at most 256 colours are written as 8-bit BMPs to keep them small.
"""
import math
import os
import struct
import sys

KEY = (255, 0, 255)
SAMPLES = 4  # per pixel side

PAUSED, RUNNING, NUMBER, RECEIVED, TOTAL = 51500, 51501, 51502, 51503, 51504
NEXT_FACE, PREVIOUS_TASK, NEXT_TASK, DISCARD_ALL = 50050, 50052, 50053, 50065

# 5 x 7 digits for the task number badge.
DIGITS = {
    "1": ["..#..", ".##..", "..#..", "..#..", "..#..", "..#..", ".###."],
    "2": [".###.", "#...#", "....#", "...#.", "..#..", ".#...", "#####"],
    "3": ["####.", "....#", "....#", ".###.", "....#", "....#", "####."],
}


def mix(a, b, t):
    return tuple(a[i] + (b[i] - a[i]) * t for i in range(3))


def hexcolour(text):
    return tuple(int(text[i:i + 2], 16) for i in (1, 3, 5))


def scaled(length, percent):
    """A length of the 100 % face at percent, rounded as the engine rounds (MulDiv)."""
    return (length * percent + 50) // 100


class Picture:
    """Pixels of a face drawn at percent of its size; shapes and boxes are
    given in the face's 100 % coordinates."""

    def __init__(self, width, height, colour=KEY, percent=100):
        self.width, self.height, self.percent = width, height, percent
        self.pixels = [[tuple(map(float, colour))] * width for _ in range(height)]

    def copy(self):
        other = Picture(self.width, self.height, percent=self.percent)
        other.pixels = [row[:] for row in self.pixels]
        return other

    def fill(self, inside, colour, box=None, smooth=True):
        """Paints colour (an RGB triple or a function of x, y) where inside(x, y) holds.

        Pixels still of the key colour are outside the face and stay so: a
        blend of key and face would show as a pink fringe along the outline.
        """
        key = tuple(map(float, KEY))
        s = self.percent / 100
        left, top, right, bottom = [v * s for v in box] if box else (0, 0, self.width, self.height)
        left, top = max(0, int(math.floor(left))), max(0, int(math.floor(top)))
        right, bottom = min(self.width, int(math.ceil(right))), min(self.height, int(math.ceil(bottom)))
        for y in range(top, bottom):
            for x in range(left, right):
                if smooth and self.pixels[y][x] == key:
                    continue
                if smooth:
                    hits = sum(inside((x + (i + 0.5) / SAMPLES) / s, (y + (j + 0.5) / SAMPLES) / s)
                               for i in range(SAMPLES) for j in range(SAMPLES))
                    cover = hits / (SAMPLES * SAMPLES)
                else:
                    cover = 1.0 if inside((x + 0.5) / s, (y + 0.5) / s) else 0.0
                if cover:
                    paint = colour((x + 0.5) / s, (y + 0.5) / s) if callable(colour) else colour
                    self.pixels[y][x] = mix(self.pixels[y][x], paint, cover)

    def crop(self, rect):
        left, top, right, bottom = [scaled(v, self.percent) for v in rect]
        part = Picture(right - left, bottom - top, percent=self.percent)
        part.pixels = [row[left:right] for row in self.pixels[top:bottom]]
        return part

    def digit(self, text, left, top, colour):
        """A pixel-font digit; at a larger scale each of its pixels a block."""
        p = self.percent
        for row, line in enumerate(DIGITS[text]):
            for column, mark in enumerate(line):
                if mark == "#":
                    for y in range(scaled(top + row, p), scaled(top + row + 1, p)):
                        for x in range(scaled(left + column, p), scaled(left + column + 1, p)):
                            self.pixels[y][x] = tuple(map(float, colour))

    def save(self, path):
        rows = [[tuple(int(round(c)) for c in pixel) for pixel in row] for row in self.pixels]
        colours = sorted({pixel for row in rows for pixel in row})
        with open(path, "wb") as out:
            if len(colours) <= 256:
                index = {colour: i for i, colour in enumerate(colours)}
                stride = (self.width + 3) & ~3
                palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in colours)
                data = b"".join(bytes(index[p] for p in row) + b"\0" * (stride - self.width)
                                for row in reversed(rows))
                bits, used = 8, len(colours)
            else:
                stride = (self.width * 3 + 3) & ~3
                palette = b""
                data = b"".join(b"".join(struct.pack("<BBB", b, g, r) for r, g, b in row)
                                + b"\0" * (stride - self.width * 3) for row in reversed(rows))
                bits, used = 24, 0
            offset = 14 + 40 + len(palette)
            out.write(struct.pack("<2sIHHI", b"BM", offset + len(data), 0, 0, offset))
            out.write(struct.pack("<IiiHHIIiiII", 40, self.width, self.height, 1, bits, 0, len(data),
                                  2835, 2835, used, used))
            out.write(palette)
            out.write(data)


def strip(frames):
    width = sum(frame.width for frame in frames)
    joined = Picture(width, frames[0].height, percent=frames[0].percent)
    for y in range(joined.height):
        joined.pixels[y] = [pixel for frame in frames for pixel in frame.pixels[y]]
    return joined


# Shapes: functions of a point.

def circle(cx, cy, r):
    return lambda x, y: (x - cx) ** 2 + (y - cy) ** 2 <= r * r


def ring(cx, cy, inner, outer):
    return lambda x, y: inner * inner <= (x - cx) ** 2 + (y - cy) ** 2 <= outer * outer


def rounded(left, top, right, bottom, radius):
    def inside(x, y):
        if not (left <= x <= right and top <= y <= bottom):
            return False
        dx = max(left + radius - x, 0, x - (right - radius))
        dy = max(top + radius - y, 0, y - (bottom - radius))
        return dx * dx + dy * dy <= radius * radius
    return inside


def frame(left, top, right, bottom, radius, width=1.0):
    outer = rounded(left, top, right, bottom, radius)
    inner = rounded(left + width, top + width, right - width, bottom - width, max(radius - width, 0))
    return lambda x, y: outer(x, y) and not inner(x, y)


def polygon(points):
    def inside(x, y):
        hit = False
        for (x1, y1), (x2, y2) in zip(points, points[1:] + points[:1]):
            if (y1 > y) != (y2 > y) and x < x1 + (y - y1) * (x2 - x1) / (y2 - y1):
                hit = not hit
        return hit
    return inside


def stroke(x1, y1, x2, y2, width):
    length2 = (x2 - x1) ** 2 + (y2 - y1) ** 2

    def inside(x, y):
        t = max(0.0, min(1.0, ((x - x1) * (x2 - x1) + (y - y1) * (y2 - y1)) / length2))
        px, py = x1 + t * (x2 - x1), y1 + t * (y2 - y1)
        return (x - px) ** 2 + (y - py) ** 2 <= width * width / 4
    return inside


def either(*shapes):
    return lambda x, y: any(shape(x, y) for shape in shapes)


def centre(rect):
    return (rect[0] + rect[2]) / 2, (rect[1] + rect[3]) / 2


# Glyphs drawn centred in a rectangle.

def glyph(picture, kind, rect, colour, drop=0):
    cx, cy = centre(rect)
    cy += drop
    box = (rect[0], rect[1], rect[2], rect[3] + 1)
    if kind == PREVIOUS_TASK:
        picture.fill(polygon([(cx - 3, cy), (cx + 2, cy - 4), (cx + 2, cy + 4)]), colour, box)
    elif kind == NEXT_TASK:
        picture.fill(polygon([(cx + 3, cy), (cx - 2, cy - 4), (cx - 2, cy + 4)]), colour, box)
    elif kind == DISCARD_ALL:
        picture.fill(either(stroke(cx - 3, cy - 3, cx + 3, cy + 3, 1.8),
                            stroke(cx - 3, cy + 3, cx + 3, cy - 3, 1.8)), colour, box)
    elif kind == NEXT_FACE:
        picture.fill(either(ring(cx, cy, 3.2, 4.4),
                            lambda x, y: x <= cx and (x - cx) ** 2 + (y - cy) ** 2 <= 4.4 ** 2), colour, box)


class Face:
    """One face: its size, outline, palette and where everything goes."""

    def __init__(self, name, size, palette, buttons, elements):
        self.name, self.size, self.palette = name, size, palette
        self.buttons, self.elements = buttons, elements

    def body(self, picture):
        raise NotImplementedError

    def button(self, picture, kind, rect, look):
        raise NotImplementedError

    def element(self, picture, kind, value, rect):
        raise NotImplementedError

    def pictures(self, percent=100):
        normal = Picture(scaled(self.size[0], percent), scaled(self.size[1], percent), percent=percent)
        self.body(normal)
        looks = {}
        for look in ("normal", "hover", "pressed"):
            picture = normal.copy()
            for kind, rect in self.buttons.items():
                self.button(picture, kind, rect, look)
            looks[look] = picture
        strips = {}
        for kind, (rect, frames) in self.elements.items():
            if frames:
                shots = []
                for value in range(frames):
                    picture = looks["normal"].copy()
                    self.element(picture, kind, value, rect)
                    shots.append(picture.crop(rect))
                strips[kind] = strip(shots)
        return looks, strips


class AuroraFace(Face):
    """A round gauge: rim, a dark band for the sizes, buttons around it."""

    def __init__(self, name, palette):
        buttons = {PREVIOUS_TASK: (3, 30, 11, 44), NEXT_TASK: (59, 30, 67, 44),
                   DISCARD_ALL: (23, 55, 34, 66), NEXT_FACE: (36, 55, 47, 66)}
        elements = {NUMBER: ((29, 4, 42, 17), 3), PAUSED: ((17, 9, 27, 20), 2),
                    RUNNING: ((44, 9, 54, 20), 3), RECEIVED: ((14, 25, 56, 38), 0),
                    TOTAL: ((14, 38, 56, 51), 0)}
        super().__init__(name, (70, 70), palette, buttons, elements)

    def body(self, picture):
        p = self.palette
        picture.fill(circle(35, 35, 34.9), lambda x, y: mix(p["core"], p["edge"],
                     min(1.0, math.hypot(x - 35, y - 35) / 34)), smooth=False)
        picture.fill(ring(35, 35, 32.2, 34.9),
                     lambda x, y: mix(p["rimTop"], p["rimBottom"], y / 70))
        picture.fill(lambda x, y: y < 30 and ring(35, 35, 30.6, 31.4)(x, y), p["shine"])
        picture.fill(rounded(12, 23, 58, 53, 6), p["band"], (11, 22, 59, 54))
        picture.fill(frame(12, 23, 58, 53, 6), p["bandBorder"], (11, 22, 59, 54))
        picture.fill(stroke(16, 38, 54, 38, 0.6), p["bandBorder"], (15, 37, 55, 40))

    def button(self, picture, kind, rect, look):
        p = self.palette
        cx, cy = centre(rect)
        area = (rect[0] - 1, rect[1] - 1, rect[2] + 1, rect[3] + 1)
        r = min(rect[2] - rect[0], rect[3] - rect[1]) / 2
        if kind in (PREVIOUS_TASK, NEXT_TASK):
            shape = rounded(rect[0], rect[1], rect[2], rect[3], 4)
        else:
            shape = circle(cx, cy, r)
        if look == "hover":
            picture.fill(shape, p["hover"], area)
        elif look == "pressed":
            picture.fill(shape, p["accent"], area)
        colour = {"normal": p["glyph"], "hover": p["glyphHover"], "pressed": p["glyphPressed"]}[look]
        if kind == DISCARD_ALL and look != "pressed":
            colour = p["discard"]
        glyph(picture, kind, rect, colour, 1 if look == "pressed" else 0)

    def element(self, picture, kind, value, rect):
        p = self.palette
        cx, cy = centre(rect)
        if kind == NUMBER:
            picture.fill(circle(cx, cy, 6.4), p["accent"], rect)
            picture.digit(str(value + 1), rect[0] + 4, rect[1] + 3, p["badgeText"])
        elif kind == PAUSED:
            colour = p["pausedLit"] if value == 1 else p["dim"]
            picture.fill(either(rounded(cx - 3, cy - 4, cx - 1, cy + 4, 0.5),
                                rounded(cx + 1, cy - 4, cx + 3, cy + 4, 0.5)), colour, rect)
        else:
            colour = p["runningLit"] if value == 2 else p["dim"]
            picture.fill(polygon([(cx - 3, cy - 4.5), (cx + 4, cy), (cx - 3, cy + 4.5)]), colour, rect)


class TicketFace(Face):
    """A paper ticket with notches on both sides and perforations."""

    def __init__(self, name, palette):
        buttons = {PREVIOUS_TASK: (6, 54, 19, 66), NEXT_TASK: (21, 54, 34, 66),
                   DISCARD_ALL: (53, 54, 66, 66), NEXT_FACE: (54, 4, 66, 16)}
        elements = {NUMBER: ((5, 4, 19, 16), 3), PAUSED: ((23, 5, 32, 15), 2),
                    RUNNING: ((34, 5, 43, 15), 3), RECEIVED: ((9, 22, 62, 35), 0),
                    TOTAL: ((9, 35, 62, 48), 0)}
        super().__init__(name, (70, 70), palette, buttons, elements)

    def body(self, picture):
        p = self.palette
        w, h = self.size
        outline = rounded(0, 0, w, h, 9)

        def inside(x, y):
            return outline(x, y) and not circle(0, 35, 5)(x, y) and not circle(w, 35, 5)(x, y)
        picture.fill(inside, lambda x, y: mix(p["top"], p["bottom"], y / h), smooth=False)
        edge = frame(0, 0, w, h, 9)
        picture.fill(lambda x, y: inside(x, y) and (edge(x, y) or ring(0, 35, 5, 6)(x, y)
                                                     or ring(w, 35, 5, 6)(x, y)), p["border"])
        for x in range(9, 62, 3):
            picture.fill(circle(x + 0.5, 19.5, 0.7), p["perforation"], (x - 1, 18, x + 2, 21))
            picture.fill(circle(x + 0.5, 51.5, 0.7), p["perforation"], (x - 1, 50, x + 2, 53))

    def button(self, picture, kind, rect, look):
        p = self.palette
        shape = rounded(rect[0] + 0.5, rect[1] + 0.5, rect[2] - 0.5, rect[3] - 0.5, 3.5)
        edge = frame(rect[0] + 0.5, rect[1] + 0.5, rect[2] - 0.5, rect[3] - 0.5, 3.5)
        area = (rect[0], rect[1], rect[2], rect[3])
        if look == "hover":
            picture.fill(shape, p["hover"], area)
        elif look == "pressed":
            picture.fill(shape, p["accent"], area)
        picture.fill(edge, p["accent"] if look == "pressed" else p["buttonBorder"], area)
        colour = p["glyphPressed"] if look == "pressed" else p["glyph"]
        if kind == DISCARD_ALL and look != "pressed":
            colour = p["discard"]
        glyph(picture, kind, rect, colour, 1 if look == "pressed" else 0)

    def element(self, picture, kind, value, rect):
        p = self.palette
        cx, cy = centre(rect)
        if kind == NUMBER:
            picture.fill(rounded(rect[0] + 0.5, rect[1] + 0.5, rect[2] - 0.5, rect[3] - 0.5, 3), p["accent"], rect)
            picture.digit(str(value + 1), int(cx) - 2, int(cy) - 3, p["badgeText"])
        elif kind == PAUSED:
            colour = p["pausedLit"] if value == 1 else p["dim"]
            picture.fill(either(rounded(cx - 3, cy - 4, cx - 1, cy + 4, 0.5),
                                rounded(cx + 1, cy - 4, cx + 3, cy + 4, 0.5)), colour, rect)
        else:
            colour = p["runningLit"] if value == 2 else p["dim"]
            picture.fill(polygon([(cx - 3, cy - 4.5), (cx + 4, cy), (cx - 3, cy + 4.5)]), colour, rect)


class StripFace(TicketFace):
    """The ticket laid flat: a wide, low bar with the buttons in a square."""

    def __init__(self, name, palette):
        Face.__init__(self, name, (102, 34), palette,
                      {PREVIOUS_TASK: (72, 4, 84, 16), NEXT_TASK: (86, 4, 98, 16),
                       DISCARD_ALL: (72, 18, 84, 30), NEXT_FACE: (86, 18, 98, 30)},
                      {NUMBER: ((4, 4, 18, 16), 3), PAUSED: ((3, 19, 11, 30), 2),
                       RUNNING: ((11, 19, 19, 30), 3), RECEIVED: ((22, 4, 68, 17), 0),
                       TOTAL: ((22, 17, 68, 30), 0)})

    def body(self, picture):
        p = self.palette
        w, h = self.size
        outline = rounded(0, 0, w, h, 8)
        picture.fill(outline, lambda x, y: mix(p["top"], p["bottom"], y / h), smooth=False)
        edge = frame(0, 0, w, h, 8)
        picture.fill(lambda x, y: outline(x, y) and edge(x, y), p["border"])
        for y in range(5, 30, 3):
            picture.fill(circle(20.5, y + 0.5, 0.7), p["perforation"], (19, y - 1, 22, y + 2))
            picture.fill(circle(69.5, y + 0.5, 0.7), p["perforation"], (68, y - 1, 71, y + 2))


def palette(**colours):
    return {name: hexcolour(value) for name, value in colours.items()}


AURORA = palette(core="#12343B", edge="#08161C", rimTop="#4FE0D4", rimBottom="#1B5560", shine="#2A8A8A",
                 band="#051116", bandBorder="#1D4A52", text="#A6F5EA", accent="#3FD0C9", badgeText="#04161A",
                 dim="#25464E", pausedLit="#FFC857", runningLit="#5CF2A0", hover="#1B4850", glyph="#8CCFCF",
                 glyphHover="#FFFFFF", glyphPressed="#04161A", discard="#FF7B7B")
EMBER = palette(core="#3A1D12", edge="#160905", rimTop="#FFA257", rimBottom="#6E2A10", shine="#8A4422",
                band="#120604", bandBorder="#5A2A18", text="#FFD2AE", accent="#FF8A3D", badgeText="#1A0A04",
                dim="#55301F", pausedLit="#FFD166", runningLit="#A5E86A", hover="#5A2A18", glyph="#E8B08A",
                glyphHover="#FFFFFF", glyphPressed="#1A0A04", discard="#FF8C7A")
TICKET = palette(top="#FDF8EC", bottom="#F0E5CC", border="#C3AA7C", perforation="#D5C29C", text="#3B2F1E",
                 accent="#E4572E", badgeText="#FFFFFF", dim="#D9CBAE", pausedLit="#E39A1E",
                 runningLit="#2E9E5B", hover="#F1DCAD", buttonBorder="#C9B48A", glyph="#6B5A3E",
                 glyphPressed="#FFFFFF", discard="#C8442C")
STRIP = palette(top="#EEF9F4", bottom="#D3ECE1", border="#86C2A8", perforation="#A9D6C2", text="#1E3A32",
                accent="#1FA37A", badgeText="#FFFFFF", dim="#B8DCCB", pausedLit="#E39A1E",
                runningLit="#1FA37A", hover="#FFFFFF", buttonBorder="#8CC7AE", glyph="#2F5E50",
                glyphPressed="#FFFFFF", discard="#C8442C")

SKINS = {
    "Aurora": [AuroraFace("aurora", AURORA), AuroraFace("ember", EMBER)],
    "Ticket": [TicketFace("ticket", TICKET), StripFace("strip", STRIP)],
}

ELEMENT_NAMES = {PAUSED: "paused", RUNNING: "running", NUMBER: "number"}

# Display scales the skins ship pictures for, beside their 100 % ones; at
# other scales the engine repeats the pixels of the largest set below.
ART_PERCENTS = (125, 150, 200)


def rgb(colour):
    return "%d,%d,%d" % colour


def write_art_set(folder, face, number, percent):
    """The face drawn at percent, as section [FaceN.percent]."""
    looks, strips = face.pictures(percent)
    names = {"normal": "Background", "hover": "Hover", "pressed": "Pressed"}
    lines = ["", "[Face%d.%d]" % (number, percent)]
    for look, picture in looks.items():
        file = "%s%s-%d.bmp" % (face.name, "" if look == "normal" else "-" + look, percent)
        picture.save(os.path.join(folder, file))
        lines.append("%s=%s" % (names[look], file))
    for kind, picture in sorted(strips.items()):
        file = "%s-%s-%d.bmp" % (face.name, ELEMENT_NAMES[kind], percent)
        picture.save(os.path.join(folder, file))
        lines.append("Element%d=%s" % (kind, file))
    return lines


def write_skin(folder, name, faces):
    os.makedirs(folder, exist_ok=True)
    lines = ["; %s: drawn by scripts/make-skins.py" % name, "[Skin]", "Faces=%d" % len(faces)]
    art_sets = []
    for number, face in enumerate(faces, 1):
        looks, strips = face.pictures()
        files = {look: "%s%s.bmp" % (face.name, "" if look == "normal" else "-" + look) for look in looks}
        for look, picture in looks.items():
            picture.save(os.path.join(folder, files[look]))
        for percent in ART_PERCENTS:
            art_sets += write_art_set(folder, face, number, percent)
        lines += ["", "[Face%d]" % number, "Background=" + files["normal"], "Hover=" + files["hover"],
                  "Pressed=" + files["pressed"], "TextColor=" + rgb(face.palette["text"]),
                  "ColorKey=" + rgb(KEY)]
        for kind, (rect, frames) in sorted(face.elements.items()):
            place = "%d,%d,%d,%d" % (rect[0], rect[1], rect[2] - rect[0], rect[3] - rect[1])
            if frames:
                strip_file = "%s-%s.bmp" % (face.name, ELEMENT_NAMES[kind])
                strips[kind].save(os.path.join(folder, strip_file))
                place += "," + strip_file
            lines.append("Element%d=%s" % (kind, place))
        for kind, rect in sorted(face.buttons.items()):
            lines.append("Button%d=%d,%d,%d,%d" % (kind, rect[0], rect[1], rect[2] - rect[0], rect[3] - rect[1]))
    with open(os.path.join(folder, "skin.ini"), "w", newline="\r\n") as out:
        out.write("\n".join(lines + art_sets) + "\n")


def main():
    root = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..", "skins")
    for name, faces in SKINS.items():
        write_skin(os.path.join(root, name), name, faces)


if __name__ == "__main__":
    main()
