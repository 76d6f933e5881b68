#!/usr/bin/python3
"""Draws Tumblewick's own pictures: the 24 button pictures, the program icon,
the logo and a contact sheet of the buttons; or, with --wallpapers, the 24
desktop wallpapers that the setup installs.

Run from anywhere; files are written relative to the repository root:
    assets/pictures/<wallpaper stem>.bmp, assets/tumblewick.ico,
    assets/logo.jpg, docs/pictures.png
With --wallpapers DIR: DIR/<wallpaper stem>.bmp, 1920 x 1080, 256 colours.
"""

import argparse
import math
import random
import struct
from pathlib import Path

from PIL import Image, ImageDraw, ImageFont

ROOT = Path(__file__).resolve().parent.parent
BOLD = "/usr/share/fonts/truetype/liberation/LiberationSans-Bold.ttf"
COMIC = "/usr/share/fonts/opentype/comic-neue/ComicNeue-Bold.otf"
SCALE = 4  # drawn large, then reduced, for smooth edges

INK = (40, 30, 60)
WHITE = (255, 255, 255)

# stem, caption, width, height, background, emblem, initials
CHARACTERS = [
    ("dora", "Dora the Explorer", 120, 120, (255, 140, 20), "star", "DE"),
    ("backyardigans", "Backyardigans", 150, 100, (110, 200, 70), "house", "BY"),
    ("barney", "Barney", 103, 150, (150, 80, 200), "face", "B"),
    ("batman", "Batman", 150, 113, (35, 45, 95), "moon", "BM"),
    ("diego", "Go Diego Go", 107, 74, (0, 165, 150), "paw", "GD"),
    ("bill", "Little Bill", 146, 70, (250, 200, 40), "book", "LB"),
    ("seuss", "Dr. Seuss", 98, 132, (230, 40, 60), "fish", "DS"),
    ("veggie", "VeggieTales", 115, 107, (150, 215, 60), "tomato", "VT"),
    ("blue", "Blues Clues", 118, 89, (60, 130, 235), "lens", "BC"),
    ("kailan", "Kai-Lan", 135, 63, (255, 110, 170), "flower", "KL"),
    ("bears", "Berenstain Bears", 112, 110, (175, 110, 55), "bear", "BB"),
    ("boz", "Boz the Bear", 96, 72, (120, 190, 230), "heart", "BZ"),
    ("wubbzy", "Wow Wow Wubbzy", 122, 52, (255, 190, 90), "zigzag", "WW"),
    ("bigbird", "Sesame Street", 135, 107, (60, 185, 110), "sun", "SS"),
    ("bugs", "Bugs Bunny", 150, 107, (140, 150, 165), "carrot", "BU"),
    ("thomas", "Thomas the Train", 124, 92, (30, 90, 190), "train", "TT"),
    ("max", "Max and Ruby", 84, 120, (200, 160, 230), "bunny", "MR"),
    ("elmo", "Elmo's World", 92, 129, (245, 75, 40), "globe", "EW"),
    ("spiderman", "Spiderman", 124, 93, (200, 20, 40), "web", "SP"),
    ("caillou", "Caillou", 117, 104, (255, 225, 120), "kite", "CA"),
    ("pets", "Wonder Pets", 131, 70, (20, 175, 200), "boat", "WP"),
    ("cookiemonster", "Cookie Monster", 150, 113, (30, 110, 220), "cookie", "CM"),
    ("pinkydinkydoo", "Pinky Pinky Doo", 123, 69, (240, 120, 220), "cloud", "PD"),
    ("angelina", "Angelina Ballerina", 129, 105, (255, 170, 190), "crown", "AB"),
]


# --- file writers -----------------------------------------------------------

