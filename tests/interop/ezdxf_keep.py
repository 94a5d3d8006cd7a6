"""What an independent reader (ezdxf) sees of a drawing, compared before and after our save.

Usage:
  ezdxf_keep.py make FOLDER
      writes drawings with ezdxf in R12, R2000, R2004, R2007 and R2010 (keep_<version>.dxf):
      texts, dimensions, blocks with attributes, extended data, extension dictionaries, paper
      space, and entities the host models beside those it does not.
  ezdxf_keep.py compare BEFORE AFTER
      reads both files and prints one line per difference in what ezdxf sees: the header
      variables ($HANDSEED aside), the tables and their entries, every block (model and paper
      space among them) with its entities by type, handle, attributes, extended data, reactors,
      extension dictionary and content (text, vertices, attributes, ACIS data), the objects,
      and audit messages the saved file has that the first had not. Handles are compared
      where the first file gives them; an attribute at its default counts as not given, and so
      does a text's alignment point under the default alignment; a character written as
      \\U+XXXX is that character. Then "same" and status 0
      when nothing differs, status 1 otherwise, 2 when ezdxf refuses a file.
Reals compare to 1e-9 relative.
"""
import math
import re
import sys

import ezdxf
from ezdxf.math import Vec2, Vec3


def plain(value):
    if isinstance(value, (Vec2, Vec3)):
        return tuple(float(c) for c in value)
    if isinstance(value, (list, tuple)):
        return [plain(v) for v in value]
    return value


# A character written as \U+XXXX and the character itself are the same text.
UNICODE_ESCAPE = re.compile(r"\\U\+([0-9A-Fa-f]{4})")


def text_of(value):
    return UNICODE_ESCAPE.sub(lambda m: chr(int(m.group(1), 16)), value) if isinstance(value, str) else value


# Under the default alignment (left, on the baseline) a text's alignment point means nothing.
ALIGNED = ("TEXT", "ATTRIB", "ATTDEF")


def irrelevant(entity, key):
    return (key == "align_point" and entity.dxftype() in ALIGNED and entity.dxf.get("halign", 0) == 0
            and entity.dxf.get("valign", 0) == 0)


# Handles of a file that gave none are ezdxf's own invention: left out of the comparison.
HANDLES = ("handle", "owner")


def attribs(entity, handles=True):
    """The entity's DXF attributes; one at its default value counts as not given."""
    out = {}
    for key, value in entity.dxf.all_existing_dxf_attribs().items():
        if (not handles and key in HANDLES) or irrelevant(entity, key):
            continue
        try:
            default = entity.dxf.dxf_default_value(key)
        except Exception:  # attributes ezdxf has no definition for
            default = None
        if default is not None and same_value(plain(value), plain(default)):
            continue
        out[key] = text_of(plain(value))
    return out


def content(e, handles=True):
    """What an entity holds beside its DXF attributes, where ezdxf keeps it apart."""
    out = {}
    kind = e.dxftype()
    if kind == "MTEXT":
        out["text"] = text_of(e.text)
    if kind == "LWPOLYLINE":
        out["points"] = plain(list(e.get_points()))
    if kind in ("POLYLINE", "INSERT"):
        subs = e.vertices if kind == "POLYLINE" else e.attribs
        out["subs"] = [(s.dxftype(), s.dxf.handle if handles else "", attribs(s, handles)) for s in subs]
    if kind in ("3DSOLID", "BODY", "REGION"):
        out["acis"] = list(e.acis_data)
    if kind == "SPLINE":
        out["spline"] = plain([list(e.control_points), list(e.fit_points), list(e.knots), list(e.weights)])
    if e.xdata is not None:
        out["xdata"] = {app: [tuple(t) for t in tags] for app, tags in e.xdata.data.items()}
    if e.reactors is not None and handles:
        out["reactors"] = sorted(e.reactors.get())
    if e.extension_dict is not None and handles:
        out["xdict"] = e.extension_dict.handle
    return out


