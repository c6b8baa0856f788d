// qelma-check: a class of QELMA programs checked against a task's pictures.
#include <cstring>

#include "check/check.h"
#include "check/sandbox.h"

int main(int argc, char **argv) {
    if (argc > 1 && std::strcmp(argv[1], "--limited") == 0)
        return run_limited(argc, argv);
    return run_check(argc, argv);
}
