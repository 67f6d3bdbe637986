#include "driver/Program.h"

int main(int argc, char* argv[]) {
  return rungwell::Run(argc, argv);
}