def bmp_bytes(image):
    """A complete uncompressed bottom-up BMP file: 8 bits a pixel with a
    256-colour table for a palette image, else 24 bits with no colour table."""
    width, height = image.size
    if image.mode == "P":
        bits, pixel_bytes = 8, 1
        rgb = image.getpalette()[:256 * 3]
        rgb += [0] * (256 * 3 - len(rgb))
        table = b"".join(bytes((rgb[i + 2], rgb[i + 1], rgb[i], 0)) for i in range(0, 256 * 3, 3))
        pixels = image.tobytes()
    else:
        bits, pixel_bytes, table = 24, 3, b""
        rgb = image.convert("RGB").tobytes()
        bgr = bytearray(rgb)
        bgr[0::3], bgr[2::3] = rgb[2::3], rgb[0::3]
        pixels = bytes(bgr)
    row_bytes = (width * pixel_bytes + 3) // 4 * 4
    padding = b"\0" * (row_bytes - width * pixel_bytes)
    rows = [pixels[y * width * pixel_bytes:(y + 1) * width * pixel_bytes] + padding for y in range(height - 1, -1, -1)]
    image_size = row_bytes * height
    offset = 54 + len(table)
    file_header = struct.pack("<2sIHHI", b"BM", offset + image_size, 0, 0, offset)
    info_header = struct.pack("<IiiHHIIiiII", 40, width, height, 1, bits, 0, image_size, 0, 0, len(table) // 4, 0)
    return file_header + info_header + table + b"".join(rows)


def ico_bytes(image):
    """A one-image icon: 24-bit colour plus a 1-bit mask taken from alpha."""
    width, height = image.size
    rgba = image.convert("RGBA")
    colour = bytearray()
    mask = bytearray()
    mask_row_bytes = (width + 31) // 32 * 4
    for y in range(height - 1, -1, -1):
        bits = bytearray(mask_row_bytes)
        row = bytearray()
        for x in range(width):
            r, g, b, a = rgba.getpixel((x, y))
            if a < 128:
                bits[x // 8] |= 0x80 >> (x % 8)
                row += b"\0\0\0"  # black under the mask leaves the screen showing
            else:
                row += bytes((b, g, r))
        colour += row + b"\0" * ((width * 3 + 3) // 4 * 4 - width * 3)
        mask += bits
    info = struct.pack("<IiiHHIIiiII", 40, width, height * 2, 1, 24, 0,
                       len(colour) + len(mask), 0, 0, 0, 0)
    body = info + colour + mask
    directory = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", width, height, 0, 0, 1, 24, len(body), 6 + 16)
    return directory + entry + body


# --- drawing helpers (coordinates in the enlarged canvas) -------------------

def star_points(cx, cy, outer, inner, points=5, turn=-math.pi / 2):
    result = []
    for i in range(points * 2):
        radius = outer if i % 2 == 0 else inner
        angle = turn + i * math.pi / points
        result.append((cx + radius * math.cos(angle), cy + radius * math.sin(angle)))
    return result


def ellipse(draw, cx, cy, rx, ry, fill, line):
    draw.ellipse((cx - rx, cy - ry, cx + rx, cy + ry), fill=fill, outline=INK, width=line)


def emblem(draw, kind, box):
    """Draws one simple figure centred in `box` (left, top, right, bottom)."""
    left, top, right, bottom = box
    cx, cy = (left + right) / 2, (top + bottom) / 2
    r = min(right - left, bottom - top) / 2
    line = max(SCALE, int(r / 14))
    if kind == "star":
        draw.polygon(star_points(cx, cy, r, r * 0.45), fill=(255, 235, 60), outline=INK, width=line)
    elif kind == "house":
        draw.rectangle((cx - r * 0.7, cy - r * 0.1, cx + r * 0.7, cy + r * 0.9), fill=(255, 240, 200), outline=INK, width=line)
        draw.polygon([(cx - r * 0.95, cy - r * 0.05), (cx, cy - r * 0.9), (cx + r * 0.95, cy - r * 0.05)], fill=(220, 60, 50), outline=INK, width=line)
        draw.rectangle((cx - r * 0.2, cy + r * 0.35, cx + r * 0.2, cy + r * 0.9), fill=(120, 70, 30), outline=INK, width=line)
    elif kind == "face":
        ellipse(draw, cx, cy, r * 0.9, r * 0.9, (140, 220, 90), line)
        ellipse(draw, cx - r * 0.33, cy - r * 0.25, r * 0.12, r * 0.16, INK, line)
        ellipse(draw, cx + r * 0.33, cy - r * 0.25, r * 0.12, r * 0.16, INK, line)
        draw.arc((cx - r * 0.5, cy - r * 0.3, cx + r * 0.5, cy + r * 0.55), 20, 160, fill=INK, width=line * 2)
    elif kind == "moon":
        ellipse(draw, cx, cy, r * 0.9, r * 0.9, (255, 230, 90), line)
        draw.ellipse((cx - r * 0.45, cy - r * 1.0, cx + r * 1.25, cy + r * 0.7), fill=(35, 45, 95))
        draw.polygon(star_points(cx + r * 0.55, cy + r * 0.45, r * 0.3, r * 0.13), fill=WHITE)
    elif kind == "paw":
        ellipse(draw, cx, cy + r * 0.35, r * 0.5, r * 0.42, (255, 220, 170), line)
        for dx, dy in ((-0.62, -0.2), (-0.25, -0.62), (0.25, -0.62), (0.62, -0.2)):
            ellipse(draw, cx + r * dx, cy + r * dy, r * 0.2, r * 0.25, (255, 220, 170), line)
    elif kind == "book":
        draw.polygon([(cx, cy - r * 0.5), (cx - r * 0.95, cy - r * 0.75), (cx - r * 0.95, cy + r * 0.6), (cx, cy + r * 0.85)], fill=WHITE, outline=INK, width=line)
        draw.polygon([(cx, cy - r * 0.5), (cx + r * 0.95, cy - r * 0.75), (cx + r * 0.95, cy + r * 0.6), (cx, cy + r * 0.85)], fill=(255, 250, 230), outline=INK, width=line)
        for i in range(3):
            y = cy - r * 0.3 + i * r * 0.3
            draw.line((cx - r * 0.75, y, cx - r * 0.2, y + r * 0.1), fill=(90, 140, 230), width=line)
            draw.line((cx + r * 0.2, y + r * 0.1, cx + r * 0.75, y), fill=(90, 140, 230), width=line)
    elif kind == "fish":
        draw.polygon([(cx + r * 0.35, cy), (cx + r * 0.95, cy - r * 0.5), (cx + r * 0.95, cy + r * 0.5)], fill=(255, 220, 40), outline=INK, width=line)
        ellipse(draw, cx - r * 0.15, cy, r * 0.65, r * 0.45, (255, 220, 40), line)
        ellipse(draw, cx - r * 0.45, cy - r * 0.1, r * 0.09, r * 0.09, INK, line)
    elif kind == "tomato":
        ellipse(draw, cx, cy + r * 0.1, r * 0.85, r * 0.75, (235, 50, 40), line)
        draw.polygon(star_points(cx, cy - r * 0.6, r * 0.4, r * 0.15), fill=(40, 160, 40), outline=INK, width=line)
    elif kind == "lens":
        draw.line((cx + r * 0.25, cy + r * 0.25, cx + r * 0.9, cy + r * 0.9), fill=INK, width=line * 4)
        ellipse(draw, cx - r * 0.2, cy - r * 0.2, r * 0.6, r * 0.6, (210, 240, 255), line * 2)
    elif kind == "flower":
        for i in range(6):
            a = i * math.pi / 3
            ellipse(draw, cx + r * 0.5 * math.cos(a), cy + r * 0.5 * math.sin(a), r * 0.38, r * 0.38, WHITE, line)
        ellipse(draw, cx, cy, r * 0.33, r * 0.33, (255, 210, 30), line)
    elif kind == "bear":
        for dx in (-0.6, 0.6):
            ellipse(draw, cx + r * dx, cy - r * 0.55, r * 0.3, r * 0.3, (120, 70, 30), line)
        ellipse(draw, cx, cy + r * 0.1, r * 0.8, r * 0.75, (120, 70, 30), line)
        ellipse(draw, cx, cy + r * 0.35, r * 0.35, r * 0.25, (240, 210, 170), line)
        ellipse(draw, cx, cy + r * 0.25, r * 0.1, r * 0.07, INK, line)
        for dx in (-0.32, 0.32):
            ellipse(draw, cx + r * dx, cy - r * 0.1, r * 0.08, r * 0.08, INK, line)
    elif kind == "heart":
        ellipse(draw, cx - r * 0.42, cy - r * 0.3, r * 0.45, r * 0.45, (235, 40, 90), line)
        ellipse(draw, cx + r * 0.42, cy - r * 0.3, r * 0.45, r * 0.45, (235, 40, 90), line)
        draw.polygon([(cx - r * 0.86, cy - r * 0.15), (cx + r * 0.86, cy - r * 0.15), (cx, cy + r * 0.9)], fill=(235, 40, 90), outline=INK, width=line)
        draw.rectangle((cx - r * 0.5, cy - r * 0.45, cx + r * 0.5, cy), fill=(235, 40, 90))
    elif kind == "zigzag":
        points = [(cx - r * 0.95 + i * r * 0.38, cy + (r * 0.5 if i % 2 else -r * 0.5)) for i in range(6)]
        draw.line(points, fill=INK, width=line * 5, joint="curve")
        draw.line(points, fill=(255, 80, 160), width=line * 3, joint="curve")
    elif kind == "sun":
        for i in range(12):
            a = i * math.pi / 6
            draw.line((cx + r * 0.55 * math.cos(a), cy + r * 0.55 * math.sin(a), cx + r * 0.95 * math.cos(a), cy + r * 0.95 * math.sin(a)), fill=(255, 230, 40), width=line * 2)
        ellipse(draw, cx, cy, r * 0.55, r * 0.55, (255, 230, 40), line)
    elif kind == "carrot":
        draw.polygon([(cx - r * 0.35, cy - r * 0.45), (cx + r * 0.35, cy - r * 0.45), (cx, cy + r * 0.95)], fill=(255, 130, 20), outline=INK, width=line)
        for dx in (-0.25, 0, 0.25):
            draw.line((cx, cy - r * 0.45, cx + r * dx * 2, cy - r * 0.95), fill=(40, 160, 40), width=line * 2)
    elif kind == "train":
        draw.rectangle((cx - r * 0.9, cy - r * 0.3, cx + r * 0.5, cy + r * 0.5), fill=(235, 50, 50), outline=INK, width=line)
        draw.rectangle((cx - r * 0.9, cy - r * 0.8, cx - r * 0.2, cy - r * 0.3), fill=(255, 220, 40), outline=INK, width=line)
        draw.rectangle((cx + r * 0.15, cy - r * 0.7, cx + r * 0.4, cy - r * 0.3), fill=INK)
        draw.polygon([(cx + r * 0.5, cy - r * 0.1), (cx + r * 0.95, cy + r * 0.5), (cx + r * 0.5, cy + r * 0.5)], fill=(255, 220, 40), outline=INK, width=line)
        for dx in (-0.6, 0.2):
            ellipse(draw, cx + r * dx, cy + r * 0.6, r * 0.25, r * 0.25, (60, 60, 70), line)
    elif kind == "bunny":
        for dx in (-0.3, 0.3):
            ellipse(draw, cx + r * dx, cy - r * 0.5, r * 0.17, r * 0.45, WHITE, line)
        ellipse(draw, cx, cy + r * 0.3, r * 0.6, r * 0.55, WHITE, line)
        for dx in (-0.22, 0.22):
            ellipse(draw, cx + r * dx, cy + r * 0.2, r * 0.07, r * 0.07, INK, line)
        ellipse(draw, cx, cy + r * 0.4, r * 0.08, r * 0.06, (255, 120, 160), line)
    elif kind == "globe":
        ellipse(draw, cx, cy, r * 0.9, r * 0.9, (80, 170, 255), line)
        ellipse(draw, cx - r * 0.3, cy - r * 0.2, r * 0.35, r * 0.25, (90, 200, 80), line)
        ellipse(draw, cx + r * 0.35, cy + r * 0.35, r * 0.28, r * 0.2, (90, 200, 80), line)
    elif kind == "web":
        for i in range(8):
            a = i * math.pi / 4
            draw.line((cx, cy, cx + r * math.cos(a), cy + r * math.sin(a)), fill=WHITE, width=line)
        for k in (0.35, 0.65, 0.95):
            ring = [(cx + r * k * math.cos(i * math.pi / 4), cy + r * k * math.sin(i * math.pi / 4)) for i in range(9)]
            draw.line(ring, fill=WHITE, width=line)
    elif kind == "kite":
        draw.line((cx, cy + r * 0.5, cx + r * 0.4, cy + r * 0.95), fill=INK, width=line)
        draw.polygon([(cx, cy - r * 0.95), (cx + r * 0.6, cy - r * 0.2), (cx, cy + r * 0.5), (cx - r * 0.6, cy - r * 0.2)], fill=(230, 60, 60), outline=INK, width=line)
        draw.line((cx, cy - r * 0.95, cx, cy + r * 0.5), fill=INK, width=line)
        draw.line((cx - r * 0.6, cy - r * 0.2, cx + r * 0.6, cy - r * 0.2), fill=INK, width=line)
    elif kind == "boat":
        draw.polygon([(cx - r * 0.95, cy + r * 0.3), (cx + r * 0.95, cy + r * 0.3), (cx + r * 0.6, cy + r * 0.8), (cx - r * 0.6, cy + r * 0.8)], fill=(250, 90, 40), outline=INK, width=line)
        draw.line((cx, cy + r * 0.3, cx, cy - r * 0.95), fill=INK, width=line)
        draw.polygon([(cx + r * 0.1, cy - r * 0.9), (cx + r * 0.8, cy + r * 0.15), (cx + r * 0.1, cy + r * 0.15)], fill=WHITE, outline=INK, width=line)
    elif kind == "cookie":
        ellipse(draw, cx, cy, r * 0.9, r * 0.9, (215, 160, 90), line)
        for dx, dy in ((-0.4, -0.35), (0.3, -0.45), (0.45, 0.2), (-0.2, 0.35), (0.05, -0.05), (-0.55, 0.1)):
            ellipse(draw, cx + r * dx, cy + r * dy, r * 0.1, r * 0.1, (90, 50, 20), line)
    elif kind == "cloud":
        for dx, dy, k in ((-0.5, 0.15, 0.38), (0.5, 0.15, 0.38), (-0.1, -0.2, 0.5), (0.25, 0.2, 0.4)):
            ellipse(draw, cx + r * dx, cy + r * dy, r * k, r * k, WHITE, line)
        for dx, dy, k in ((-0.5, 0.15, 0.38), (0.5, 0.15, 0.38), (-0.1, -0.2, 0.5), (0.25, 0.2, 0.4)):
            draw.ellipse((cx + r * (dx - k) + line, cy + r * (dy - k) + line, cx + r * (dx + k) - line, cy + r * (dy + k) - line), fill=WHITE)
    elif kind == "crown":
        draw.polygon([(cx - r * 0.9, cy + r * 0.6), (cx - r * 0.9, cy - r * 0.5), (cx - r * 0.45, cy), (cx, cy - r * 0.8),
                      (cx + r * 0.45, cy), (cx + r * 0.9, cy - r * 0.5), (cx + r * 0.9, cy + r * 0.6)], fill=(255, 215, 40), outline=INK, width=line)
        for dx in (-0.5, 0, 0.5):
            ellipse(draw, cx + r * dx, cy + r * 0.3, r * 0.1, r * 0.1, (230, 60, 150), line)
    else:
        raise ValueError(f"no emblem called {kind}")


def fitted_font(path, text, width, height, stroke_ratio=0.0):
    """The largest size of the font at which `text` fits the box."""
    size = max(8, int(height))
    while size > 8:
        font = ImageFont.truetype(path, size)
        stroke = int(size * stroke_ratio)
        l, t, r, b = font.getbbox(text, stroke_width=stroke)
        if r - l <= width and b - t <= height:
            return font, stroke
        size -= 1
    return ImageFont.truetype(path, 8), 0


def centred_text(draw, text, box, font_path, fill, stroke_ratio=0.0):
    left, top, right, bottom = box
    font, stroke = fitted_font(font_path, text, right - left, bottom - top, stroke_ratio)
    l, t, r, b = font.getbbox(text, stroke_width=stroke)
    x = (left + right - (r - l)) / 2 - l
    y = (top + bottom - (b - t)) / 2 - t
    draw.text((x, y), text, font=font, fill=fill, stroke_width=stroke, stroke_fill=INK)


def mixed(colour, other, amount):
    return tuple(int(c + (o - c) * amount) for c, o in zip(colour, other))


def lighter(colour, amount=0.35):
    return mixed(colour, WHITE, amount)


def button_picture(width, height, background, kind, initials):
    W, H = width * SCALE, height * SCALE
    image = Image.new("RGB", (W, H), background)
    draw = ImageDraw.Draw(image)
    # a soft spot of light behind the figure, and a white rim
    pad = 3 * SCALE
    if W >= H * 1.15:  # wide: figure on the left, letters on the right
        side = min(H - 2 * pad, W * 0.45)
        figure = (pad, (H - side) / 2, pad + side, (H + side) / 2)
        letters = (figure[2] + pad, pad * 2, W - pad * 2, H - pad * 2)
    else:  # tall or square: figure on top, letters below
        side = min(W - 2 * pad, H * 0.55)
        figure = ((W - side) / 2, pad * 1.5, (W + side) / 2, pad * 1.5 + side)
        letters = (pad * 2, figure[3] + pad, W - pad * 2, H - pad * 2)
    glow = 0.12 * side
    draw.ellipse((figure[0] - glow, figure[1] - glow, figure[2] + glow, figure[3] + glow), fill=lighter(background))
    emblem(draw, kind, figure)
    centred_text(draw, initials, letters, BOLD, WHITE, stroke_ratio=0.06)
    draw.rounded_rectangle((SCALE, SCALE, W - SCALE - 1, H - SCALE - 1), radius=8 * SCALE, outline=WHITE, width=2 * SCALE)
    return image.resize((width, height), Image.LANCZOS)


WALLPAPER_SIZE = (1920, 1080)


def wallpaper_picture(stem, caption, background, kind):
    """The character's figure large on a scene of its own colours: a banded
    sky, a glow, scattered stars and two rows of hills, with the caption on
    the ground. Flat areas keep the 256-colour file small once compressed."""
    scale = 2
    W, H = WALLPAPER_SIZE[0] * scale, WALLPAPER_SIZE[1] * scale
    image = Image.new("RGB", (W, H), background)
    draw = ImageDraw.Draw(image)
    horizon = H * 0.7
    bands = 12
    for i in range(bands):
        top, bottom = horizon * i / bands, horizon * (i + 1) / bands
        draw.rectangle((0, top, W, bottom + scale), fill=mixed(lighter(background, 0.7), background, i / bands))
    cx, cy, r = W / 2, H * 0.42, H * 0.3
    for k, amount in ((1.45, 0.15), (1.25, 0.3), (1.08, 0.45)):
        draw.ellipse((cx - r * k, cy - r * k, cx + r * k, cy + r * k), fill=lighter(background, amount))
    stars = random.Random(stem)
    for _ in range(40):
        x, y = stars.uniform(0, W), stars.uniform(0, horizon)
        if math.hypot(x - cx, y - cy) < r * 1.6:
            continue
        size = stars.uniform(14, 34) * scale
        draw.polygon(star_points(x, y, size, size * 0.45, turn=stars.uniform(0, math.pi)), fill=lighter(background, 0.85))
    far, near = mixed(background, INK, 0.2), mixed(background, INK, 0.4)
    for x, width, height in ((0.1, 0.45, 0.2), (0.5, 0.5, 0.26), (0.92, 0.4, 0.18)):
        draw.ellipse((W * (x - width), horizon - H * height, W * (x + width), horizon + H * height * 2), fill=far)
    draw.ellipse((-W * 0.2, H * 0.76, W * 1.2, H * 1.9), fill=near)
    emblem(draw, kind, (cx - r, cy - r, cx + r, cy + r))
    centred_text(draw, caption, (W * 0.2, H * 0.8, W * 0.8, H * 0.96), COMIC, WHITE, stroke_ratio=0.06)
    reduced = image.resize(WALLPAPER_SIZE, Image.LANCZOS)
    return reduced.quantize(256)


def icon_picture():
    size = 32 * SCALE
    image = Image.new("RGBA", (size, size), (0, 0, 0, 0))
    draw = ImageDraw.Draw(image)
    c = size / 2
    draw.polygon(star_points(c, c, c - SCALE, c * 0.62, points=8), fill=(255, 200, 30, 255), outline=(200, 80, 20, 255), width=2 * SCALE)
    draw.ellipse((c * 0.45, c * 0.45, c * 1.55, c * 1.55), fill=(235, 70, 60, 255))
    font = ImageFont.truetype(BOLD, int(size * 0.5))
    l, t, r, b = font.getbbox("T")
    draw.text((c - (l + r) / 2, c - (t + b) / 2), "T", font=font, fill=(255, 255, 255, 255))
    return image.resize((32, 32), Image.LANCZOS)


def logo_picture():
    W, H = 262 * SCALE, 305 * SCALE
    image = Image.new("RGB", (W, H), (255, 250, 225))
    draw = ImageDraw.Draw(image)
    # rainbow bands behind the emblem
    for i, colour in enumerate([(235, 60, 60), (255, 150, 30), (255, 220, 40), (80, 190, 80), (60, 140, 230), (150, 90, 210)]):
        r = W * 0.46 - i * 9 * SCALE
        draw.pieslice((W / 2 - r, H * 0.5 - r, W / 2 + r, H * 0.5 + r), 180, 360, fill=colour)
    draw.pieslice((W / 2 - W * 0.46 + 54 * SCALE, H * 0.5 - W * 0.46 + 54 * SCALE, W / 2 + W * 0.46 - 54 * SCALE, H * 0.5 + W * 0.46 - 54 * SCALE), 180, 360, fill=(255, 250, 225))
    c, cy = W / 2, H * 0.36
    draw.polygon(star_points(c, cy, 62 * SCALE, 40 * SCALE, points=8), fill=(255, 200, 30), outline=(200, 80, 20), width=3 * SCALE)
    draw.ellipse((c - 34 * SCALE, cy - 34 * SCALE, c + 34 * SCALE, cy + 34 * SCALE), fill=(235, 70, 60), outline=INK, width=2 * SCALE)
    for dx in (-12, 12):
        draw.ellipse((c + (dx - 5) * SCALE, cy - 14 * SCALE, c + (dx + 5) * SCALE, cy - 2 * SCALE), fill=WHITE)
        draw.ellipse((c + (dx - 2) * SCALE, cy - 9 * SCALE, c + (dx + 3) * SCALE, cy - 4 * SCALE), fill=INK)
    draw.arc((c - 18 * SCALE, cy - 8 * SCALE, c + 18 * SCALE, cy + 20 * SCALE), 20, 160, fill=WHITE, width=3 * SCALE)
    centred_text(draw, "Tumblewick", (12 * SCALE, 185 * SCALE, W - 12 * SCALE, 235 * SCALE), COMIC, (60, 140, 230), stroke_ratio=0.05)
    centred_text(draw, "links for little ones", (30 * SCALE, 245 * SCALE, W - 30 * SCALE, 270 * SCALE), COMIC, (235, 60, 60))
    for i, colour in enumerate([(235, 60, 60), (255, 150, 30), (80, 190, 80), (60, 140, 230), (150, 90, 210)]):
        x = W / 2 + (i - 2) * 22 * SCALE
        draw.polygon(star_points(x, 288 * SCALE, 8 * SCALE, 3.5 * SCALE), fill=colour)
    return image.resize((262, 305), Image.LANCZOS)


def contact_sheet(pictures):
    columns, cell_w, cell_h, caption_h = 4, 170, 190, 24
    rows = (len(pictures) + columns - 1) // columns
    sheet = Image.new("RGB", (columns * cell_w, rows * cell_h), WHITE)
    draw = ImageDraw.Draw(sheet)
    font = ImageFont.truetype(COMIC, 14)
    for n, (caption, picture) in enumerate(pictures):
        x0, y0 = (n % columns) * cell_w, (n // columns) * cell_h
        pw, ph = picture.size
        sheet.paste(picture, (x0 + (cell_w - pw) // 2, y0 + 8 + (cell_h - caption_h - 8 - ph) // 2))
        l, t, r, b = font.getbbox(caption)
        draw.text((x0 + (cell_w - (r - l)) / 2 - l, y0 + cell_h - caption_h), caption, font=font, fill=INK)
    return sheet


def write_wallpapers(folder):
    folder.mkdir(parents=True, exist_ok=True)
    for stem, caption, _, _, background, kind, _ in CHARACTERS:
        (folder / f"{stem}.bmp").write_bytes(bmp_bytes(wallpaper_picture(stem, caption, background, kind)))


def write_assets():
    pictures_dir = ROOT / "assets" / "pictures"
    pictures_dir.mkdir(parents=True, exist_ok=True)
    (ROOT / "docs").mkdir(exist_ok=True)
    sheet = []
    for stem, caption, width, height, background, kind, initials in CHARACTERS:
        picture = button_picture(width, height, background, kind, initials)
        (pictures_dir / f"{stem}.bmp").write_bytes(bmp_bytes(picture))
        sheet.append((caption, picture))
    (ROOT / "assets" / "tumblewick.ico").write_bytes(ico_bytes(icon_picture()))
    # Full colour detail at quality 99: decoders then agree to the pixel (Wine's
    # imaging component and libjpeg-turbo do), so the picture the build decodes
    # for the splash is the one the imaging component would show.
    logo_picture().save(ROOT / "assets" / "logo.jpg", "JPEG", quality=99, subsampling=0, progressive=False,
                        optimize=False)
    contact_sheet(sheet).save(ROOT / "docs" / "pictures.png", optimize=True)


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--wallpapers", metavar="DIR", type=Path, help="write only the 24 wallpapers, into DIR")
    arguments = parser.parse_args()
    if arguments.wallpapers:
        write_wallpapers(arguments.wallpapers)
    else:
        write_assets()


if __name__ == "__main__":
    main()
