// The whole run of one command line, shared by the plain and the
// distributed programs.
#pragma once

// Runs the command line [argv] and returns the exit status. A distributed
// program installs its process group first.
int dovexMain(int argc, char** argv);
