// trctool: MarloTrc's decoding, capture and card diagnostics for terminals
// and scripts. Messages the core would show in a dialog go to standard error.

#include "tools/Commands.h"

int main(int argc, char** argv) { return tools::RunTrctool(argc, argv); }
