// Entry point of dovex: one process.
#include "shell/launch.h"

int main(int argc, char** argv) { return dovexMain(argc, argv); }
