"""Texts, hatches, multilines and block references through ezdxf, for the C++ annotation tests.

Usage:
  ezdxf_annotations.py read FILE    audit FILE and list its annotation entities
  ezdxf_annotations.py write FILE   write an R2010 drawing of them, then list it as read back

Output, tab-separated, one record a line; reals printed with repr(), which reads back as the
same double; points in world coordinates unless said otherwise:
  audit <errors> <fixes>, then one "problem <message>" line for each
  TEXT <text> <height> <rotation deg> <width> <oblique deg> <halign> <valign> <thickness>
       <insert xyz> <align xyz or - - -> <extrusion xyz>
  HATCH <name> <solid> <associative> <style> <type> <angle deg> <scale> <double> <elevation>
        <extrusion xyz> <paths>, followed by
    path <flags> polyline <closed> then (x y bulge)*      (OCS)
    path <flags> edges, followed by its edges:
      line x0 y0 x1 y1 | arc cx cy r start end ccw | ellipse cx cy mx my ratio start end ccw |
      spline degree rational periodic knots... | points x y w ... | fit x y ... | tangents ...
    patternline <angle deg> <base x y> <offset x y> <dashes...>
    hatchline <x0 y0 z0> <x1 y1 z1>          (ezdxf's own pattern lines, world coordinates)
  MLINE <style> <scale> <justification> <flags> <vertices> <extrusion xyz>, followed by
    mvertex <xyz> <direction xyz> <miter xyz> then per element: params n values... fills n values...
    mlineline <x0 y0 z0> <x1 y1 z1>          (ezdxf's own explode, lines only)
  INSERT <name> <insert xyz> <sx> <sy> <sz> <rotation deg> <extrusion xyz> <attribs>, followed by
    insertline <x0 y0 z0> <x1 y1 z1>         (ezdxf's own explode, lines only)
  BLOCK <name> <base xyz> <entity types...>
  other <dxftype>
Exit status 2 when ezdxf refuses the file.
"""
import sys

import ezdxf
from ezdxf import recover
from ezdxf.render import hatching


def r(v):
    return repr(float(v))


def xyz(p):
    return [r(p[0]), r(p[1]), r(p[2] if len(p) > 2 else 0)]


def wcs(e, p):
    return e.ocs().to_wcs(p)


def print_text(e):
    align = e.dxf.get("align_point")
    fields = ["TEXT", e.dxf.text, r(e.dxf.height), r(e.dxf.rotation), r(e.dxf.width), r(e.dxf.oblique),
              str(e.dxf.halign), str(e.dxf.valign), r(e.dxf.thickness)]
    fields += xyz(wcs(e, e.dxf.insert))
    fields += xyz(wcs(e, align)) if align is not None else ["-", "-", "-"]
    fields += xyz(e.dxf.extrusion)
    print("\t".join(fields))


def print_edge(edge):
    kind = edge.type.name
    if kind == "LINE":
        print("\t".join(["line", r(edge.start.x), r(edge.start.y), r(edge.end.x), r(edge.end.y)]))
    elif kind == "ARC":
        print("\t".join(["arc", r(edge.center.x), r(edge.center.y), r(edge.radius), r(edge.start_angle),
                         r(edge.end_angle), str(int(edge.ccw))]))
    elif kind == "ELLIPSE":
        print("\t".join(["ellipse", r(edge.center.x), r(edge.center.y), r(edge.major_axis.x), r(edge.major_axis.y),
                         r(edge.ratio), r(edge.start_angle), r(edge.end_angle), str(int(edge.ccw))]))
    else:
        print("\t".join(["spline", str(edge.degree), str(edge.rational), str(edge.periodic)] +
                        [r(k) for k in edge.knot_values]))
        weights = list(edge.weights) or [1.0] * len(edge.control_points)
        points = []
        for p, w in zip(edge.control_points, weights):
            points += [r(p.x), r(p.y), r(w)]
        print("\t".join(["points"] + points))
        print("\t".join(["fit"] + [r(c) for p in edge.fit_points for c in (p.x, p.y)]))
        tangents = [t for t in (edge.start_tangent, edge.end_tangent) if t is not None]
        print("\t".join(["tangents"] + [r(c) for t in tangents for c in (t.x, t.y)]))


def print_hatch(e):
    d = e.dxf
    fields = ["HATCH", d.pattern_name, str(d.solid_fill), str(d.associative), str(d.hatch_style),
              str(d.pattern_type), r(d.get("pattern_angle", 0)), r(d.get("pattern_scale", 1)),
              str(d.get("pattern_double", 0)), r(d.elevation.z)] + xyz(d.extrusion) + [str(len(e.paths))]
    print("\t".join(fields))
    for path in e.paths:
        if path.type.name == "POLYLINE":
            values = [r(c) for v in path.vertices for c in v]
            print("\t".join(["path", str(path.path_type_flags), "polyline", str(int(path.is_closed))] + values))
        else:
            print("\t".join(["path", str(path.path_type_flags), "edges", str(len(path.edges))]))
            for edge in path.edges:
                print_edge(edge)
    if e.pattern:
        for line in e.pattern.lines:
            print("\t".join(["patternline", r(line.angle), r(line.base_point.x), r(line.base_point.y),
                             r(line.offset.x), r(line.offset.y)] + [r(x) for x in line.dash_length_items]))
    for s, t in hatching.hatch_entity(e):
        print("\t".join(["hatchline"] + xyz(s) + xyz(t)))


