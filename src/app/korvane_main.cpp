#include "app/tagging_run.h"

int main(int argc, char** argv) { return korvaneMain(argc, argv); }
