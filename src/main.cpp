// Process entry for lotpick.

#include "pick.h"

int main(int argc, char** argv) { return lotpick::run_pick(argc, argv); }
