#include "app/entry.h"

int main(int argc, char** argv) { return zelk::runZelk(argc, argv); }