def entity(e, handles=True):
    return {"type": e.dxftype(), "handle": e.dxf.handle if handles else "", "attribs": attribs(e, handles),
            "content": content(e, handles)}


def file_has_handles(path):
    """Whether any object of the file (the header aside) has a handle."""
    with open(path, "rb") as f:
        lines = f.read().split(b"\n")
    header = True
    for code, value in zip(lines[0::2], lines[1::2]):
        code, value = code.strip(), value.strip()
        if header:
            header = not (code == b"0" and value == b"ENDSEC")
        elif code in (b"5", b"105"):
            return True
    return False


def file_variables(path):
    """The header variables the file itself holds (ezdxf makes up others an old file lacks)."""
    names = set()
    with open(path, "rb") as f:
        lines = f.read().split(b"\n")
    for code, value in zip(lines[0::2], lines[1::2]):
        code, value = code.strip(), value.strip()
        if code == b"0" and value == b"ENDSEC":
            break
        if code == b"9":
            names.add(value.decode("latin-1"))
    return names


def view(path, handles):
    doc = ezdxf.readfile(path)
    entity_ = lambda e: entity(e, handles)  # noqa: E731
    seen = {"version": doc.dxfversion}
    held = file_variables(path)
    seen["header"] = {name: plain(doc.header[name]) for name in doc.header.varnames()
                      if name != "$HANDSEED" and name in held}
    for name in ("layers", "linetypes", "styles", "dimstyles", "appids", "ucs", "views", "viewports",
                 "block_records"):
        seen["table " + name] = [entity_(e) for e in getattr(doc, name)]
    for block in doc.blocks:
        seen["block " + block.name] = {
            "record": block.block_record_handle if handles else "",
            "begin": entity_(block.block),
            "end": entity_(block.endblk),
            "entities": [entity_(e) for e in block],
        }
    seen["layouts"] = sorted((layout.name, layout.layout_key if handles else "") for layout in doc.layouts)
    seen["objects"] = [entity_(o) for o in doc.objects]
    auditor = doc.audit()
    seen["audit"] = [p.message for p in list(auditor.errors) + list(auditor.fixes)]
    return seen


def same_value(a, b):
    if isinstance(a, float) and isinstance(b, float):
        return a == b or (math.isnan(a) and math.isnan(b)) or abs(a - b) <= 1e-9 * max(1.0, abs(a), abs(b))
    if isinstance(a, (list, tuple)) and isinstance(b, (list, tuple)):
        return len(a) == len(b) and all(same_value(x, y) for x, y in zip(a, b))
    if isinstance(a, dict) and isinstance(b, dict):
        return a.keys() == b.keys() and all(same_value(a[k], b[k]) for k in a)
    return a == b


def differences(path, a, b, out):
    if isinstance(a, dict) and isinstance(b, dict):
        for key in sorted(set(a) | set(b), key=str):
            if key not in a or key not in b:
                out.append("%s/%s: only %s" % (path, key, "before" if key in a else "after"))
            else:
                differences("%s/%s" % (path, key), a[key], b[key], out)
    elif isinstance(a, list) and isinstance(b, list) and len(a) == len(b):
        for i, (x, y) in enumerate(zip(a, b)):
            differences("%s[%d]" % (path, i), x, y, out)
    elif not same_value(a, b):
        out.append("%s: %r became %r" % (path, shorten(a), shorten(b)))


def shorten(value):
    text = repr(value)
    return text if len(text) < 300 else text[:300] + "..."


def compare(before_path, after_path):
    try:
        handles = file_has_handles(before_path)
        before, after = view(before_path, handles), view(after_path, handles)
    except Exception as exc:  # ezdxf raises several kinds for structural errors
        print("refused\t%s" % exc)
        return 2
    out = []
    # Audit messages: nothing new.
    old = list(before.pop("audit"))
    for message in after.pop("audit"):
        if message in old:
            old.remove(message)
        else:
            out.append("audit: new message: %s" % message)
    differences("", before, after, out)
    for line in out[:60]:
        print(line)
    if len(out) > 60:
        print("... %d differences in all" % len(out))
    print("same" if not out else "differ")
    return 0 if not out else 1


