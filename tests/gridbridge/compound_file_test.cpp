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

const uint32_t kEnd = 0xFFFFFFFE, kFree = 0xFFFFFFFF, kFatSect = 0xFFFFFFFD, kDifSect = 0xFFFFFFFC;

struct TestStream {
  std::string name;
  std::vector<unsigned char> data;
};

// Where the builder put things, for the damage cases.
struct Layout {
  uint32_t sectorSize = 0;
  std::vector<uint32_t> fatSectors, difatSectors;
  uint32_t dirSector = 0, miniFatSector = kEnd;
  std::vector<uint32_t> streamStart;  // first sector (or mini sector) of each stream
  size_t FatEntry(uint32_t sector) const {
    uint32_t per = sectorSize / 4;
    return (fatSectors[sector / per] + 1) * static_cast<size_t>(sectorSize) + 4 * (sector % per);
  }
  size_t SectorAt(uint32_t sector) const { return (sector + 1) * static_cast<size_t>(sectorSize); }
  size_t DirEntry(uint32_t id) const { return SectorAt(dirSector) + 128 * id; }
};

// Builds a compound file of version 3 (512-byte sectors) or 4 (4096) with the streams as
// children of the root, linked through their right siblings. Streams under 4096 bytes go
// to the mini stream.
std::vector<unsigned char> BuildCompoundFile(int version, const std::vector<TestStream>& streams, Layout* layout) {
  const uint32_t S = version == 4 ? 4096 : 512;
  const uint32_t per = S / 4;
  Layout L;
  L.sectorSize = S;
  std::vector<unsigned char> mini;
  std::vector<uint32_t> miniFat;
  std::vector<uint32_t> bigSectors(streams.size(), 0);
  uint32_t bigCount = 0;
  for (const TestStream& s : streams) {
    if (s.data.size() < 4096) {
      uint32_t n = static_cast<uint32_t>((s.data.size() + 63) / 64);
      uint32_t first = static_cast<uint32_t>(miniFat.size());
      for (uint32_t i = 0; i < n; ++i) miniFat.push_back(i + 1 < n ? first + i + 1 : kEnd);
      L.streamStart.push_back(n ? first : kEnd);
      mini.insert(mini.end(), s.data.begin(), s.data.end());
      mini.resize(miniFat.size() * 64, 0);
    } else {
      L.streamStart.push_back(0);
      bigCount += static_cast<uint32_t>((s.data.size() + S - 1) / S);
    }
  }
  uint32_t miniSectors = static_cast<uint32_t>((mini.size() + S - 1) / S);
  uint32_t miniFatSectors = miniFat.empty() ? 0 : static_cast<uint32_t>((miniFat.size() * 4 + S - 1) / S);
  uint32_t dirSectors = static_cast<uint32_t>(((streams.size() + 1) * 128 + S - 1) / S);
  uint32_t rest = bigCount + miniSectors + miniFatSectors + dirSectors;
  uint32_t F = 1, D = 0;
  while (true) {
    D = F > 109 ? (F - 109 + per - 2) / (per - 1) : 0;
    if (static_cast<uint64_t>(F) * per >= rest + F + D) break;
    ++F;
  }
  uint32_t total = rest + F + D;
  std::vector<uint32_t> fat(static_cast<size_t>(F) * per, kFree);
  uint32_t next = 0;
  for (uint32_t i = 0; i < F; ++i) { L.fatSectors.push_back(next); fat[next++] = kFatSect; }
  for (uint32_t i = 0; i < D; ++i) { L.difatSectors.push_back(next); fat[next++] = kDifSect; }
  auto chain = [&](uint32_t n) {
    uint32_t first = next;
    for (uint32_t i = 0; i < n; ++i, ++next) fat[next] = i + 1 < n ? next + 1 : kEnd;
    return n ? first : kEnd;
  };
  L.dirSector = chain(dirSectors);
  L.miniFatSector = chain(miniFatSectors);
  uint32_t miniStart = chain(miniSectors);
  for (size_t i = 0; i < streams.size(); ++i)
    if (streams[i].data.size() >= 4096)
      L.streamStart[i] = chain(static_cast<uint32_t>((streams[i].data.size() + S - 1) / S));

  std::vector<unsigned char> f(static_cast<size_t>(total + 1) * S, 0);
  const unsigned char sig[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
  std::copy(sig, sig + 8, f.begin());
  Set16(f, 24, 0x3E);
  Set16(f, 26, version);
  Set16(f, 28, 0xFFFE);
  Set16(f, 30, version == 4 ? 12 : 9);
  Set16(f, 32, 6);
  Set32(f, 40, version == 4 ? dirSectors : 0);
  Set32(f, 44, F);
  Set32(f, 48, L.dirSector);
  Set32(f, 56, 4096);
  Set32(f, 60, L.miniFatSector);
  Set32(f, 64, miniFatSectors);
  Set32(f, 68, D ? L.difatSectors[0] : kEnd);
  Set32(f, 72, D);
  for (uint32_t i = 0; i < 109; ++i) Set32(f, 76 + 4 * i, i < F ? L.fatSectors[i] : kFree);
  for (uint32_t d = 0; d < D; ++d) {
    size_t at = L.SectorAt(L.difatSectors[d]);
    for (uint32_t k = 0; k < per - 1; ++k) {
      uint32_t idx = 109 + d * (per - 1) + k;
      Set32(f, at + 4 * k, idx < F ? L.fatSectors[idx] : kFree);
    }
    Set32(f, at + 4 * (per - 1), d + 1 < D ? L.difatSectors[d + 1] : kEnd);
  }
  for (uint32_t i = 0; i < F; ++i)
    for (uint32_t k = 0; k < per; ++k) Set32(f, L.SectorAt(L.fatSectors[i]) + 4 * k, fat[i * per + k]);
  for (size_t i = 0; i < miniFat.size(); ++i)
    Set32(f, L.SectorAt(L.miniFatSector + static_cast<uint32_t>(i * 4 / S)) + (i * 4) % S, miniFat[i]);
  if (!mini.empty()) std::copy(mini.begin(), mini.end(), f.begin() + L.SectorAt(miniStart));
  for (size_t i = 0; i < streams.size(); ++i)
    if (streams[i].data.size() >= 4096)
      std::copy(streams[i].data.begin(), streams[i].data.end(), f.begin() + L.SectorAt(L.streamStart[i]));
  // Directory: root, then one entry per stream.
  auto entry = [&](uint32_t id, const std::string& name, int type, uint32_t right, uint32_t child, uint32_t start,
                   uint64_t size) {
    size_t at = L.DirEntry(id);
    for (size_t k = 0; k < name.size(); ++k) Set16(f, at + 2 * k, static_cast<unsigned char>(name[k]));
    Set16(f, at + 64, static_cast<uint32_t>(2 * (name.size() + 1)));
    f[at + 66] = static_cast<unsigned char>(type);
    f[at + 67] = 1;
    Set32(f, at + 68, kFree);
    Set32(f, at + 72, right);
    Set32(f, at + 76, child);
    Set32(f, at + 116, start);
    Set32(f, at + 120, static_cast<uint32_t>(size));
    Set32(f, at + 124, static_cast<uint32_t>(size >> 32));
  };
  for (uint32_t id = 0; id < dirSectors * S / 128; ++id) {  // unused entries: no siblings
    Set32(f, L.DirEntry(id) + 68, kFree);
    Set32(f, L.DirEntry(id) + 72, kFree);
    Set32(f, L.DirEntry(id) + 76, kFree);
  }
  entry(0, "Root Entry", 5, kFree, streams.empty() ? kFree : 1, miniSectors ? miniStart : kEnd, mini.size());
  for (size_t i = 0; i < streams.size(); ++i)
    entry(static_cast<uint32_t>(i + 1), streams[i].name, 2, i + 1 < streams.size() ? static_cast<uint32_t>(i + 2) : kFree,
          kFree, L.streamStart[i], streams[i].data.size());
  if (layout) *layout = L;
  return f;
}

std::vector<unsigned char> Noise(size_t n, uint32_t seed) {
  std::mt19937 rnd(seed);
  std::vector<unsigned char> v(n);
  for (auto& b : v) b = static_cast<unsigned char>(rnd());
  return v;
}

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
