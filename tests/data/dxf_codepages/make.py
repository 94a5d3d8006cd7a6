#!/usr/bin/python3
# Makes the drawings beside this script: text in several code pages and DXF versions, written
# by ezdxf (Debian's python3-ezdxf 0.18), an independent writer. Run it with Debian's python3:
#   /usr/bin/python3 tests/data/dxf_codepages/make.py
# The files are committed, so that the tests never need ezdxf to have them.
#
# Each drawing holds one layer, one linetype description, one block (with a TEXT inside and an
# INSERT of it), a TEXT on the layer and, from R2000 on, an MTEXT. Characters the declared
# page lacks are written by ezdxf as \U+XXXX escapes.
import os
import sys

import ezdxf

HERE = os.path.dirname(os.path.abspath(__file__))

CYRILLIC = dict(layer="Слой-Ё", description="Штрих — пунктир", block="Блок", text="Привет, мир", mtext="Чертёж №5")
WESTERN = dict(layer="Ébauche-Œuvre", description="Tiret « long »", block="Détail", text="Straße, Café, 5 €",
               mtext="Ångström ½")
JAPANESE = dict(layer="レイヤー図面", description="破線（長）", block="部品", text="こんにちは世界", mtext="寸法 ±0.5")
GREEK = dict(layer="Στρώμα-Ω", description="Διακεκομμένη", block="Μπλοκ", text="Γειά σου κόσμε", mtext="Εμβαδόν μ²")
# Text no single-byte page holds: several scripts and a character beyond U+FFFF.
MIXED = dict(layer="Mixed-Слой-図-Ω", description="Ünïcödé — 한국어", block="Блок-部品", text="Привет 世界 Γειά 😀",
             mtext="€ ½ ★")

# name: (DXF version, declared $DWGCODEPAGE, strings)
DRAWINGS = {
    "r12_ansi1251": ("R12", "ANSI_1251", CYRILLIC),
    "r12_ansi1252": ("R12", "ANSI_1252", WESTERN),
    "r2000_ansi1252": ("R2000", "ANSI_1252", WESTERN),
    "r2000_ansi1253": ("R2000", "ANSI_1253", GREEK),
    "r2004_ansi932": ("R2004", "ANSI_932", JAPANESE),
    "r2004_ansi1251": ("R2004", "ANSI_1251", CYRILLIC),
    # Cyrillic in a Western page: every letter becomes a \U+ escape.
    "r2000_escaped": ("R2000", "ANSI_1252", CYRILLIC),
    # From R2007 on the text is UTF-8 whatever $DWGCODEPAGE says.
    "r2007_utf8": ("R2007", "ANSI_1252", MIXED),
    "r2010_utf8": ("R2010", "ANSI_1251", MIXED),
}

# A linetype whose description holds the multibyte escape of old files: \M+1 and the
# Shift-JIS bytes of "漢字", which ezdxf writes as it stands.
MULTIBYTE_ESCAPE = "Kanji \\M+18ABF\\M+18E9A"


def make(name, version, codepage, s):
    doc = ezdxf.new(version)
    # ezdxf declares the page of its encoding ("ANSI_1251" is Python's "cp1251") and writes
    # text in it before R2007, in UTF-8 from R2007 on.
    doc.encoding = "cp" + codepage[len("ANSI_"):]
    doc.layers.add(s["layer"], color=3)
    doc.linetypes.add("CP_DASH", pattern=[0.75, 0.5, -0.25], description=s["description"])
    if name == "r2000_ansi1252":
        doc.linetypes.add("CP_ESCAPE", pattern=[0.75, 0.5, -0.25], description=MULTIBYTE_ESCAPE)
    block = doc.blocks.new(s["block"])
    block.add_text(s["text"], dxfattribs={"layer": s["layer"]})
    msp = doc.modelspace()
    msp.add_text(s["text"], dxfattribs={"layer": s["layer"], "insert": (0, 0)})
    if version != "R12":
        msp.add_mtext(s["mtext"], dxfattribs={"layer": s["layer"], "insert": (0, 5)})
    msp.add_blockref(s["block"], (10, 10), dxfattribs={"layer": s["layer"]})
    msp.add_line((0, 0), (10, 0), dxfattribs={"layer": s["layer"], "linetype": "CP_DASH"})
    doc.saveas(os.path.join(HERE, name + ".dxf"))


def main():
    for name, (version, codepage, strings) in DRAWINGS.items():
        make(name, version, codepage, strings)
    return 0


if __name__ == "__main__":
    sys.exit(main())
