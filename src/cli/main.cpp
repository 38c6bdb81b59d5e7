#include "cli/command_line.hpp"

int main(int argc, char** argv) { return zor2wav::run(argc, argv); }
