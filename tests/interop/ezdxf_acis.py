"""Prints the ACIS data ezdxf decodes from the 3DSOLID, BODY and REGION entities of a DXF file.

Usage: ezdxf_acis.py FILE. Output, tab-separated, one record a line:
  audit <errors> <fixes>
  entity <dxftype> <layer> <number of SAT lines>
  sat <line>                (each decoded SAT line of the entity before)
Exit status 2 when ezdxf refuses the file.
"""
import sys

import ezdxf


def main(path):
    try:
        doc = ezdxf.readfile(path)
    except Exception as exc:
        print("refused\t%s" % exc)
        return 2
    auditor = doc.audit()
    print("audit\t%d\t%d" % (len(auditor.errors), len(auditor.fixes)))
    for e in doc.modelspace().query("3DSOLID BODY REGION"):
        lines = list(getattr(e, "acis_data", None) or e.sat)
        print("entity\t%s\t%s\t%d" % (e.dxftype(), e.dxf.layer, len(lines)))
        for line in lines:
            print("sat\t%s" % line)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
