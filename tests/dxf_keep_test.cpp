// A drawing read and saved keeps what the host does not model: the pairs of modelled entities
// in their places, entities, records and objects of kinds the host does not know, header
// variables, sections, handles and versions; checked on the raw pairs and by an independent
// reader (ezdxf) before and after.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "dxf/dxf.h"
#include "dxf/dxf_kept.h"
#include "dxf/dxf_tags.h"
#include "host/entities.h"
#include "host/host.h"
#include "host/kept.h"
#include "host/polylines.h"
#include "modeler/solids.h"
#include "testing/recording_ui.h"
#include "dxf_fixture.h"
#include "test_files.h"

namespace fs = std::filesystem;
using kv::dxf::readDrawing;
using kv::dxf::writeDrawing;

using kv::test::Pair;
using kv::test::pairsOf;

namespace {

// The pairs of the object whose handle (5 or 105) is handle, from its "0" pair on.
std::vector<Pair> objectPairs(const std::vector<Pair>& pairs, const std::string& handle) {
  for (size_t i = 0; i + 1 < pairs.size(); ++i) {
    if (pairs[i].code != 0 || (pairs[i + 1].code != 5 && pairs[i + 1].code != 105) || pairs[i + 1].value != handle)
      continue;
    std::vector<Pair> out{pairs[i]};
    for (size_t j = i + 1; j < pairs.size() && pairs[j].code != 0; ++j) out.push_back(pairs[j]);
    return out;
  }
  return {};
}

std::string headerValue(const std::vector<Pair>& pairs, const std::string& var) {
  for (size_t i = 0; i + 1 < pairs.size(); ++i)
    if (pairs[i].code == 9 && pairs[i].value == var) return pairs[i + 1].value;
  return "";
}

const std::string kEz = "/usr/bin/python3 " KV_SOURCE_DIR "/tests/interop/ezdxf_keep.py ";

class keep : public ::testing::Test {
protected:
  std::string path(const std::string& name) const { return (scratch_.path() / name).string(); }
  AcDbDatabase& db() { return host_.database(); }

  // Reads in, saves as out; the report of the read.
  kv::dxf::ReadReport resave(const std::string& in, const std::string& out, std::unique_ptr<AcDbDatabase>* keepDb = nullptr) {
    std::unique_ptr<AcDbDatabase> read;
    std::string error;
    kv::dxf::ReadReport report;
    EXPECT_EQ(readDrawing(in, read, error, &report), Acad::eOk) << in << ": " << error;
    if (!read) return report;
    EXPECT_EQ(writeDrawing(*read, out, &error), Acad::eOk) << error;
    if (keepDb) *keepDb = std::move(read);
    return report;
  }

  // What ezdxf sees of before and after: "same", or the differences.
  std::string compare(const std::string& before, const std::string& after) {
    int status = 0;
    std::string out = runProcess(kEz + "compare " + before + " " + after + " 2>&1", status);
    EXPECT_NE(out.find("same"), std::string::npos) << before << "\n" << out;
    EXPECT_EQ(status, 0) << before << "\n" << out;
    return out;
  }

