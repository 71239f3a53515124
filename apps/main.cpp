#include "runner/entry.h"

int main(int argc, char** argv) { return Runner_Main(argc, argv); }
