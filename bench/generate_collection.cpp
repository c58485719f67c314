// generate_collection TITLES FILE [SEED]: writes a generated collection file for measurements.
#include <cstdlib>
#include <fstream>
#include <iostream>

#include "collection_generator.h"

int main(int argc, char** argv) {
  if (argc < 3) {
    std::cerr << "usage: generate_collection TITLES FILE [SEED]\n";
    return 2;
  }
  std::ofstream out(argv[2], std::ios::binary);
  if (!out) {
    std::cerr << "cannot write " << argv[2] << "\n";
    return 1;
  }
  const uint64_t seed = argc > 3 ? std::strtoull(argv[3], nullptr, 10) : 1;
  zel::bench::WriteCollection(out, std::atoi(argv[1]), seed);
  return out.good() ? 0 : 1;
}
