"""Prints the planar faces ezdxf's ACIS reader finds in a SAT file, body after body.

Usage: ezdxf_sat_mesh.py FILE. Output, one record a line, tab-separated:
  body <number of faces>
  face <x y z of each corner in loop order, each the shortest text of its float>
Exit status 2 when ezdxf refuses the file.
"""
import sys

from ezdxf.acis import api as acis
from ezdxf.acis import mesh as acis_mesh


def main(path):
    try:
        with open(path) as f:
            bodies = acis.load(f.read())
    except Exception as exc:
        print("refused\t%s" % exc)
        return 2
    for body in bodies:
        faces = [face for lump in acis_mesh.flat_polygon_faces_from_body(body) for face in lump]
        print("body\t%d" % len(faces))
        for face in faces:
            print("face\t" + " ".join(repr(c) for corner in face for c in corner))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
