#!/usr/bin/env python3
"""Writes the seed corpus of editor_fuzz: short, meaningful editing sessions
(shapes drawn, attached, selected, moved, rotated, resized, pasted, deleted,
undone) encoded the way editor_fuzz.cpp decodes its input, so that the fuzzer
starts from documents with real structure instead of having to find them.

Run from anywhere: python3 fuzz/make_editor_seeds.py
Keep it in step with the decoding order in editor_fuzz.cpp.
"""

import os

HERE = os.path.dirname(os.path.abspath(__file__))
OUT = os.path.join(HERE, "corpus", "editor_fuzz")

# Operation numbers of Session::step.
PRESS, DRAG, MODIFIERS, RELEASE, ROTATE, COLOUR, WIDTH, DELETE, NUDGE = 0, 2, 5, 6, 7, 8, 9, 10, 11
TEXT, LAYOUT, COPY, PASTE, UNDO, REDO, CANCEL, DRAW = 12, 13, 14, 15, 16, 17, 18, 19
SELECT, RECTANGLE, ELLIPSE, LINE, ARROW, PEN, HIGHLIGHTER = 0, 1, 2, 3, 4, 5, 6
NAN, INF, NEG_INF, HUGE, NEG_HUGE = 0, 1, 2, 5, 6  # indexes of the special coordinates


class Seed:
    """Integral values are read from the end of the input, in call order
    (FuzzedDataProvider); strings from the front."""

    def __init__(self):
        self.tail = []
        self.front = b""

    def ranged(self, lo, hi, value):
        span, result = hi - lo, value - lo
        assert 0 <= result <= span
        count = 0
        while count < 8 and (span >> (8 * count)) > 0:
            count += 1
        self.tail += [(result >> (8 * (count - 1 - k))) & 0xFF for k in range(count)]

    def flag(self, value):
        self.ranged(0, 255, 1 if value else 0)

    def op(self, number):
        self.ranged(0, 19, number)

    def coord(self, value):
        self.ranged(0, 7, 0)
        self.ranged(-64, 2047, value)

    def special(self, index):
        self.ranged(0, 7, 5)
        self.ranged(0, 11, index)

    # Points: free coordinates, a spot on an object, or a selection handle.
    def at(self, x, y):
        self.ranged(0, 3, 0)
        for v in (x, y):
            if isinstance(v, tuple):
                self.special(v[1])
            else:
                self.coord(v)

    def on(self, index, count, centre=False, arrow_end=None, dx=0, dy=0):
        self.ranged(0, 3, 3 if centre else 2)
        self.ranged(-12, 12, dx)
        self.ranged(-12, 12, dy)
        self.ranged(0, count - 1, index)
        if arrow_end is not None:
            self.flag(arrow_end == "start")

    def handle(self, spot, dx=0, dy=0):  # 0..3 corners from top-left, 4 rotation
        self.ranged(0, 3, 1)
        self.ranged(-12, 12, dx)
        self.ranged(-12, 12, dy)
        self.ranged(0, 4, spot)

    def press(self, point, tool=None, shift=False, alt=False):
        self.op(PRESS)
        self.flag(tool is not None)
        if tool is not None:
            self.ranged(0, 7, tool)
        point()
        self.flag(shift)
        self.flag(alt)

    def drag(self, point, shift=False, alt=False, gesture=True):
        self.op(DRAG)
        if gesture:
            self.flag(shift)
            self.flag(alt)
        point()

    def simple(self, number):
        self.op(number)

    def width(self, wider):
        self.op(WIDTH)
        self.flag(not wider)

    def nudge(self, dx, dy):
        self.op(NUDGE)
        for v in (dx, dy):
            if isinstance(v, tuple):
                self.special(v[1])
            else:
                self.coord(v)

    def text(self, text, x, y, w, h, font):
        self.op(TEXT)
        self.front += text.encode("utf-8").replace(b"\\", b"\\\\") + b"\\x"
        for v in (x, y, w, h):
            self.coord(v)
        self.flag(False)
        self.coord(font)
        self.ranged(0, 5, 0)

    def layout(self, index, count, font, w, h):
        self.op(LAYOUT)
        self.ranged(0, 3, 1)
        self.flag(True)
        self.ranged(0, count - 1, index)
        self.flag(False)
        for v in (font, w, h):
            self.coord(v)

    def colour(self, r, g, b):
        self.op(COLOUR)
        self.tail += [r, g, b]

    def paste(self):
        self.op(PASTE)
        self.flag(True)

    def draw(self):
        self.op(DRAW)
        self.at(640, 360)

    def data(self):
        return self.front + bytes(reversed(self.tail))


def arrow_delete_undo():
    s = Seed()
    s.press(lambda: s.at(100, 100), tool=RECTANGLE)
    s.drag(lambda: s.at(300, 200))
    s.simple(RELEASE)
    s.press(lambda: s.at(400, 100))
    s.drag(lambda: s.at(500, 200))
    s.simple(RELEASE)
    s.press(lambda: s.on(0, 2, centre=True), tool=ARROW)
    s.drag(lambda: s.on(1, 3, centre=True))
    s.simple(RELEASE)
    s.press(lambda: s.on(0, 3), tool=SELECT)
    s.simple(RELEASE)
    s.simple(DELETE)
    s.draw()
    s.simple(UNDO)
    s.simple(REDO)
    s.simple(UNDO)
    return s