def populate(doc, version):
    msp = doc.modelspace()
    doc.layers.add("Walls", color=3, linetype="DASHED", lineweight=35)
    doc.appids.add("KVTEST")
    line = msp.add_line((0, 0, 0), (10, 5, 1.0 / 3.0), dxfattribs={"layer": "Walls", "lineweight": 50,
                                                                   "ltscale": 2.5, "thickness": 1.5})
    line.set_xdata("KVTEST", [(1000, "kept text"), (1040, 2.5), (1070, 7)])
    msp.add_point((1, 2, 3), dxfattribs={"color": 5})
    msp.add_3dface([(0, 0, 0), (1, 0, 0), (1, 1, 1), (0, 1, 0)], dxfattribs={"invisible": 2})
    msp.add_solid([(0, 0), (2, 0), (0, 2)], dxfattribs={"thickness": 1})
    msp.add_text("Hello, drawing", dxfattribs={"height": 2.5, "rotation": 30}).set_placement((5, 5))
    msp.add_circle((3, 4), 2).set_xdata("KVTEST", [(1000, "on a circle")])
    msp.add_arc((0, 0), 5, 10, 120)
    face = msp.add_polyface()
    face.append_faces([[(0, 0, 0), (1, 0, 0), (1, 1, 0)], [(1, 0, 0), (2, 0, 0), (1, 1, 0)]])
    msp.add_polyline3d([(0, 0, 0), (1, 2, 3), (4, 5, 6)])
    msp.add_polyline2d([(0, 0), (3, 0), (3, 3)])
    block = doc.blocks.new("DOOR")
    block.add_line((0, 0), (1, 0))
    block.add_circle((0.5, 0.5), 0.25)
    block.add_attdef("TAG", (0, 1), dxfattribs={"height": 0.2})
    ref = msp.add_blockref("DOOR", (20, 20), dxfattribs={"rotation": 15})
    ref.add_attrib("TAG", "first door", (20, 21))
    dim = msp.add_linear_dim(base=(0, 8), p1=(0, 0), p2=(10, 0))
    dim.render()
    paper = doc.layout("Layout1")
    paper.add_line((0, 0), (100, 50))
    paper.add_text("title")
    if version != "R12":
        msp.add_lwpolyline([(0, 0, 0, 0, 0.5), (5, 0), (5, 5)], format="xyseb")
        msp.add_mtext("Line one\\PLine two", dxfattribs={"char_height": 1.5})
        msp.add_ellipse((0, 0), (4, 0, 0), 0.5)
        msp.add_spline([(0, 0), (1, 2), (3, 1), (5, 4)])
        with_dict = msp.add_line((0, 0), (0, 9))
        xdict = with_dict.new_extension_dict()
        xdict.add_xrecord("KVDATA").reset([(1, "in an extension dictionary"), (40, 1.25)])
        hatch = msp.add_hatch(color=2)
        hatch.paths.add_polyline_path([(0, 0), (4, 0), (4, 4), (0, 4)], is_closed=True)
        msp.add_radius_dim(center=(30, 30), radius=3, angle=45).render()


def make(folder):
    for version in ("R12", "R2000", "R2004", "R2007", "R2010"):
        doc = ezdxf.new(version, setup=True)
        populate(doc, version)
        doc.saveas("%s/keep_%s.dxf" % (folder, version))
    return 0


if __name__ == "__main__":
    if len(sys.argv) == 3 and sys.argv[1] == "make":
        sys.exit(make(sys.argv[2]))
    if len(sys.argv) == 4 and sys.argv[1] == "compare":
        sys.exit(compare(sys.argv[2], sys.argv[3]))
    print(__doc__)
    sys.exit(2)
