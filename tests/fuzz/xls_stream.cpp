// Writes the "Workbook" stream of an .xls file to a file: seeds for the fuzz target.
#include <cstdio>
#include <fstream>
#include <iterator>
#include <vector>

#include "gridbridge/compound_file.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: xls_stream in.xls out.bin\n");
    return 2;
  }
  std::ifstream in(argv[1], std::ios::binary);
  std::vector<unsigned char> file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  gridbridge::CompoundFile cf;
  std::vector<unsigned char> stream;
  if (cf.Open(file.data(), file.size()) != 0 || cf.ReadStream("Workbook", stream) != 0) {
    std::fprintf(stderr, "%s: no readable Workbook stream\n", argv[1]);
    return 1;
  }
  std::ofstream out(argv[2], std::ios::binary);
  out.write(reinterpret_cast<const char*>(stream.data()), static_cast<std::streamsize>(stream.size()));
  return out ? 0 : 1;
}
