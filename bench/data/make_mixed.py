# Makes mixed.dxf: one drawing holding one of each kind a real drawing is made of, which the
# drawing benchmark repeats up to a million entities. Run with Debian's python3-ezdxf:
#   /usr/bin/python3 make_mixed.py
import math
import ezdxf

doc = ezdxf.new("R2004", setup=True)
msp = doc.modelspace()
doc.layers.add("walls", color=3)
doc.layers.add("notes", color=5)

block = doc.blocks.new("bolt")
block.add_circle((0, 0), 1)
block.add_line((-1, 0), (1, 0))

msp.add_line((0, 0, 0), (10, 5, 1), dxfattribs={"layer": "walls"})
msp.add_point((3, 4, 5))
msp.add_circle((5, 5), 2.5, dxfattribs={"color": 1})
msp.add_arc((1, 2), 3, 350, 20)
msp.add_ellipse((0, 0), major_axis=(4, 1), ratio=0.5, start_param=0.3, end_param=5.0)
msp.add_lwpolyline([(0, 0, 0, 0, 0.5), (4, 0), (4, 3, 0, 0, -1), (0, 3)], format="xyseb", close=True)
msp.add_polyline3d([(0, 0, 0), (1, 2, 3), (4, 5, 6)])
msp.add_3dface([(0, 0, 0), (1, 0, 0), (1, 1, 1), (0, 1, 0)])
msp.add_solid([(0, 0), (1, 0), (0, 1), (1, 1)])
msp.add_spline([(0, 0), (1, 2), (3, 1), (5, 4), (6, 0)])
msp.add_text("Fläche 12 m²", dxfattribs={"height": 0.5, "layer": "notes"}).set_placement((2, 7))
msp.add_mtext("two\\Plines", dxfattribs={"char_height": 0.4})
msp.add_blockref("bolt", (8, 8), dxfattribs={"xscale": 2, "rotation": 30})
hatch = msp.add_hatch(color=2)
hatch.paths.add_polyline_path([(0, 0), (3, 0), (3, 3), (0, 3)], is_closed=True)
hatch.set_pattern_fill("ANSI31", scale=0.5)
line = msp.add_line((0, 0), (0, 9), dxfattribs={"lineweight": 35})
line.set_xdata("ACAD", [(1000, "kept"), (1040, math.pi)])
doc.saveas("mixed.dxf")
