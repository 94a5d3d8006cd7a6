"""Reads a DXF file with ezdxf, audits it, and prints what the C++ test compares.

Usage: ezdxf_read.py FILE. Output, tab-separated, one record a line:
  version <ACADVER>
  audit <errors> <fixes>
  layer <name> <62 as stored> <true colour or -> <frozen 0/1> <locked 0/1> <linetype>
  LINE|POINT <layer> <62> <true colour or -> <linetype> <x> <y> <z> [<x> <y> <z>]
  3DFACE <layer> <62> <invisible-edge flags> then 4 x <x> <y> <z>
  SOLID <layer> <62> <thickness> <extrusion x y z> then 4 x <x> <y> <z> in world coordinates, file order
  POLYFACE <layer> <62> <71> <72>, then its vertices and face records as
    vertex <x> <y> <z>
    face <71> <72> <73> <74>          (raw 1-based indices, negative = invisible edge)
  POLYMESH <layer> <62> <M> <N> <M closed 0/1> <N closed 0/1> <75>, then vertex records row by row
  POLYLINE3D <layer> <62> <closed 0/1>, then vertex records
  other <dxftype>
Reals are printed with repr(), which reads back as the same double.
Exit status 2 when ezdxf refuses the file.
"""
import sys

import ezdxf
from ezdxf import recover


def xyz(p):
    return [repr(float(p.x)), repr(float(p.y)), repr(float(p.z))]


def print_face_entity(e):
    kind = e.dxftype()
    head = [e.dxf.layer, str(e.dxf.color)]
    if kind == "3DFACE":
        fields = ["3DFACE"] + head + [str(e.dxf.invisible)]
        for name in ("vtx0", "vtx1", "vtx2", "vtx3"):
            fields += xyz(e.dxf.get(name))
        print("\t".join(fields))
    elif kind == "SOLID":
        ocs = e.ocs()
        fields = ["SOLID"] + head + [repr(float(e.dxf.thickness))] + xyz(e.dxf.extrusion)
        for name in ("vtx0", "vtx1", "vtx2", "vtx3"):
            fields += xyz(ocs.to_wcs(e.dxf.get(name)))
        print("\t".join(fields))
    elif e.is_poly_face_mesh:
        print("\t".join(["POLYFACE"] + head + [str(e.dxf.m_count), str(e.dxf.n_count)]))
        for v in e.vertices:
            if v.is_face_record:
                print("\t".join(["face"] + [str(v.dxf.get(k, 0)) for k in ("vtx0", "vtx1", "vtx2", "vtx3")]))
            else:
                print("\t".join(["vertex"] + xyz(v.dxf.location)))
    elif e.is_polygon_mesh:
        print("\t".join(["POLYMESH"] + head + [str(e.dxf.m_count), str(e.dxf.n_count), str(int(e.is_m_closed)),
                                               str(int(e.is_n_closed)), str(e.dxf.smooth_type)]))
        for v in e.vertices:
            print("\t".join(["vertex"] + xyz(v.dxf.location)))
    elif e.is_3d_polyline:
        print("\t".join(["POLYLINE3D"] + head + [str(int(e.is_closed))]))
        for v in e.vertices:
            print("\t".join(["vertex"] + xyz(v.dxf.location)))
    else:
        print("other\t%s" % kind)


def main(path):
    try:
        doc = ezdxf.readfile(path)
    except Exception as exc:  # ezdxf raises several kinds for structural errors
        print("refused\t%s" % exc)
        return 2
    auditor = doc.audit()
    _, recovered = recover.readfile(path)
    print("version\t%s" % doc.dxfversion)
    print("audit\t%d\t%d" % (len(auditor.errors) + len(recovered.errors), len(auditor.fixes) + len(recovered.fixes)))
    for problem in list(auditor.errors) + list(auditor.fixes) + list(recovered.errors) + list(recovered.fixes):
        print("problem\t%s" % problem.message)
    for layer in doc.layers:
        tc = layer.dxf.get("true_color")
        print("layer\t%s\t%d\t%s\t%d\t%d\t%s" % (layer.dxf.name, layer.dxf.color, "-" if tc is None else tc,
                                               int(layer.is_frozen()), int(layer.is_locked()), layer.dxf.linetype))
    for e in doc.modelspace():
        kind = e.dxftype()
        if kind in ("3DFACE", "SOLID", "POLYLINE"):
            print_face_entity(e)
            continue
        if kind not in ("LINE", "POINT"):
            print("other\t%s" % kind)
            continue
        tc = e.dxf.get("true_color")
        fields = [kind, e.dxf.layer, str(e.dxf.color), "-" if tc is None else str(tc), e.dxf.linetype]
        points = [e.dxf.start, e.dxf.end] if kind == "LINE" else [e.dxf.location]
        for p in points:
            fields += [repr(float(p.x)), repr(float(p.y)), repr(float(p.z))]
        print("\t".join(fields))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
