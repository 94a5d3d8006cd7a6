"""Reads DXF files with ezdxf and prints their text, as ezdxf decodes it, for the C++ test.

Usage: ezdxf_text.py FILE... Output in UTF-8, tab-separated, one record a line, per file:
  file <path>
  recovered <message>                  (when ezdxf refuses the file and its recover mode reads it)
  codepage <$DWGCODEPAGE>
  audit <errors>
  error <message>                      (one per audit error)
  layer <name>
  ltype <name> <description>
ezdxf 0.18 decodes the bytes in the declared page but leaves \\U+XXXX escapes (characters the
page lacks) in names and descriptions as they stand; they are resolved here with ezdxf's own
decoder. Exit status 2 when ezdxf refuses a file.
"""
import sys

import ezdxf
from ezdxf import recover
from ezdxf.lldxf.const import DXFValueError
from ezdxf.lldxf.encoding import decode_dxf_unicode


def main(paths):
    sys.stdout.reconfigure(encoding="utf-8")
    for path in paths:
        print("file\t%s" % path)
        try:
            doc = ezdxf.readfile(path)
        except DXFValueError as e:
            # ezdxf gives an INSERT a SEQEND on its layer, and refuses a layer name that holds
            # \U+ escapes there; its recover mode resolves the escapes first.
            print("recovered\t%s" % e)
            doc, _ = recover.readfile(path)
        except (IOError, ezdxf.DXFStructureError) as e:
            print("refused\t%s\t%s" % (path, e))
            return 2
        print("codepage\t%s" % doc.header.get("$DWGCODEPAGE", ""))
        auditor = doc.audit()
        print("audit\t%d" % len(auditor.errors))
        for error in auditor.errors:
            print("error\t%s" % error.message)
        for layer in doc.layers:
            print("layer\t%s" % decode_dxf_unicode(layer.dxf.name))
        for ltype in doc.linetypes:
            description = decode_dxf_unicode(ltype.dxf.get("description", ""))
            print("ltype\t%s\t%s" % (decode_dxf_unicode(ltype.dxf.name), description))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
