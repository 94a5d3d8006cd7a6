"""Lists the polylines of a DXF file as ezdxf reads them, or writes polylines with ezdxf, for the
C++ polyline tests.

Usage: ezdxf_polylines.py read FILE | write FILE

read: prints "audit <errors> <fixes>", a "problem <message>" line for each, then model space's
polylines, one record a line, tab-separated, reals by repr():
  LW <layer> <closed> <plinegen> <elevation> <thickness> <extrusion x y z>
    lwv <x> <y> <bulge> <start width> <end width>   (a width ezdxf reads as 0 is the 43 width)
  PL2D <layer> <closed> <plinegen> <70 & 6> <75> <elevation> <thickness>
       <default start width> <default end width> <extrusion x y z>
    v2d <70> <x> <y> <z> <bulge> <start width> <end width> <50 in degrees, 0 when absent> <91>
        (a width the vertex leaves out is the polyline's default)
  PL3D <closed> <75>
    v3d <70> <x> <y> <z>
  PFACE <71> <72>
    pv <x> <y> <z>
    pf <71> <72> <73> <74>                    (0 where the file has none)
write: writes an R2010 drawing holding each kind, then prints the listing of it as read back.
Exit status 2 when ezdxf refuses the file.
"""
import sys

import ezdxf
from ezdxf import recover


def reals(*values):
    return [repr(float(v)) for v in values]


def row(*fields):
    print("\t".join(str(f) for f in fields))


def list_lwpolyline(e):
    const = e.dxf.get("const_width", 0)
    row("LW", e.dxf.layer, int(e.closed), int(e.get_flag_state(128)),
        *reals(e.dxf.elevation, e.dxf.thickness, *e.dxf.extrusion))
    for x, y, s, w, b in e.get_points("xyseb"):
        row("lwv", *reals(x, y, b, s or const, w or const))


def list_polyline(e):
    if e.is_poly_face_mesh:
        row("PFACE", e.dxf.m_count, e.dxf.n_count)
        for v in e.vertices:
            if v.is_face_record:
                row("pf", *[v.dxf.get(k, 0) for k in ("vtx0", "vtx1", "vtx2", "vtx3")])
            else:
                row("pv", *reals(*v.dxf.location))
    elif e.is_3d_polyline:
        row("PL3D", int(e.is_closed), e.dxf.get("smooth_type", 0))
        for v in e.vertices:
            row("v3d", v.dxf.flags, *reals(*v.dxf.location))
    elif e.is_2d_polyline:
        row("PL2D", e.dxf.layer, int(e.is_closed), int((e.dxf.flags & 128) != 0), e.dxf.flags & 6,
            e.dxf.get("smooth_type", 0),
            *reals(e.dxf.elevation.z, e.dxf.thickness, e.dxf.default_start_width, e.dxf.default_end_width,
                   *e.dxf.extrusion))
        # A vertex without widths of its own has the polyline's defaults, as ezdxf draws it.
        widths = (e.dxf.default_start_width, e.dxf.default_end_width)
        for v in e.vertices:
            row("v2d", v.dxf.flags, *reals(*v.dxf.location, v.dxf.bulge, v.dxf.get("start_width", widths[0]),
                                           v.dxf.get("end_width", widths[1]), v.dxf.get("tangent", 0)),
                v.dxf.get("vertex_identifier", 0))


def list_file(path):
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
    for e in doc.modelspace():
        if e.dxftype() == "LWPOLYLINE":
            list_lwpolyline(e)
        elif e.dxftype() == "POLYLINE":
            list_polyline(e)
    return 0


def write(path):
    doc = ezdxf.new("R2010", setup=False)
    msp = doc.modelspace()
    msp.add_lwpolyline([(0, 0, 0, 0, 0.5), (2, 0, 0.1, 0.2, 0), (2, 3, 0, 0, -0.25)], format="xyseb", close=True,
                       dxfattribs={"layer": "Outline", "elevation": 1.5, "thickness": 0.25, "extrusion": (0, 0.6, 0.8)})
    msp.add_lwpolyline([(0, 0), (1, 1), (3, -1)], dxfattribs={"const_width": 0.4, "flags": 128})
    p2 = msp.add_polyline2d([(0, 0, 0.1, 0.3, 0.5), (3, 0, 0.2, 0.2, 0), (3, 2, 0, 0, -1)], format="xyseb", close=True,
                            dxfattribs={"elevation": (0, 0, 2), "extrusion": (0, 0, -1), "thickness": 1,
                                        "default_start_width": 0.2, "default_end_width": 0.2})
    p2.vertices[1].dxf.tangent = 30
    p2.vertices[1].dxf.flags |= 2
    p3 = msp.add_polyline3d([], dxfattribs={"smooth_type": 6})
    p3.dxf.flags |= 4
    p3.append_vertices([(0, 0, 0), (4, 0, 1), (4, 4, 2)], dxfattribs={"flags": 32 | 16})
    p3.append_vertices([(0, 0, 0), (3, 1, 1), (4, 4, 2)], dxfattribs={"flags": 32 | 8})
    pf = msp.add_polyface()
    pf.append_faces([[(0, 0, 0), (1, 0, 0), (1, 1, 0)], [(1, 1, 0), (2, 2, 2)], [(5, 5, 5)]])
    doc.saveas(path)
    return list_file(path)


if __name__ == "__main__":
    if len(sys.argv) != 3 or sys.argv[1] not in ("read", "write"):
        print(__doc__)
        sys.exit(2)
    sys.exit(list_file(sys.argv[2]) if sys.argv[1] == "read" else write(sys.argv[2]))