def pen_copy_paste():
    s = Seed()
    s.press(lambda: s.at(50, 50), tool=PEN)
    s.drag(lambda: s.at(60, 55))
    s.drag(lambda: s.at(70, 65))
    s.width(True)
    s.drag(lambda: s.at(90, 70))
    s.simple(RELEASE)
    s.press(lambda: s.at(50, 50), tool=SELECT)
    s.simple(RELEASE)
    s.simple(COPY)
    s.paste()
    s.paste()
    s.paste()
    s.simple(UNDO)
    s.nudge(10, 0)
    s.colour(10, 200, 30)
    s.draw()
    return s


def ellipse_rotate_resize():
    s = Seed()
    s.press(lambda: s.at(300, 300), tool=ELLIPSE, alt=True)
    s.drag(lambda: s.at(360, 330), alt=True)
    s.simple(RELEASE)
    s.press(lambda: s.at(360, 300), tool=SELECT)
    s.simple(RELEASE)
    s.simple(ROTATE)
    s.at(400, 200)
    s.drag(lambda: s.at(420, 260))
    s.simple(RELEASE)
    s.press(lambda: s.handle(2))
    s.drag(lambda: s.at(450, 400))
    s.simple(RELEASE)
    s.press(lambda: s.handle(4))
    s.drag(lambda: s.at(200, 150), shift=True)
    s.simple(RELEASE)
    s.nudge(-1, 0)
    s.draw()
    for _ in range(3):
        s.simple(UNDO)
    for _ in range(3):
        s.simple(REDO)
    return s


def text_layout():
    s = Seed()
    s.text("Hello", 10, 10, 80, 24, 20)
    s.text("  ", 10, 100, 80, 24, 20)
    s.layout(0, 1, 30, 100, 36)
    s.press(lambda: s.on(0, 1, centre=True), tool=SELECT)
    s.drag(lambda: s.at(200, 200))
    s.simple(RELEASE)
    s.press(lambda: s.handle(2))
    s.drag(lambda: s.at(900, 900))
    s.simple(RELEASE)
    s.colour(1, 2, 3)
    s.simple(UNDO)
    return s


def lines_and_marquee():
    s = Seed()
    s.press(lambda: s.at(0, 0), tool=LINE, shift=True)
    s.drag(lambda: s.at(100, 58), shift=True)
    s.simple(RELEASE)
    s.press(lambda: s.at(10, 300), tool=HIGHLIGHTER)
    s.drag(lambda: s.at(50, 310))
    s.drag(lambda: s.at(90, 300))
    s.simple(RELEASE)
    s.press(lambda: s.at(-50, -50), tool=SELECT)
    s.drag(lambda: s.at(1500, 1500))
    s.simple(RELEASE)
    s.nudge(10, 10)
    s.simple(COPY)
    s.simple(DELETE)
    s.simple(UNDO)
    s.paste()
    s.draw()
    return s


def arrow_endpoint():
    s = Seed()
    s.press(lambda: s.at(400, 50), tool=RECTANGLE)
    s.drag(lambda: s.at(500, 150))
    s.simple(RELEASE)
    s.press(lambda: s.at(100, 100), tool=ARROW)
    s.drag(lambda: s.at(300, 100))
    s.simple(RELEASE)
    s.press(lambda: s.on(1, 2, arrow_end="end"), tool=SELECT)
    s.simple(RELEASE)
    s.press(lambda: s.on(1, 2, arrow_end="end"))
    s.drag(lambda: s.on(0, 2, centre=True))
    s.simple(MODIFIERS)
    s.flag(True)
    s.flag(False)
    s.simple(MODIFIERS)
    s.flag(False)
    s.flag(False)
    s.simple(RELEASE)
    s.draw()
    s.press(lambda: s.on(0, 2))
    s.drag(lambda: s.at(600, 300))
    s.simple(RELEASE)
    s.draw()
    s.simple(UNDO)
    return s


def non_finite():
    s = Seed()
    s.press(lambda: s.at(("s", NAN), 0), tool=RECTANGLE)
    s.press(lambda: s.at(100, 100))
    s.drag(lambda: s.at(("s", INF), 5))
    s.drag(lambda: s.at(("s", HUGE), ("s", HUGE)))
    s.simple(RELEASE)
    s.draw()
    s.press(lambda: s.at(100, 100), tool=PEN)
    s.drag(lambda: s.at(("s", NEG_HUGE), 0))
    s.drag(lambda: s.at(("s", HUGE), 0))
    s.simple(RELEASE)
    s.draw()
    s.press(lambda: s.at(100, 100), tool=SELECT)
    s.drag(lambda: s.at(("s", NEG_HUGE), 0))
    s.simple(RELEASE)
    s.nudge(("s", NAN), 1)
    s.nudge(("s", HUGE), ("s", HUGE))
    s.draw()
    s.simple(UNDO)
    s.simple(REDO)
    return s


def main():
    os.makedirs(OUT, exist_ok=True)
    for make in (arrow_delete_undo, pen_copy_paste, ellipse_rotate_resize, text_layout, lines_and_marquee,
                 arrow_endpoint, non_finite):
        with open(os.path.join(OUT, make.__name__), "wb") as f:
            f.write(make().data())


if __name__ == "__main__":
    main()
