// make-record-tree FOLDER [COUNT]: writes the generated record tree
// (tests/support/RecordTree.h) for the scripts that test the batch recipes.
#include <cstdio>
#include <cstdlib>

#include "tests/support/RecordTree.h"

int main(int argc, char** argv) {
  if (argc < 2 || argc > 3) {
    std::fprintf(stderr, "usage: make-record-tree FOLDER [COUNT]\n");
    return 2;
  }
  RecordTreeShape shape;
  if (argc == 3) shape.Records = std::atoi(argv[2]);
  const std::vector<std::string> paths = WriteRecordTree(argv[1], shape);
  std::printf("%zu\n", paths.size());
  return 0;
}
