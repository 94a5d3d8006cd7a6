"""ezdxf's ACIS library on SAT files of meshes: reads ours, writes its own.

Usage:
  ezdxf_sat_mesh.py read FILE
    Prints the planar faces ezdxf finds in FILE, body after body, one record a line,
    tab-separated:
      body <number of faces>
      face <x y z of each corner in loop order, each the shortest text of its float>
  ezdxf_sat_mesh.py cubes FILE
    Writes FILE as SAT 7.0 with two bodies made by ezdxf from meshes: a cube of edge 2 centred
    at the origin, its faces facing out, then a cube of edge 3 centred at (10, 0, 0), its faces
    facing in.
Exit status 2 when ezdxf refuses the file or the meshes.
"""
import sys

from ezdxf.acis import api as acis
from ezdxf.acis import mesh as acis_mesh
from ezdxf.render import forms


def read(path):
    with open(path) as f:
        bodies = acis.load(f.read())
    for body in bodies:
        faces = [face for lump in acis_mesh.flat_polygon_faces_from_body(body) for face in lump]
        print("body\t%d" % len(faces))
        for face in faces:
            print("face\t" + " ".join(repr(c) for corner in face for c in corner))


def cubes(path):
    outward = forms.cube(center=True)
    outward.scale(2, 2, 2)
    inward = forms.cube(center=True)
    inward.scale(3, 3, 3)
    inward.translate(10, 0, 0)
    inward.flip_normals()
    lines = acis.export_sat([acis.body_from_mesh(outward), acis.body_from_mesh(inward)], version=700)
    with open(path, "w") as f:
        f.write("\n".join(lines) + "\n")


def main(mode, path):
    try:
        {"read": read, "cubes": cubes}[mode](path)
    except Exception as exc:
        print("refused\t%s" % exc)
        return 2
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1], sys.argv[2]))
