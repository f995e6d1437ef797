#pragma once

namespace zelk {
// The whole program: a command-line command, or the desktop application.
int runZelk(int argc, char** argv);
} // namespace zelk
