// Writes the bash completion, made from the table of options, to the file
// named: run at build time, so that it always offers what the program takes.
#include <fstream>

#include "driver/Completion.h"

int main(int argc, char* argv[]) {
  if (argc != 2) {
    return 2;
  }
  std::ofstream script(argv[1], std::ios::binary);
  script << rungwell::BashCompletion(rungwell::Options());
  script.close();
  return script ? 0 : 1;
}
