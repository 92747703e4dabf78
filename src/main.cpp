#include "driver/run.h"

int main(int argc, char* argv[]) {
  return tickcheck::RunTickcheck(argc, argv);
}
