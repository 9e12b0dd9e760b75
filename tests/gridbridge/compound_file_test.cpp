// Compound file reader: streams from files LibreOffice wrote, from files built here with a
// known layout (both sector sizes, the mini stream, FAT sectors beyond the header's DIFAT),
// and from damaged variants of them, which must fail without a crash or a hang.
#include "gridbridge/compound_file.h"

#include <gtest/gtest.h>

#include <functional>
#include <random>

#include "tests/gridbridge/xls_test_util.h"

using gridbridge::CompoundFile;
using namespace xlstest;

namespace {

int Read(const std::vector<unsigned char>& file, const char* name, std::vector<unsigned char>& out) {
  CompoundFile cf;
  int r = cf.Open(file.data(), file.size());
  if (r != gridbridge::kReadOk) return r;
  return cf.ReadStream(name, out);
}

TEST(CompoundFile, ReadsTheWorkbookStreamOfConvertedFiles) {
  for (const char* name : {"values.xls", "dates1904.xls", "large.xls"}) {
    SCOPED_TRACE(name);
    std::vector<unsigned char> file = ReadFile(FixturePath(name));
    ASSERT_GT(file.size(), 512u);
    EXPECT_TRUE(CompoundFile::HasSignature(file.data(), file.size()));
    // The large workbook needs more FAT sectors than the header's 109 DIFAT entries.
    if (std::string(name) == "large.xls") {
      EXPECT_GT(Get32(file, 44), 109u);
      EXPECT_GT(Get32(file, 72), 0u) << "DIFAT sectors";
    }
    std::vector<unsigned char> stream;
    ASSERT_EQ(gridbridge::kReadOk, Read(file, "Workbook", stream));
    // A BIFF8 workbook stream starts with its BOF record: type 0809, version 0600.
    ASSERT_GT(stream.size(), 8u);
    EXPECT_EQ(0x0809u, Get16(stream, 0));
    EXPECT_EQ(0x0600u, Get16(stream, 4));
    EXPECT_EQ(gridbridge::kReadOk, Read(file, "workbook", stream)) << "names compare without case";
    EXPECT_EQ(gridbridge::kReadNoSuchStream, Read(file, "Workbook2", stream));
  }
}

TEST(CompoundFile, ReadsStreamsOfBuiltFiles) {
  struct Case {
    const char* what;
    int version;
    size_t bigSize, smallSize;
  };
  const Case cases[] = {
      {"v3, regular and mini stream", 3, 20000, 1000},
      {"v4, regular and mini stream", 4, 70000, 100},
      {"v3, stream ending on a sector boundary", 3, 512 * 40, 64 * 3},
      {"v3, FAT beyond the header's DIFAT", 3, 8 * 1024 * 1024, 4095},
      {"v4, empty small stream", 4, 4096, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<TestStream> streams = {{"Workbook", Noise(c.bigSize, 1)}, {"Small", Noise(c.smallSize, 2)}};
    Layout L;
    std::vector<unsigned char> file = BuildCompoundFile(c.version, streams, &L);
    if (c.bigSize > 7 * 1024 * 1024) {
      ASSERT_FALSE(L.difatSectors.empty()) << "the case must need DIFAT sectors";
    }
    std::vector<unsigned char> out;
    ASSERT_EQ(gridbridge::kReadOk, Read(file, "Workbook", out));
    EXPECT_TRUE(out == streams[0].data);
    ASSERT_EQ(gridbridge::kReadOk, Read(file, "SMALL", out));
    EXPECT_TRUE(out == streams[1].data);
  }
}

TEST(CompoundFile, DamagedFilesFail) {
  using Mutation = std::function<void(std::vector<unsigned char>&, const Layout&)>;
  struct Case {
    const char* what;
    const char* stream;
    Mutation mutate;
  };
  const uint32_t W = 0, M = 1;  // stream indexes: Workbook (regular sectors), Mini (mini stream)
  const Case cases[] = {
      {"chain cut by a free sector", "Workbook",
       [=](auto& f, const Layout& L) { Set32(f, L.FatEntry(L.streamStart[W] + 3), kFree); }},
      {"chain ends early", "Workbook",
       [=](auto& f, const Layout& L) { Set32(f, L.FatEntry(L.streamStart[W] + 3), kEnd); }},
      {"chain loops", "Workbook",
       [=](auto& f, const Layout& L) { Set32(f, L.FatEntry(L.streamStart[W] + 5), L.streamStart[W] + 1); }},
      {"chain runs past the file", "Workbook",
       [=](auto& f, const Layout& L) { Set32(f, L.FatEntry(L.streamStart[W] + 2), 0x00FFFFFF); }},
      {"start sector past the file", "Workbook",
       [=](auto& f, const Layout& L) { Set32(f, L.DirEntry(1) + 116, 0x7FFFFFF0); }},
      {"absurd stream size", "Workbook",
       [=](auto& f, const Layout& L) { Set32(f, L.DirEntry(1) + 120, 0xFFFFFFF0); }},
      {"mini chain loops", "Mini",
       [=](auto& f, const Layout& L) { Set32(f, L.SectorAt(L.miniFatSector) + 4 * (L.streamStart[M] + 1), L.streamStart[M]); }},
      {"mini chain cut", "Mini",
       [=](auto& f, const Layout& L) { Set32(f, L.SectorAt(L.miniFatSector) + 4 * L.streamStart[M], kFree); }},
      {"mini stream larger than the file", "Mini",
       [=](auto& f, const Layout& L) { Set32(f, L.DirEntry(0) + 120, 0x7FFFFFFF); }},
      {"directory chain loops", "Missing",
       [=](auto& f, const Layout& L) { Set32(f, L.FatEntry(L.dirSector), L.dirSector); }},
      {"directory sibling out of range", "Missing",
       [=](auto& f, const Layout& L) { Set32(f, L.DirEntry(2) + 72, 5000); }},
      {"root entry is not a root", "Workbook", [=](auto& f, const Layout& L) { f[L.DirEntry(0) + 66] = 1; }},
      {"FAT count larger than the file", "Workbook", [=](auto& f, const Layout&) { Set32(f, 44, 0x7FFFFFFF); }},
      {"FAT sector past the file", "Workbook", [=](auto& f, const Layout&) { Set32(f, 76, 0x00FFFFFF); }},
      {"bad sector shift", "Workbook", [=](auto& f, const Layout&) { Set16(f, 30, 10); }},
      {"bad byte order", "Workbook", [=](auto& f, const Layout&) { Set16(f, 28, 0xFEFF); }},
      {"not a compound file", "Workbook", [=](auto& f, const Layout&) { f[0] = 'P'; }},
      {"cut in the middle", "Workbook", [=](auto& f, const Layout&) { f.resize(f.size() / 2); }},
      {"cut to the header", "Workbook", [=](auto& f, const Layout&) { f.resize(511); }},
  };
  std::vector<TestStream> streams = {{"Workbook", Noise(30000, 3)}, {"Mini", Noise(3000, 4)}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Layout L;
    std::vector<unsigned char> file = BuildCompoundFile(3, streams, &L);
    std::vector<unsigned char> out;
    ASSERT_EQ(gridbridge::kReadOk, Read(file, "Workbook", out)) << "the undamaged file reads";
    c.mutate(file, L);
    out.clear();
    EXPECT_NE(gridbridge::kReadOk, Read(file, c.stream, out));
    EXPECT_TRUE(out.empty()) << "nothing of a damaged stream is handed out";
  }
}

// Some writers put an impossible mini FAT sector count in the header: the chain tells.
TEST(CompoundFile, MiniFatCountIsTakenFromItsChain) {
  std::vector<TestStream> streams = {{"Workbook", Noise(5000, 9)}, {"Mini", Noise(3000, 10)}};
  Layout L;
  std::vector<unsigned char> file = BuildCompoundFile(3, streams, &L);
  for (uint32_t count : {0u, 7u, 1000u, 0x7FFFFFFFu}) {
    SCOPED_TRACE(count);
    Set32(file, 64, count);
    std::vector<unsigned char> out;
    ASSERT_EQ(gridbridge::kReadOk, Read(file, "Mini", out));
    EXPECT_TRUE(out == streams[1].data);
  }
}

TEST(CompoundFile, DirectoryCycleEndsTheSearch) {
  Layout L;
  std::vector<TestStream> streams = {{"A", Noise(100, 5)}, {"B", Noise(100, 6)}, {"C", Noise(100, 7)}};
  std::vector<unsigned char> file = BuildCompoundFile(3, streams, &L);
  Set32(file, L.DirEntry(3) + 72, 1);  // C's right sibling points back at A
  Set32(file, L.DirEntry(2) + 68, 2);  // B is its own left sibling
  std::vector<unsigned char> out;
  EXPECT_EQ(gridbridge::kReadNoSuchStream, Read(file, "Workbook", out));
  EXPECT_EQ(gridbridge::kReadOk, Read(file, "C", out));
  EXPECT_TRUE(out == streams[2].data);
}

TEST(CompoundFile, DifatLoopFails) {
  Layout L;
  std::vector<TestStream> streams = {{"Workbook", Noise(8 * 1024 * 1024, 8)}};
  std::vector<unsigned char> file = BuildCompoundFile(3, streams, &L);
  ASSERT_GE(L.difatSectors.size(), 1u);
  std::vector<unsigned char> out;
  ASSERT_EQ(gridbridge::kReadOk, Read(file, "Workbook", out));
  // The last DIFAT sector points at itself while the header asks for more FAT sectors.
  uint32_t last = L.difatSectors.back();
  Set32(file, L.SectorAt(last) + 508, last);
  Set32(file, 44, Get32(file, 44) + 200);
  EXPECT_NE(gridbridge::kReadOk, Read(file, "Workbook", out));
}

// Every cut and many random byte changes of a real file: any result, but no crash and no
// hang (the sanitizer build watches the reads).
TEST(CompoundFile, SurvivesCutsAndCorruption) {
  std::vector<unsigned char> original = ReadFile(FixturePath("dates1904.xls"));
  ASSERT_GT(original.size(), 1024u);
  std::vector<unsigned char> out;
  int failures = 0;
  for (size_t cut = 0; cut < original.size(); cut += 97) {
    std::vector<unsigned char> f(original.begin(), original.begin() + cut);
    if (Read(f, "Workbook", out) != gridbridge::kReadOk) ++failures;
  }
  EXPECT_GT(failures, 0);
  std::mt19937 rnd(42);
  for (int round = 0; round < 3000; ++round) {
    std::vector<unsigned char> f = original;
    for (int k = 0; k < 4; ++k) f[rnd() % 1024 < 600 ? rnd() % 512 : rnd() % f.size()] = static_cast<unsigned char>(rnd());
    Read(f, "Workbook", out);
  }
}

}  // namespace