  kv::RecordingUI ui_;
  kv::Host host_{ui_};
  ScratchFolder scratch_;
};

// ---------------------------------------------------------------------------------------------
// An independent reader, before and after

TEST_F(keep, EveryOutsideFileSavedUnchangedAsEzdxfSeesIt) {
  fs::path folder = fs::path(KV_SHARED_DIR) / "testdata" / "dxf";
  KV_SKIP_UNLESS(fs::is_directory(folder), "the outside DXF files at " << folder);
  KV_SKIP_UNLESS(ezdxfAvailable(), "Debian's python3-ezdxf");
  int files = 0;
  for (const auto& entry : fs::directory_iterator(folder)) {
    if (entry.path().extension() != ".dxf") continue;
    ++files;
    std::string saved = path(entry.path().filename().string());
    resave(entry.path().string(), saved);
    compare(entry.path().string(), saved);
  }
  EXPECT_GE(files, 5);
}

// Once our reader has put a file in its own order, a second pass through reader and writer
// changes nothing: for the fuzz seeds, which hold every kind in odd places (an R12-style file
// whose kept pairs share codes with modelled ones among them).
TEST_F(keep, OurOwnSaveIsAFixedPointForEverySeed) {
  fs::path folder = fs::path(KV_SOURCE_DIR) / "fuzz" / "corpus" / "fuzz_dxf";
  int files = 0;
  for (const auto& entry : fs::directory_iterator(folder)) {
    std::unique_ptr<AcDbDatabase> db;
    std::string error;
    if (kv::dxf::readDrawing(entry.path().string(), db, error) != Acad::eOk) continue;  // refused seeds
    ++files;
    SCOPED_TRACE(entry.path().filename().string());
    ASSERT_EQ(kv::dxf::writeDrawing(*db, path("once.dxf")), Acad::eOk);
    std::string saved[2];
    for (std::string& text : saved) {
      std::unique_ptr<AcDbDatabase> again;
      ASSERT_EQ(kv::dxf::readDrawing(path("once.dxf"), again, error), Acad::eOk) << error;
      ASSERT_EQ(kv::dxf::writeDrawing(*again, path("once.dxf")), Acad::eOk);
      text = readFile(path("once.dxf"));
    }
    EXPECT_TRUE(saved[0] == saved[1]);
  }
  EXPECT_GE(files, 5);
}

TEST_F(keep, EzdxfDrawingsOfEveryVersionSaveUnchanged) {
  KV_SKIP_UNLESS(ezdxfAvailable(), "Debian's python3-ezdxf");
  int status = 0;
  std::string made = runProcess(kEz + "make " + scratch_.path().string() + " 2>&1", status);
  ASSERT_EQ(status, 0) << made;
  for (const char* version : {"R12", "R2000", "R2004", "R2007", "R2010"}) {
    SCOPED_TRACE(version);
    std::string in = path(std::string("keep_") + version + ".dxf"), out = path(std::string("saved_") + version + ".dxf");
    kv::dxf::ReadReport report = resave(in, out);
    EXPECT_TRUE(report.notes.empty()) << report.notes.front();
    EXPECT_GT(report.entitiesRead, 5);
    EXPECT_GT(report.unsupported.count("DIMENSION"), 0u);
    compare(in, out);
    // Written in the version read.
    EXPECT_EQ(headerValue(pairsOf(readFile(out)), "$ACADVER"), headerValue(pairsOf(readFile(in)), "$ACADVER"));
  }
}

// ---------------------------------------------------------------------------------------------
// Pairs in their places

// A line as a host writes it, with reactors, an extension dictionary, AcDbEntity's other
// properties, a thickness and an extrusion the host's line does not hold, and extended data.
const std::string kLine =
    "0\nLINE\n5\n2F\n102\n{ACAD_REACTORS\n330\n30\n102\n}\n102\n{ACAD_XDICTIONARY\n360\n31\n102\n}\n330\n1F\n"
    "100\nAcDbEntity\n8\nWalls\n370\n35\n48\n2.5\n440\n33554687\n62\n3\n"
    "100\nAcDbLine\n39\n1.5\n10\n1.0\n20\n2.0\n30\n0.0\n11\n4.0\n21\n6.0\n31\n0.0\n210\n0.0\n220\n0.0\n230\n1.0\n"
    "1001\nKVTEST\n1000\nkept text\n1040\n2.5\n";

std::string r2000(const std::string& entities, const std::string& objects = "") {
  return "0\nSECTION\n2\nHEADER\n9\n$ACADVER\n1\nAC1015\n9\n$HANDSEED\n5\n40\n0\nENDSEC\n"
         "0\nSECTION\n2\nTABLES\n0\nTABLE\n2\nBLOCK_RECORD\n5\n1\n330\n0\n100\nAcDbSymbolTable\n70\n2\n"
         "0\nBLOCK_RECORD\n5\n1F\n330\n1\n100\nAcDbSymbolTableRecord\n100\nAcDbBlockTableRecord\n2\n*Model_Space\n"
         "0\nBLOCK_RECORD\n5\n1B\n330\n1\n100\nAcDbSymbolTableRecord\n100\nAcDbBlockTableRecord\n2\n*Paper_Space\n"
         "0\nENDTAB\n0\nENDSEC\n0\nSECTION\n2\nENTITIES\n" +
         entities + "0\nENDSEC\n0\nSECTION\n2\nOBJECTS\n" + objects + "0\nENDSEC\n0\nEOF\n";
}

const std::string kObjects =
    "0\nDICTIONARY\n5\nC\n330\n0\n100\nAcDbDictionary\n3\nACAD_GROUP\n350\nD\n"
    "0\nDICTIONARY\n5\nD\n330\nC\n100\nAcDbDictionary\n"
    "0\nDICTIONARY\n5\n31\n330\n2F\n100\nAcDbDictionary\n3\nKVDATA\n350\n32\n"
    "0\nXRECORD\n5\n32\n330\n31\n100\nAcDbXrecord\n1\nin a dictionary\n";

TEST_F(keep, ModelledEntityKeepsEveryOtherPairInItsPlace) {
  writeFile(path("in.dxf"), r2000(kLine, kObjects));
  std::unique_ptr<AcDbDatabase> read;
  kv::dxf::ReadReport report = resave(path("in.dxf"), path("out.dxf"), &read);
  EXPECT_EQ(report.entitiesRead, 1);
  EXPECT_TRUE(report.unsupported.empty());
  std::vector<Pair> line = objectPairs(pairsOf(readFile(path("out.dxf"))), "2F");
  // The modelled values where the writer puts them; every kept pair where it stood.
  std::vector<Pair> want = pairsOf(
      "0\nLINE\n5\n2F\n102\n{ACAD_REACTORS\n330\n30\n102\n}\n102\n{ACAD_XDICTIONARY\n360\n31\n102\n}\n330\n1F\n"
      "100\nAcDbEntity\n8\nWalls\n62\n3\n370\n35\n48\n2.5\n440\n33554687\n"
      "100\nAcDbLine\n10\n1.0\n20\n2.0\n30\n0.0\n11\n4.0\n21\n6.0\n31\n0.0\n39\n1.5\n210\n0.0\n220\n0.0\n230\n1.0\n"
      "1001\nKVTEST\n1000\nkept text\n1040\n2.5\n");
  EXPECT_EQ(line, want);

  // A command changes what the host models: the change shows, the rest stays.
  AcDbLine* e = nullptr;
  AcDbObjectId id;
  ASSERT_EQ(read->getAcDbObjectId(id, false, AcDbHandle(0x2F)), Acad::eOk);
  ASSERT_EQ(acdbOpenObject(e, id, AcDb::kForWrite), Acad::eOk);
  e->setEndPoint(AcGePoint3d(7, 8, 9));
  e->setColorIndex(5);
  e->close();
  ASSERT_EQ(writeDrawing(*read, path("changed.dxf")), Acad::eOk);
  std::vector<Pair> changed = objectPairs(pairsOf(readFile(path("changed.dxf"))), "2F");
  want[11].value = "5";
  want[19] = {11, "7.0"};
  want[20] = {21, "8.0"};
  want[21] = {31, "9.0"};
  EXPECT_EQ(changed, want);
}

// Subclasses the writer does not open go back where they stood, extended data last whatever the
// writer opens, and a marker that comes twice keeps each occurrence's pairs.
TEST_F(keep, KeptPairsGoBackUnderTheirSubclassesByOccurrence) {
  kv::dxf::KeptPairs kept;
  kept.add(102, "{ACAD_REACTORS");
  kept.ownerSlot();
  kept.add(102, "}");
  kept.subclass("AcDbEntity", false);
  kept.add(370, "25");
  kept.subclass("AcDbText", false);
  kept.subclass("AcDbSkipped", false);
  kept.add(7, "skipped one");
  kept.subclass("AcDbText", false);
  kept.add(73, "2");
  kept.add(1001, "APP");
  kept.add(100, "not a marker in extended data");
  kv::KeptData data;
  data.pairs = kept.take();
  EXPECT_TRUE(kept.empty());

  kv::dxf::TagWriter w;
  kv::dxf::ObjectOut out(w, false);
  out.start("TEXT", 0x2A, 0x1F, &data);
  out.subclass("AcDbEntity");
  w.str(8, "0");
  out.subclass("AcDbText");
  w.str(1, "first");
  out.subclass("AcDbText");
  w.integer(72, 1);
  out.subclass("AcDbNew");  // one the file did not have
  out.end();
  EXPECT_EQ(pairsOf(w.text()),
            pairsOf("0\nTEXT\n5\n2A\n102\n{ACAD_REACTORS\n330\n1F\n102\n}\n100\nAcDbEntity\n8\n0\n370\n25\n"
                    "100\nAcDbText\n1\nfirst\n100\nAcDbSkipped\n7\nskipped one\n100\nAcDbText\n72\n1\n73\n2\n"
                    "100\nAcDbNew\n1001\nAPP\n100\nnot a marker in extended data\n"));

  // R12 has neither owners nor markers.
  kv::dxf::TagWriter r12;
  kv::dxf::ObjectOut old(r12, true);
  old.start("TEXT", 0x2A, 0x1F, &data);
  old.subclass("AcDbEntity");
  old.end();
  EXPECT_EQ(r12.text().find("330"), std::string::npos) << r12.text();
  EXPECT_EQ(r12.text().find("AcDbEntity"), std::string::npos) << r12.text();
  EXPECT_NE(r12.text().find("skipped one"), std::string::npos) << r12.text();
}

// ---------------------------------------------------------------------------------------------
// Entities, records and objects the host does not model

TEST_F(keep, UnknownEntitiesKeepTheirPairsAndFollowTheirLayer) {
  const std::string note =
      "0\nMTEXT\n5\n40\n330\n1F\n100\nAcDbEntity\n8\nOld\n62\n1\n100\nAcDbMText\n10\n1.0\n20\n2.0\n30\n0.0\n40\n3.0\n"
      "1\nnote\n";
  // A kind no reader knows, followed by attributes as a block reference is.
  const std::string tagged =
      "0\nKVTAGGED\n5\n41\n330\n1F\n100\nAcDbEntity\n8\n0\n100\nAcDbKvTagged\n66\n1\n2\n*U1\n10\n0.0\n20\n0.0\n30\n0.0\n"
      "0\nATTRIB\n5\n42\n330\n41\n100\nAcDbEntity\n8\n0\n100\nAcDbText\n1\nvalue\n100\nAcDbAttribute\n2\nTAG\n"
      "0\nSEQEND\n5\n43\n330\n41\n100\nAcDbEntity\n8\n0\n";
  writeFile(path("in.dxf"), r2000(note + tagged));
  std::unique_ptr<AcDbDatabase> read;
  kv::dxf::ReadReport report = resave(path("in.dxf"), path("out.dxf"), &read);
  EXPECT_EQ(report.unsupported, (std::map<std::string, int>{{"KVTAGGED", 1}, {"MTEXT", 1}}));
  std::vector<Pair> out = pairsOf(readFile(path("out.dxf")));
  EXPECT_EQ(objectPairs(out, "40"), pairsOf(note));
  // The attribute and its SEQEND follow the entity, as read.
  std::vector<Pair> all = pairsOf(readFile(path("out.dxf")));
  std::vector<Pair> sequence;
  for (const char* h : {"41", "42", "43"})
    for (const Pair& p : objectPairs(all, h)) sequence.push_back(p);
  EXPECT_EQ(sequence, pairsOf(tagged));

  // The host's layer, colour and layer states apply to a kept entity.
  AcDbObjectId id;
  ASSERT_EQ(read->getAcDbObjectId(id, false, AcDbHandle(0x40)), Acad::eOk);
  AcDbEntity* e = nullptr;
  ASSERT_EQ(acdbOpenObject(e, id, AcDb::kForWrite), Acad::eOk);
  ASSERT_TRUE(kv::KeptEntity::cast(e));
  EXPECT_EQ(e->layer(), "Old");
  EXPECT_EQ(e->colorIndex(), 1);
  EXPECT_EQ(e->setLayer(read->layerZero()), Acad::eOk);
  AcCmColor byLayer;
  e->setColor(byLayer);
  AcDbExtents box;
  EXPECT_EQ(e->getGeomExtents(box), Acad::eNotApplicable);  // nothing it does not know
  EXPECT_EQ(e->transformBy(AcGeMatrix3d::translation(AcGeVector3d(1, 0, 0))), Acad::eNotApplicable);
  e->close();
  ASSERT_EQ(writeDrawing(*read, path("moved.dxf")), Acad::eOk);
  std::vector<Pair> moved = objectPairs(pairsOf(readFile(path("moved.dxf"))), "40");
  std::vector<Pair> want = pairsOf(note);
  want[4].value = "0";
  want.erase(want.begin() + 5);  // by layer: no 62
  EXPECT_EQ(moved, want);
}

// The index a file gives beside a true colour is its own choice, and names may be spelt in
// another case than the table's: both stay as read until a command changes the colour or the
// linetype.
TEST_F(keep, ColourIndexAndNameSpellingStayAsReadWhileUnchanged) {
  const std::string line =
      "0\nLINE\n5\n40\n330\n1F\n100\nAcDbEntity\n8\nWALLS\n6\nBYBLOCK\n62\n183\n420\n1193046\n"
      "100\nAcDbLine\n10\n0.0\n20\n0.0\n30\n0.0\n11\n1.0\n21\n1.0\n31\n0.0\n";
  const std::string layer =
      "0\nSECTION\n2\nTABLES\n0\nTABLE\n2\nLAYER\n5\n2\n330\n0\n100\nAcDbSymbolTable\n70\n1\n"
      "0\nLAYER\n5\n10\n330\n2\n100\nAcDbSymbolTableRecord\n100\nAcDbLayerTableRecord\n2\nWalls\n70\n0\n62\n-247\n"
      "420\n1193046\n6\nContinuous\n0\nENDTAB\n0\nENDSEC\n";
  std::string text = r2000(line);
  text.insert(text.find("0\nSECTION\n2\nENTITIES"), layer);
  writeFile(path("in.dxf"), text);
  std::unique_ptr<AcDbDatabase> read;
  resave(path("in.dxf"), path("out.dxf"), &read);
  std::vector<Pair> out = pairsOf(readFile(path("out.dxf")));
  EXPECT_EQ(objectPairs(out, "40"), pairsOf(line));
  std::vector<Pair> walls = objectPairs(out, "10");
  ASSERT_GT(walls.size(), 8u);
  EXPECT_EQ(walls[7], (Pair{62, "-247"}));  // off, and its own index beside 0x123456
  AcDbObjectId id;
  ASSERT_EQ(read->getAcDbObjectId(id, false, AcDbHandle(0x40)), Acad::eOk);
  AcDbEntity* e = nullptr;
  ASSERT_EQ(acdbOpenObject(e, id, AcDb::kForWrite), Acad::eOk);
  AcCmColor other;
  other.setRGB(0x12, 0x34, 0x57);
  e->setColor(other);
  e->setLinetype(read->continuousLinetype());
  e->close();
  ASSERT_EQ(writeDrawing(*read, path("changed.dxf")), Acad::eOk);
  std::vector<Pair> changed = objectPairs(pairsOf(readFile(path("changed.dxf"))), "40");
  ASSERT_GT(changed.size(), 9u);
  EXPECT_EQ(changed[4], (Pair{8, "WALLS"}));
  EXPECT_EQ(changed[5], (Pair{6, "Continuous"}));
  EXPECT_EQ(changed[6], (Pair{62, std::to_string(other.colorIndex())}));
  EXPECT_EQ(changed[7], (Pair{420, std::to_string(0x123457)}));
}

// What followed an entity and its reader did not take goes back after the entity whole, the
// sub-entities its writer writes included.
TEST_F(keep, SubEntitiesKeptWithAnEntityFollowItsOwn) {
  auto vertex = [](const char* handle, int x) {
    return std::string("0\nVERTEX\n5\n") + handle + "\n330\n40\n100\nAcDbEntity\n8\n0\n100\nAcDbVertex\n" +
           "100\nAcDb3dPolylineVertex\n10\n" + std::to_string(x) + ".0\n20\n0.0\n30\n0.0\n70\n32\n";
  };
  const std::string polyline =
      "0\nPOLYLINE\n5\n40\n330\n1F\n100\nAcDbEntity\n8\n0\n100\nAcDb3dPolyline\n66\n1\n10\n0.0\n20\n0.0\n"
      "30\n0.0\n70\n8\n" +
      vertex("41", 1) + vertex("42", 2) + "0\nSEQEND\n5\n43\n330\n40\n100\nAcDbEntity\n8\n0\n" + vertex("44", 3) +
      "0\nSEQEND\n5\n45\n330\n40\n100\nAcDbEntity\n8\n0\n";
  writeFile(path("in.dxf"), r2000(polyline));
  kv::dxf::ReadReport report = resave(path("in.dxf"), path("out.dxf"));
  EXPECT_EQ(report.entitiesRead, 1);
  std::vector<std::string> order;
  std::vector<Pair> out = pairsOf(readFile(path("out.dxf")));
  for (size_t i = 0; i + 1 < out.size(); ++i)
    if (out[i].code == 0 && out[i + 1].code == 5) order.push_back(out[i].value + " " + out[i + 1].value);
  auto at = std::find(order.begin(), order.end(), "POLYLINE 40");
  ASSERT_LT(at + 5, order.end());
  EXPECT_EQ(std::vector<std::string>(at, at + 6),
            (std::vector<std::string>{"POLYLINE 40", "VERTEX 41", "VERTEX 42", "SEQEND 43", "VERTEX 44", "SEQEND 45"}));
}

// A vertex of a 2D polyline read from a file goes back with its own layer, linetype, colour and
// pairs, and only the widths it gave; once a command changes the polyline's properties, or for
// a vertex the host adds, the polyline's apply and the widths are given in full.
TEST_F(keep, VerticesKeepTheirOwnPropertiesAndWidthsUntilTheirPolylineChanges) {
  const std::string polyline =
      "0\nPOLYLINE\n5\n40\n330\n1F\n100\nAcDbEntity\n8\nWalls\n62\n0\n100\nAcDb2dPolyline\n66\n1\n10\n0.0\n20\n0.0\n"
      "30\n0.0\n70\n0\n40\n0.15\n41\n0.15\n";
  const std::string plain =  // widths and colour left to the polyline; a lineweight of its own
      "0\nVERTEX\n5\n41\n330\n40\n100\nAcDbEntity\n8\n0\n6\nBYBLOCK\n370\n25\n100\nAcDbVertex\n100\nAcDb2dVertex\n"
      "10\n1.0\n20\n2.0\n30\n0.0\n70\n0\n";
  const std::string widths =  // a start width equal to the default, given all the same
      "0\nVERTEX\n5\n42\n330\n40\n100\nAcDbEntity\n8\nWalls\n62\n3\n100\nAcDbVertex\n100\nAcDb2dVertex\n"
      "10\n3.0\n20\n4.0\n30\n0.0\n40\n0.15\n41\n0.3\n70\n0\n";
  const std::string seqend = "0\nSEQEND\n5\n43\n330\n40\n100\nAcDbEntity\n8\nWalls\n";
  writeFile(path("in.dxf"), r2000(polyline + plain + widths + seqend));
  std::unique_ptr<AcDbDatabase> read;
  kv::dxf::ReadReport report = resave(path("in.dxf"), path("out.dxf"), &read);
  EXPECT_EQ(report.entitiesRead, 1);
  std::vector<Pair> out = pairsOf(readFile(path("out.dxf")));
  EXPECT_EQ(objectPairs(out, "41"), pairsOf(plain));
  EXPECT_EQ(objectPairs(out, "42"), pairsOf(widths));
  // Read again, the vertices are as the file had them.
  std::unique_ptr<AcDbDatabase> back;
  std::string error;
  ASSERT_EQ(readDrawing(path("out.dxf"), back, error), Acad::eOk) << error;
  AcDbObjectId id;
  AcDb2dVertex* v = nullptr;
  ASSERT_EQ(back->getAcDbObjectId(id, false, AcDbHandle(0x41)), Acad::eOk);
  ASSERT_EQ(acdbOpenObject(v, id, AcDb::kForRead), Acad::eOk);
  EXPECT_DOUBLE_EQ(v->startWidth(), 0.15);
  EXPECT_TRUE(v->color().isByLayer());
  EXPECT_EQ(v->layer(), "0");
  v->close();

  // A width changed to the default's is still given; a new vertex gives its widths.
  ASSERT_EQ(read->getAcDbObjectId(id, false, AcDbHandle(0x41)), Acad::eOk);
  ASSERT_EQ(acdbOpenObject(v, id, AcDb::kForWrite), Acad::eOk);
  ASSERT_EQ(v->setEndWidth(0.5), Acad::eOk);
  v->close();
  AcDb2dPolyline* pl = nullptr;
  ASSERT_EQ(read->getAcDbObjectId(id, false, AcDbHandle(0x40)), Acad::eOk);
  ASSERT_EQ(acdbOpenObject(pl, id, AcDb::kForWrite), Acad::eOk);
  auto* added = new AcDb2dVertex(AcGePoint3d(5, 6, 0), 0, 0.15, 0.15);
  ASSERT_EQ(pl->appendVertex(added), Acad::eOk);
  AcDbHandle addedHandle = added->objectId().handle();
  added->close();
  pl->close();
  ASSERT_EQ(writeDrawing(*read, path("widths.dxf")), Acad::eOk);
  std::vector<Pair> changed = pairsOf(readFile(path("widths.dxf")));
  std::vector<Pair> want = pairsOf(plain);
  want.insert(want.begin() + 12, Pair{41, "0.5"});  // before 70
  EXPECT_EQ(objectPairs(changed, "41"), want);
  std::vector<Pair> fresh = objectPairs(changed, addedHandle.text());
  for (const Pair& p : {Pair{8, "Walls"}, Pair{62, "0"}, Pair{40, "0.15"}, Pair{41, "0.15"}})
    EXPECT_NE(std::find(fresh.begin(), fresh.end(), p), fresh.end()) << p;

  // The polyline's colour changed by a command is its vertices' too.
  ASSERT_EQ(acdbOpenObject(pl, id, AcDb::kForWrite), Acad::eOk);
  ASSERT_EQ(pl->setColorIndex(5), Acad::eOk);
  pl->close();
  ASSERT_EQ(writeDrawing(*read, path("coloured.dxf")), Acad::eOk);
  std::vector<Pair> coloured = pairsOf(readFile(path("coloured.dxf")));
  for (const char* h : {"41", "42"}) {
    std::vector<Pair> vertex = objectPairs(coloured, h);
    EXPECT_NE(std::find(vertex.begin(), vertex.end(), Pair{62, "5"}), vertex.end()) << h;
    EXPECT_NE(std::find(vertex.begin(), vertex.end(), Pair{8, "Walls"}), vertex.end()) << h;
  }
}

// A lightweight polyline whose file gave one width for all gives it alone while it holds.
TEST_F(keep, OneWidthForAllStaysOneWidth) {
  const std::string lw =
      "0\nLWPOLYLINE\n5\n40\n330\n1F\n100\nAcDbEntity\n8\n0\n100\nAcDbPolyline\n90\n2\n70\n0\n43\n0.15\n38\n0.0\n"
      "39\n0.0\n10\n0.0\n20\n0.0\n10\n1.0\n20\n1.0\n210\n0.0\n220\n0.0\n230\n1.0\n";
  // Widths of its vertices' own, all the same, and a lineweight kept: the widths stay given.
  const std::string own =
      "0\nLWPOLYLINE\n5\n41\n330\n1F\n100\nAcDbEntity\n8\n0\n370\n25\n100\nAcDbPolyline\n90\n2\n70\n0\n"
      "10\n0.0\n20\n0.0\n40\n0.2\n41\n0.2\n10\n1.0\n20\n1.0\n40\n0.2\n41\n0.2\n";
  writeFile(path("in.dxf"), r2000(lw + own));
  std::unique_ptr<AcDbDatabase> read;
  resave(path("in.dxf"), path("out.dxf"), &read);
  std::vector<Pair> out = pairsOf(readFile(path("out.dxf")));
  EXPECT_EQ(objectPairs(out, "40"), pairsOf(lw));
  std::vector<Pair> given = objectPairs(out, "41");
  EXPECT_EQ(std::count(given.begin(), given.end(), Pair{40, "0.2"}), 2);
  AcDbObjectId id;
  AcDbPolyline* pl = nullptr;
  ASSERT_EQ(read->getAcDbObjectId(id, false, AcDbHandle(0x40)), Acad::eOk);
  ASSERT_EQ(acdbOpenObject(pl, id, AcDb::kForWrite), Acad::eOk);
  ASSERT_EQ(pl->setWidthsAt(1, 0.15, 0.5), Acad::eOk);
  pl->close();
  ASSERT_EQ(writeDrawing(*read, path("changed.dxf")), Acad::eOk);
  std::vector<Pair> changed = objectPairs(pairsOf(readFile(path("changed.dxf"))), "40");
  EXPECT_EQ(std::count(changed.begin(), changed.end(), Pair{43, "0.15"}), 0);
  EXPECT_EQ(std::count(changed.begin(), changed.end(), Pair{40, "0.15"}), 2);
  EXPECT_EQ(std::count(changed.begin(), changed.end(), Pair{41, "0.5"}), 1);
}

// A spline its file gave by fit points alone goes back so, with the flag bits the host does not
// hold and without the tolerances the file left out; the host's own splines give everything.
TEST_F(keep, SplineOfFitPointsAloneStaysSo) {
  const std::string spline =
      "0\nSPLINE\n5\n40\n330\n1F\n100\nAcDbEntity\n8\n0\n100\nAcDbSpline\n70\n1024\n71\n3\n72\n0\n73\n0\n74\n4\n"
      "11\n0.0\n21\n0.0\n31\n0.0\n11\n1.0\n21\n2.0\n31\n0.0\n11\n3.0\n21\n1.0\n31\n0.0\n11\n5.0\n21\n4.0\n31\n0.0\n";
  writeFile(path("in.dxf"), r2000(spline));
  std::unique_ptr<AcDbDatabase> read;
  kv::dxf::ReadReport report = resave(path("in.dxf"), path("out.dxf"), &read);
  EXPECT_EQ(report.entitiesRead, 1);
  auto count = [](const std::vector<Pair>& pairs, int code) {
    return std::count_if(pairs.begin(), pairs.end(), [code](const Pair& p) { return p.code == code; });
  };
  std::vector<Pair> out = objectPairs(pairsOf(readFile(path("out.dxf"))), "40");
  EXPECT_EQ(count(out, 11), 4);
  EXPECT_EQ(count(out, 10) + count(out, 40) + count(out, 42) + count(out, 43), 0) << ::testing::PrintToString(out);
  EXPECT_NE(std::find(out.begin(), out.end(), Pair{70, "1024"}), out.end());
  EXPECT_NE(std::find(out.begin(), out.end(), Pair{73, "0"}), out.end());

  // A copy the host makes has no file behind it: control points, knots and tolerances too.
  AcDbObjectId id;
  ASSERT_EQ(read->getAcDbObjectId(id, false, AcDbHandle(0x40)), Acad::eOk);
  AcDbEntity* e = nullptr;
  ASSERT_EQ(acdbOpenObject(e, id, AcDb::kForRead), Acad::eOk);
  auto* copy = AcDbEntity::cast(e->clone());
  e->close();
  ASSERT_TRUE(copy);
  AcDbBlockTableRecord* ms = nullptr;
  ASSERT_EQ(acdbOpenObject(ms, read->modelSpaceId(), AcDb::kForWrite), Acad::eOk);
  AcDbObjectId copyId;
  ASSERT_EQ(ms->appendAcDbEntity(copyId, copy), Acad::eOk);
  copy->close();
  ms->close();
  ASSERT_EQ(writeDrawing(*read, path("copied.dxf")), Acad::eOk);
  std::vector<Pair> copied = objectPairs(pairsOf(readFile(path("copied.dxf"))), copyId.handle().text());
  EXPECT_EQ(count(copied, 11), 4);
  EXPECT_GT(count(copied, 10), 3);
  EXPECT_GT(count(copied, 40), 7);
  EXPECT_EQ(count(copied, 42), 1);
}

TEST_F(keep, ObjectsKeepHandlesAndOwnersAndGoWithAnErasedOwner) {
  writeFile(path("in.dxf"), r2000(kLine, kObjects));
  std::unique_ptr<AcDbDatabase> read;
  kv::dxf::ReadReport report = resave(path("in.dxf"), path("out.dxf"), &read);
  EXPECT_EQ(report.keptObjects, (std::map<std::string, int>{{"DICTIONARY", 3}, {"XRECORD", 1}}));
  std::vector<Pair> out = pairsOf(readFile(path("out.dxf")));
  std::vector<Pair> in = pairsOf(kObjects);
  size_t at = 0;
  while (at < out.size() && !(out[at].code == 2 && out[at].value == "OBJECTS")) ++at;
  EXPECT_EQ(std::vector<Pair>(out.begin() + long(at) + 1, out.begin() + long(at + 1 + in.size())), in);
  // The objects are the database's, owned as the file says.
  AcDbObjectId xrecord, dictionary, line;
  ASSERT_EQ(read->getAcDbObjectId(xrecord, false, AcDbHandle(0x32)), Acad::eOk);
  ASSERT_EQ(read->getAcDbObjectId(dictionary, false, AcDbHandle(0x31)), Acad::eOk);
  ASSERT_EQ(read->getAcDbObjectId(line, false, AcDbHandle(0x2F)), Acad::eOk);
  AcDbObject* object = nullptr;
  ASSERT_EQ(acdbOpenObject(object, xrecord, AcDb::kForRead), Acad::eOk);
  EXPECT_EQ(object->ownerId(), dictionary);
  ASSERT_TRUE(kv::KeptObject::cast(object));
  EXPECT_EQ(kv::KeptObject::cast(object)->dxfName(), "XRECORD");
  object->close();
  // Erasing the line takes its extension dictionary, and what that holds, out of the file.
  AcDbEntity* e = nullptr;
  ASSERT_EQ(acdbOpenObject(e, line, AcDb::kForWrite), Acad::eOk);
  ASSERT_EQ(e->erase(), Acad::eOk);
  e->close();
  ASSERT_EQ(writeDrawing(*read, path("erased.dxf")), Acad::eOk);
  std::vector<Pair> erased = pairsOf(readFile(path("erased.dxf")));
  EXPECT_TRUE(objectPairs(erased, "2F").empty());
  EXPECT_TRUE(objectPairs(erased, "31").empty());
  EXPECT_TRUE(objectPairs(erased, "32").empty());
  EXPECT_FALSE(objectPairs(erased, "D").empty());
}

TEST_F(keep, TablesTheHostDoesNotModelAndRecordDataStayAsRead) {
  const std::string tables =
      "0\nSECTION\n2\nHEADER\n9\n$ACADVER\n1\nAC1018\n0\nENDSEC\n0\nSECTION\n2\nTABLES\n"
      "0\nTABLE\n2\nSTYLE\n5\n3\n330\n0\n100\nAcDbSymbolTable\n70\n1\n"
      "0\nSTYLE\n5\n11\n330\n3\n100\nAcDbSymbolTableRecord\n100\nAcDbTextStyleTableRecord\n2\nNarrow\n70\n0\n40\n0.0\n"
      "41\n0.8\n3\narial.ttf\n0\nENDTAB\n"
      "0\nTABLE\n2\nLAYER\n5\n2\n330\n0\n100\nAcDbSymbolTable\n70\n1\n"
      "0\nLAYER\n5\n10\n330\n2\n100\nAcDbSymbolTableRecord\n100\nAcDbLayerTableRecord\n2\nWalls\n70\n17\n62\n-5\n"
      "6\nContinuous\n290\n0\n370\n50\n1001\nKVTEST\n1000\nlayer data\n0\nENDTAB\n"
      "0\nTABLE\n2\nLTYPE\n5\n5\n330\n0\n100\nAcDbSymbolTable\n70\n1\n"
      "0\nLTYPE\n5\n14\n330\n5\n100\nAcDbSymbolTableRecord\n100\nAcDbLinetypeTableRecord\n2\nDASHED\n70\n0\n"
      "3\nDashed\n72\n65\n73\n2\n40\n0.75\n49\n0.5\n74\n0\n49\n-0.25\n74\n0\n0\nENDTAB\n0\nENDSEC\n0\nEOF\n";
  writeFile(path("in.dxf"), tables);
  std::unique_ptr<AcDbDatabase> read;
  resave(path("in.dxf"), path("out.dxf"), &read);
  std::vector<Pair> in = pairsOf(tables), out = pairsOf(readFile(path("out.dxf")));
  EXPECT_EQ(objectPairs(out, "11"), objectPairs(in, "11"));
  // The layer's lineweight, plotting flag and extended data, and the flag bits the host does not
  // hold (16), beside what it holds: frozen, off, colour 5.
  EXPECT_EQ(objectPairs(out, "10"),
            pairsOf("0\nLAYER\n5\n10\n330\n2\n100\nAcDbSymbolTableRecord\n100\nAcDbLayerTableRecord\n2\nWalls\n"
                    "70\n17\n62\n-5\n6\nContinuous\n290\n0\n370\n50\n1001\nKVTEST\n1000\nlayer data\n"));
  // The dash pattern, which the host does not hold, goes back whole after what it holds.
  EXPECT_EQ(objectPairs(out, "14"),
            pairsOf("0\nLTYPE\n5\n14\n330\n5\n100\nAcDbSymbolTableRecord\n100\nAcDbLinetypeTableRecord\n2\nDASHED\n"
                    "3\nDashed\n70\n0\n72\n65\n73\n2\n40\n0.75\n49\n0.5\n74\n0\n49\n-0.25\n74\n0\n"));
  // A change of the host's shows; a table the file lacked is made.
  AcDbObjectId id;
  ASSERT_EQ(read->getAcDbObjectId(id, false, AcDbHandle(0x10)), Acad::eOk);
  AcDbLayerTableRecord* layer = nullptr;
  ASSERT_EQ(acdbOpenObject(layer, id, AcDb::kForWrite), Acad::eOk);
  EXPECT_TRUE(layer->isFrozen() && layer->isOff());
  layer->setIsFrozen(false);
  layer->close();
  ASSERT_EQ(writeDrawing(*read, path("thawed.dxf")), Acad::eOk);
  std::vector<Pair> thawed = pairsOf(readFile(path("thawed.dxf")));
  std::vector<Pair> walls = objectPairs(thawed, "10");
  ASSERT_GT(walls.size(), 8u);
  EXPECT_EQ(walls[6], (Pair{70, "16"}));
  int appids = 0;
  for (size_t i = 0; i + 1 < thawed.size(); ++i) appids += thawed[i].value == "TABLE" && thawed[i + 1].value == "APPID";
  EXPECT_EQ(appids, 1);
}

// ---------------------------------------------------------------------------------------------
// Handles, header, sections, versions

TEST_F(keep, HandlesAreKeptAndNewObjectsGetHandlesAboveTheSeed) {
  writeFile(path("in.dxf"), r2000(kLine, kObjects));
  std::unique_ptr<AcDbDatabase> read;
  resave(path("in.dxf"), path("out.dxf"), &read);
  EXPECT_EQ(read->modelSpaceId().handle().value(), 0x1Fu);
  EXPECT_EQ(read->paperSpaceId().handle().value(), 0x1Bu);
  EXPECT_EQ(read->blockTableId().handle().value(), 0x1u);
  // What the read made itself (the layer tables, layer "0", the layer Walls) comes above $HANDSEED.
  EXPECT_GT(read->layerZero().handle().value(), 0x3Fu);
  EXPECT_GE(read->handseed().value(), 0x40u);
  auto* line = new AcDbLine(AcGePoint3d(0, 0, 0), AcGePoint3d(1, 1, 1));
  AcDbBlockTableRecord* ms = nullptr;
  ASSERT_EQ(acdbOpenObject(ms, read->modelSpaceId(), AcDb::kForWrite), Acad::eOk);
  AcDbObjectId id;
  ASSERT_EQ(ms->appendAcDbEntity(id, line), Acad::eOk);
  line->close();
  ms->close();
  EXPECT_GT(id.handle().value(), read->layerZero().handle().value());
  ASSERT_EQ(writeDrawing(*read, path("more.dxf")), Acad::eOk);
  std::vector<Pair> out = pairsOf(readFile(path("more.dxf")));
  std::uint64_t seed = std::stoull(headerValue(out, "$HANDSEED"), nullptr, 16), top = 0;
  std::set<std::string> handles;
  for (size_t i = 1; i < out.size(); ++i)
    if ((out[i].code == 5 || out[i].code == 105) && out[i - 1].code == 0) {
      EXPECT_TRUE(handles.insert(out[i].value).second) << "twice: " << out[i].value;
      top = std::max<std::uint64_t>(top, std::stoull(out[i].value, nullptr, 16));
    }
  EXPECT_GT(seed, top);
  EXPECT_TRUE(handles.count(id.handle().text()));
}

TEST_F(keep, HeaderKeepsEveryVariableAndShowsTheHostsOwn) {
  const std::string text =
      "0\nSECTION\n2\nHEADER\n9\n$ACADVER\n1\nAC1015\n9\n$INSUNITS\n70\n1\n9\n$CLAYER\n8\n0\n"
      "9\n$EXTMIN\n10\n1.5\n20\n2.5\n30\n0.0\n9\n$CUSTOM\n1\nanything\n9\n$HANDSEED\n5\n20\n0\nENDSEC\n"
      "0\nSECTION\n2\nTABLES\n0\nTABLE\n2\nLAYER\n70\n1\n0\nLAYER\n5\n10\n2\nWalls\n70\n0\n62\n1\n6\nContinuous\n"
      "0\nENDTAB\n0\nENDSEC\n0\nSECTION\n2\nTHUMBNAILIMAGE\n90\n3\n310\nABCDEF\n0\nENDSEC\n0\nEOF\n";
  writeFile(path("in.dxf"), text);
  std::unique_ptr<AcDbDatabase> read;
  resave(path("in.dxf"), path("out.dxf"), &read);
  AcDbLayerTable* table = nullptr;
  ASSERT_EQ(read->getLayerTable(table), Acad::eOk);
  AcDbObjectId walls;
  ASSERT_EQ(table->getAt("Walls", walls), Acad::eOk);
  table->close();
  ASSERT_EQ(read->setClayer(walls), Acad::eOk);
  ASSERT_EQ(writeDrawing(*read, path("out.dxf")), Acad::eOk);
  std::vector<Pair> out = pairsOf(readFile(path("out.dxf")));
  size_t end = 0;
  while (end < out.size() && out[end].value != "ENDSEC") ++end;
  std::vector<Pair> header(out.begin() + 2, out.begin() + long(end));
  ASSERT_EQ(header.size(), 14u);
  header[13].value = "seed";
  EXPECT_EQ(header, pairsOf("9\n$ACADVER\n1\nAC1015\n9\n$INSUNITS\n70\n1\n9\n$CLAYER\n8\nWalls\n"
                            "9\n$EXTMIN\n10\n1.5\n20\n2.5\n30\n0.0\n9\n$CUSTOM\n1\nanything\n9\n$HANDSEED\n5\nseed\n"));
  // A section the host does not read goes back as read, after the objects.
  std::string saved = readFile(path("out.dxf"));
  EXPECT_NE(saved.find("  0\nSECTION\n  2\nTHUMBNAILIMAGE\n 90\n3\n310\nABCDEF\n  0\nENDSEC\n  0\nEOF"), std::string::npos);
}

TEST_F(keep, VersionReadIsVersionWritten) {
  struct Case {
    const char* read;
    const char* written;
  };
  for (const Case& c : {Case{"AC1014", "AC1015"}, Case{"AC1015", "AC1015"}, Case{"AC1018", "AC1018"},
                        Case{"AC1021", "AC1021"}, Case{"AC1024", "AC1024"}, Case{"AC1009", "AC1009"}}) {
    writeFile(path("in.dxf"), "0\nSECTION\n2\nHEADER\n9\n$ACADVER\n1\n" + std::string(c.read) +
                                  "\n0\nENDSEC\n0\nSECTION\n2\nENTITIES\n0\nLINE\n5\n20\n8\n0\n10\n0\n11\n1\n0\nENDSEC\n0\nEOF\n");
    resave(path("in.dxf"), path("out.dxf"));
    std::vector<Pair> out = pairsOf(readFile(path("out.dxf")));
    EXPECT_EQ(headerValue(out, "$ACADVER"), c.written) << c.read;
    bool r12 = std::string(c.written) == "AC1009", markers = false, objects = false;
    for (const Pair& p : out) {
      markers = markers || p.code == 100 || p.code == 330;
      objects = objects || p.value == "OBJECTS" || p.value == "CLASSES" || p.value == "BLOCK_RECORD";
    }
    EXPECT_EQ(markers, !r12) << c.read;
    EXPECT_EQ(objects, !r12) << c.read;
  }
  // A new drawing is R2004.
  ASSERT_EQ(writeDrawing(db(), path("new.dxf")), Acad::eOk);
  EXPECT_EQ(headerValue(pairsOf(readFile(path("new.dxf"))), "$ACADVER"), "AC1018");
}

// A file read, saved, read and saved again comes out the same: nothing the writer makes moves.
TEST_F(keep, SavingWhatWasSavedChangesNothing) {
  fs::path folder = fs::path(KV_SHARED_DIR) / "testdata" / "dxf";
  KV_SKIP_UNLESS(fs::is_directory(folder), "the outside DXF files at " << folder);
  for (const auto& entry : fs::directory_iterator(folder)) {
    if (entry.path().extension() != ".dxf") continue;
    resave(entry.path().string(), path("once.dxf"));
    resave(path("once.dxf"), path("twice.dxf"));
    resave(path("twice.dxf"), path("thrice.dxf"));
    EXPECT_EQ(readFile(path("thrice.dxf")), readFile(path("twice.dxf"))) << entry.path();
  }
}

// ---------------------------------------------------------------------------------------------
// Solids and layouts

TEST_F(keep, UnchangedSolidWritesItsDataAsReadAndAChangedOneItsNewShape) {
  fs::path file = fs::path(KV_SHARED_DIR) / "testdata" / "dxf" / "ezdxf_torus_r2000.dxf";
  KV_SKIP_UNLESS(fs::exists(file), "the outside DXF file " << file);
  std::unique_ptr<AcDbDatabase> read;
  resave(file.string(), path("out.dxf"), &read);
  auto satOf = [](const std::string& text) {
    std::vector<Pair> pairs = pairsOf(text), sat;
    bool solid = false;
    for (const Pair& p : pairs) {
      if (p.code == 0) solid = p.value == "3DSOLID";
      else if (solid && (p.code == 1 || p.code == 3)) sat.push_back(p);
    }
    return sat;
  };
  std::vector<Pair> before = satOf(readFile(file.string()));
  ASSERT_GT(before.size(), 10u);
  EXPECT_EQ(satOf(readFile(path("out.dxf"))), before);
  AcDbBlockTableRecord* ms = nullptr;
  ASSERT_EQ(acdbOpenObject(ms, read->modelSpaceId(), AcDb::kForRead), Acad::eOk);
  AcDbObjectId id = ms->entityIds().at(0);
  ms->close();
  AcDbEntity* solid = nullptr;
  ASSERT_EQ(acdbOpenObject(solid, id, AcDb::kForWrite), Acad::eOk);
  ASSERT_EQ(solid->transformBy(AcGeMatrix3d::translation(AcGeVector3d(10, 0, 0))), Acad::eOk);
  solid->close();
  ASSERT_EQ(writeDrawing(*read, path("moved.dxf")), Acad::eOk);
  std::vector<Pair> after = satOf(readFile(path("moved.dxf")));
  ASSERT_FALSE(after.empty());
  EXPECT_NE(after, before);
  std::unique_ptr<AcDbDatabase> back;
  std::string error;
  ASSERT_EQ(readDrawing(path("moved.dxf"), back, error), Acad::eOk) << error;
  ASSERT_EQ(acdbOpenObject(ms, back->modelSpaceId(), AcDb::kForRead), Acad::eOk);
  ASSERT_EQ(acdbOpenObject(solid, ms->entityIds().at(0), AcDb::kForRead), Acad::eOk);
  ms->close();
  AcDbExtents box;
  EXPECT_EQ(solid->getGeomExtents(box), Acad::eOk);
  solid->close();
  EXPECT_NEAR(box.minPoint().x, 96, 1e-6);  // 86 before the move
}

TEST_F(keep, EntitiesOfEveryLayoutAndBlockStayInTheirRecords) {
  fs::path file = fs::path(KV_SHARED_DIR) / "testdata" / "dxf" / "acadsharp_sample_AC1018_ascii.dxf";
  KV_SKIP_UNLESS(fs::exists(file), "the outside DXF file " << file);
  std::unique_ptr<AcDbDatabase> read;
  kv::dxf::ReadReport report = resave(file.string(), path("out.dxf"), &read);
  EXPECT_TRUE(report.notes.empty()) << report.notes.front();
  std::map<std::string, int> counts;  // entities by block record
  AcDbBlockTable* table = nullptr;
  ASSERT_EQ(read->getBlockTable(table), Acad::eOk);
  for (AcDbObjectId id : table->recordIds()) {
    AcDbBlockTableRecord* record = nullptr;
    ASSERT_EQ(acdbOpenObject(record, id, AcDb::kForRead), Acad::eOk);
    counts[record->getName()] = int(record->entityIds().size());
    record->close();
  }
  table->close();
  // As ezdxf counts them: 157 in model space, two viewports in each paper layout.
  EXPECT_EQ(counts["*Model_Space"], 157);
  EXPECT_EQ(counts["*Paper_Space"], 2);
  EXPECT_EQ(counts["*Paper_Space0"], 2);
  EXPECT_EQ(counts["*Paper_Space1"], 2);
  EXPECT_EQ(counts["*D3"], 9);
  EXPECT_EQ(counts["MyBlock"], 4);
  EXPECT_EQ(counts.size(), 27u);
  int modelled = 0, kept = 0;
  for (const auto& [type, n] : report.unsupported) kept += n;
  for (const auto& [name, n] : counts) modelled += n;
  EXPECT_EQ(modelled, kept + report.entitiesRead);
}

// ---------------------------------------------------------------------------------------------
// The pairs underneath

// A reader that gives up on an entity hands its pairs back: they come again in order, with the
// pair it had handed back after them, then the rest of the file.
TEST_F(keep, RecordedPairsReplayInOrderBeforeTheRest) {
  writeFile(path("p.dxf"), "0\nA\n1\none\n2\ntwo\n0\nB\n3\nthree\n");
  kv::dxf::TagReader in;
  std::string error;
  ASSERT_EQ(in.open(path("p.dxf"), error), Acad::eOk) << error;
  kv::dxf::Tag t;
  ASSERT_TRUE(in.next(t));
  in.startRecording();
  ASSERT_TRUE(in.next(t));
  ASSERT_TRUE(in.next(t));
  ASSERT_TRUE(in.next(t));  // 0 B
  in.unread();
  in.fail(t.line, "a value it cannot take");
  EXPECT_FALSE(in.broken());
  in.recover();
  EXPECT_TRUE(in.ok());
  in.replay(in.stopRecording());
  std::vector<std::string> seen;
  while (in.next(t)) seen.push_back(std::to_string(t.code) + ":" + t.value + "@" + std::to_string(t.line));
  EXPECT_EQ(seen, (std::vector<std::string>{"1:one@3", "2:two@5", "0:B@7", "3:three@9"}));
  EXPECT_TRUE(in.ok());
  EXPECT_EQ(in.maxHandle(), 0u);
  // Past the end nothing recovers.
  in.fail(in.line(), "file ends");
  EXPECT_TRUE(in.broken());
  in.recover();
  EXPECT_FALSE(in.ok());
}

}  // namespace
