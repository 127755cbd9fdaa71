#!/usr/bin/python3
"""Makes the caption font, assets/fonts/tessel-captions.ttf.

The window draws its captions in this font, built into the executable, so the
credit line and the buttons look and wrap the same whatever font, size, DPI or
locale the desktop has. It is WenQuanYi Micro Hei (Debian's fonts-wqy-microhei,
Apache-2.0 or GPL-3+ with font exception) cut down to the characters of the
window's texts, as the program's layout table has them (printed by the
tessel_facts tool, tools/facts.cpp), plus the space. It is renamed so that it
never stands in for the full font a desktop may also have installed.

Usage:
  cmake --build build --target tessel_facts
  /usr/bin/python3 tools/make_font.py [--out PATH] [--facts build/tessel_facts]

Same source font and captions in, same bytes out.
"""

import argparse
import json
import os
import subprocess
import sys

from fontTools import subset
from fontTools.ttLib import TTFont

REPO = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
DEFAULT_OUT = os.path.join(REPO, "assets", "fonts", "tessel-captions.ttf")
SOURCE_FONT = "/usr/share/fonts/truetype/wqy/wqy-microhei.ttc"
SOURCE_INDEX = 0  # the proportional face; 1 is the monospaced one
FAMILY = "Tessel Captions"
DEFAULT_FACTS = os.path.join(REPO, "build", "tessel_facts")


def caption_characters(facts):
    """Every character of the window's texts, and the space."""
    if not os.access(facts, os.X_OK):
        sys.exit(f"make_font: no {facts}; build it first: cmake --build build --target tessel_facts")
    texts = json.loads(subprocess.run([facts], check=True, capture_output=True).stdout)["texts"]
    return "".join(sorted({" "}.union(*texts)))


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--out", default=DEFAULT_OUT)
    parser.add_argument("--facts", default=DEFAULT_FACTS,
                        help="the tessel_facts tool, which prints the window's texts")
    args = parser.parse_args()

    text = caption_characters(args.facts)
    font = TTFont(SOURCE_FONT, fontNumber=SOURCE_INDEX, recalcTimestamp=False)
    missing = [c for c in text if ord(c) not in font.getBestCmap()]
    if missing:
        sys.exit(f"make_font: {SOURCE_FONT} lacks {''.join(missing)!r}")

    options = subset.Options()
    options.layout_features = ["*"]
    options.name_IDs = [0, 1, 2, 3, 4, 5, 6, 13, 14]
    options.notdef_outline = True
    subsetter = subset.Subsetter(options)
    subsetter.populate(text=text)
    subsetter.subset(font)

    # A new name: a subset must not be mistaken for the whole font by fontconfig or Qt.
    names = font["name"]
    for record in list(names.names):
        if record.nameID in (1, 4):
            names.setName(FAMILY, record.nameID, record.platformID, record.platEncID, record.langID)
        elif record.nameID == 3:
            names.setName(FAMILY + " Regular", 3, record.platformID, record.platEncID,
                          record.langID)
        elif record.nameID == 6:
            names.setName(FAMILY.replace(" ", "") + "-Regular", 6, record.platformID,
                          record.platEncID, record.langID)
    font["head"].modified = font["head"].created  # no build date: same input, same bytes

    os.makedirs(os.path.dirname(args.out), exist_ok=True)
    font.save(args.out)
    print(f"make_font: {len(text)} characters {text!r} -> {args.out} "
          f"({os.path.getsize(args.out)} bytes)")


if __name__ == "__main__":
    main()