def print_mline(e):
    d = e.dxf
    print("\t".join(["MLINE", d.style_name, r(d.scale_factor), str(d.justification), str(d.flags),
                     str(len(e.vertices))] + xyz(d.extrusion)))
    for v in e.vertices:
        fields = ["mvertex"] + xyz(v.location) + xyz(v.line_direction) + xyz(v.miter_direction)
        for params, fills in zip(v.line_params, v.fill_params):
            fields += ["params", str(len(params))] + [r(x) for x in params]
            fields += ["fills", str(len(fills))] + [r(x) for x in fills]
        print("\t".join(fields))
    for part in e.virtual_entities():
        if part.dxftype() == "LINE":
            print("\t".join(["mlineline"] + xyz(part.dxf.start) + xyz(part.dxf.end)))


def print_insert(e):
    d = e.dxf
    fields = ["INSERT", d.name] + xyz(wcs(e, d.insert))
    fields += [r(d.xscale), r(d.yscale), r(d.zscale), r(d.rotation)] + xyz(d.extrusion) + [str(len(e.attribs))]
    print("\t".join(fields))
    for part in e.virtual_entities():
        if part.dxftype() == "LINE":
            print("\t".join(["insertline"] + xyz(part.dxf.start) + xyz(part.dxf.end)))


def print_blocks(doc):
    for block in doc.blocks:
        if block.name.lower() in ("*model_space", "*paper_space"):
            continue
        base = block.block.dxf.base_point
        print("\t".join(["BLOCK", block.name] + xyz(base) + [x.dxftype() for x in block]))


def print_entities(doc):
    kinds = {"TEXT": print_text, "HATCH": print_hatch, "MLINE": print_mline, "INSERT": print_insert}
    for e in doc.modelspace():
        kinds.get(e.dxftype(), lambda x: print("other\t%s" % x.dxftype()))(e)
    print_blocks(doc)


def read(path):
    try:
        doc = ezdxf.readfile(path)
    except Exception as exc:  # ezdxf raises several kinds for structural errors
        print("refused\t%s" % exc)
        return 2
    auditor = doc.audit()
    _, recovered = recover.readfile(path)
    problems = list(auditor.errors) + list(auditor.fixes) + list(recovered.errors) + list(recovered.fixes)
    print("audit\t%d\t%d" % (len(auditor.errors) + len(recovered.errors), len(auditor.fixes) + len(recovered.fixes)))
    for problem in problems:
        print("problem\t%s" % problem.message)
    print_entities(doc)
    return 0


def write(path):
    doc = ezdxf.new("R2010", setup=False)
    msp = doc.modelspace()
    msp.add_text("Aligned", dxfattribs={"height": 2.5, "rotation": 30, "width": 0.8, "oblique": 15,
                                        "thickness": 0.5, "extrusion": (0.6, 0, 0.8)}) \
        .set_placement((1, 2, 3), (11, 2, 3), align=ezdxf.enums.TextEntityAlignment.ALIGNED)
    msp.add_text("Plain", dxfattribs={"insert": (4, 5, 0), "height": 1})

    hatch = msp.add_hatch(color=3)
    hatch.paths.add_polyline_path([(0, 0, 0), (20, 0, 0.5), (20, 10, 0), (0, 10, 0)], is_closed=True, flags=1)
    hole = hatch.paths.add_edge_path(flags=16)
    hole.add_line((4, 4), (8, 4))
    hole.add_arc((8, 6), 2, -90, 90)
    hole.add_line((8, 8), (4, 8))
    hole.add_ellipse((4, 6), (0, 2), 0.5, 0, 180)
    island = hatch.paths.add_edge_path(flags=16)
    island.add_ellipse((15, 5), (2, 0), 0.5, 0, 360, ccw=False)
    hatch.set_pattern_fill("ANSI31", scale=0.5, angle=15)
    edges = msp.add_hatch(color=4)
    outline = edges.paths.add_edge_path()
    outline.add_spline(control_points=[(0, 0), (2, 6), (6, 6), (8, 0)], weights=[1, 0.5, 0.5, 1],
                       fit_points=[(0, 0), (4, 4.5), (8, 0)], start_tangent=(1, 2), end_tangent=(1, -2))
    outline.add_line((8, 0), (0, 0))
    edges.set_pattern_fill("USER", pattern_type=0, scale=0.75, double=1,
                           definition=[[0, (0, 0), (0, 1), []], [90, (0, 0), (-1, 0), []]])
    solid = msp.add_hatch(color=1, dxfattribs={"elevation": (0, 0, 2), "extrusion": (0, 0, -1)})
    solid.paths.add_polyline_path([(0, 0), (1, 0), (0, 1)])

    msp.add_mline([(0, 0), (10, 0), (10, 5)], dxfattribs={"scale_factor": 2, "justification": 1})
    msp.add_mline([(0, 0), (4, 0), (4, 4), (0, 4)], close=True)

    block = doc.blocks.new("BLK", base_point=(1, 1, 0))
    block.add_line((1, 1), (3, 1))
    block.add_circle((2, 2), 0.5)
    block.add_attdef("TAG", (1, 0))
    ref = msp.add_blockref("BLK", (10, 20, 0), dxfattribs={"xscale": 2, "yscale": 3, "zscale": 1,
                                                          "rotation": 45, "extrusion": (0, 0.6, 0.8)})
    ref.add_attrib("TAG", "value", (10, 19))
    msp.add_blockref("BLK", (0, 0, 0))
    doc.saveas(path)
    print_entities(ezdxf.readfile(path))
    return 0


if __name__ == "__main__":
    sys.exit(read(sys.argv[2]) if sys.argv[1] == "read" else write(sys.argv[2]))
