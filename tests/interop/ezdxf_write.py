"""Writes an R2010 (AC1024) drawing with ezdxf for the C++ reader test.

Usage: ezdxf_write.py FILE [meshes].

Without "meshes", the drawing: linetype DASHED; layers TC (true colour 0x123456),
Hidden (off, colour 3), Stopped (frozen and locked, linetype DASHED); in model space a LINE on TC
with entity true colour 0xFF8000, a POINT on Hidden with colour 5 and linetype DASHED, a LINE on
a layer the table lacks (Ghost), a CIRCLE; in paper space a LINE.

With "meshes", model space holds a polyface mesh with invisible edges, a polygon mesh closed in
N, two 3DFACEs, a SOLID along -Z, a SOLID with a tilted extrusion, a closed 3D polyline and a 2D
polyline (which the listing leaves out). The file is then read back with ezdxf and listed as
ezdxf_read.py lists entities, so the test compares our reading with ezdxf's own.
"""
import os
import sys

import ezdxf

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from ezdxf_read import print_face_entity  # noqa: E402


def meshes(path):
    doc = ezdxf.new("R2010", setup=False)
    msp = doc.modelspace()
    pf = msp.add_polyface(dxfattribs={"layer": "Mesh", "color": 3})
    pf.append_faces([[(0, 0, 0), (1, 0, 0), (1, 1, 0), (0, 1, 0)], [(1, 0, 0), (2, 0, 0.5), (1, 1, 0)]])
    records = [v for v in pf.vertices if v.is_face_record]
    records[0].dxf.vtx2 = -records[0].dxf.vtx2
    records[1].dxf.vtx0 = -records[1].dxf.vtx0
    pm = msp.add_polymesh(size=(3, 4), dxfattribs={"layer": "Grid"})
    for m in range(3):
        for n in range(4):
            pm.set_mesh_vertex((m, n), (m * 1.5, n / 3, m * n * 0.1))
    pm.close(False, True)
    msp.add_3dface([(0, 0, 0), (1, 0, 0), (1, 1, 0.5), (0, 1, 0.25)], dxfattribs={"invisible": 5})
    msp.add_3dface([(0.1, 0.2, 0.3), (1.7, 0, 0), (1, 1e-9, 2)])
    msp.add_solid([(0, 0), (1, 0), (0, 1), (1, 1)], dxfattribs={"thickness": 2.5, "extrusion": (0, 0, -1)})
    msp.add_solid([(2, 3, 1), (4, 3, 1), (2, 5, 1)], dxfattribs={"extrusion": (0.6, 0, 0.8)})
    msp.add_polyline3d([(0, 0, 0), (1, 2, 3), (4, 5, 6.5)], close=True)
    msp.add_polyline2d([(0, 0), (1, 0), (1, 1)])
    doc.saveas(path)
    for e in ezdxf.readfile(path).modelspace():
        print_face_entity(e)
    return 0


def main(path):
    doc = ezdxf.new("R2010", setup=False)
    doc.linetypes.add("DASHED", pattern=[0.75, 0.5, -0.25], description="Dashed __ __")
    doc.layers.add("TC", true_color=0x123456)
    hidden = doc.layers.add("Hidden", color=3)
    hidden.off()
    stopped = doc.layers.add("Stopped", linetype="DASHED")
    stopped.freeze()
    stopped.lock()
    msp = doc.modelspace()
    msp.add_line((0.1, 0.2, 0.3), (1e-300, -2.5e10, 1.0 / 3.0), dxfattribs={"layer": "TC", "true_color": 0xFF8000})
    msp.add_point((7, 8, 9), dxfattribs={"layer": "Hidden", "color": 5, "linetype": "DASHED"})
    # ezdxf would add the layer to the table on audit; write the reference without it.
    ghost = msp.add_line((0, 0, 0), (1, 1, 0))
    ghost.dxf.layer = "Ghost"
    msp.add_circle((0, 0), 1)
    doc.layout("Layout1").add_line((0, 0), (5, 5))
    doc.header["$CLAYER"] = "TC"
    doc.saveas(path)
    return 0


if __name__ == "__main__":
    if len(sys.argv) > 2 and sys.argv[2] == "meshes":
        sys.exit(meshes(sys.argv[1]))
    sys.exit(main(sys.argv[1]))
