#include "tests/gridbridge/xls_test_util.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <random>
#include <sstream>

namespace xlstest {
namespace {

std::string FromHex(const std::string& hex) {
  std::string out;
  for (size_t i = 0; i + 1 < hex.size(); i += 2) out += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
  return out;
}

}  // namespace

std::string FixturePath(const std::string& name) {
  const char* build = std::getenv("ROWCASTER_BUILD_DIR");
  std::string dir = build ? build : ".";
#ifdef _WIN32
  if (!dir.empty() && dir[0] == '/') dir = "Z:" + dir;
#endif
  return dir + "/xls-fixtures/" + name;
}

std::vector<unsigned char> ReadFile(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  return std::vector<unsigned char>((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
}

std::vector<ManifestCell> ReadManifest() {
  std::vector<ManifestCell> cells;
  std::ifstream f(FixturePath("manifest.tsv"), std::ios::binary);
  std::string line;
  while (std::getline(f, line)) {
    std::istringstream in(line);
    std::string book, sheet, row, column, kind, value, shown;
    std::getline(in, book, '\t');
    std::getline(in, sheet, '\t');
    std::getline(in, row, '\t');
    std::getline(in, column, '\t');
    std::getline(in, kind, '\t');
    std::getline(in, value, '\t');
    std::getline(in, shown, '\t');
    if (kind.empty()) continue;
    ManifestCell c;
    c.workbook = book;
    c.sheet = FromHex(sheet);
    c.row = static_cast<uint32_t>(std::stoul(row));
    c.column = static_cast<uint32_t>(std::stoul(column));
    c.kind = kind[0];
    c.value = (c.kind == 's' || c.kind == 'f') ? FromHex(value) : value;
    c.shown = FromHex(shown);
    cells.push_back(c);
  }
  return cells;
}

void Put16(std::vector<unsigned char>& b, uint32_t v) {
  b.push_back(static_cast<unsigned char>(v));
  b.push_back(static_cast<unsigned char>(v >> 8));
}
void Put32(std::vector<unsigned char>& b, uint32_t v) {
  Put16(b, v & 0xFFFF);
  Put16(b, v >> 16);
}
void Set16(std::vector<unsigned char>& b, size_t at, uint32_t v) {
  b[at] = static_cast<unsigned char>(v);
  b[at + 1] = static_cast<unsigned char>(v >> 8);
}
void Set32(std::vector<unsigned char>& b, size_t at, uint32_t v) {
  Set16(b, at, v & 0xFFFF);
  Set16(b, at + 2, v >> 16);
}
uint32_t Get16(const std::vector<unsigned char>& b, size_t at) { return b[at] | (b[at + 1] << 8); }
uint32_t Get32(const std::vector<unsigned char>& b, size_t at) { return Get16(b, at) | (Get16(b, at + 2) << 16); }


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

}  // namespace xlstest
