// first_instance.exe PROGRAM_NAME [READY_FILE]: the stand-in for a first
// installer instance.
#include "contract/first_instance.h"

int main(int argc, char** argv) {
    if (argc < 2) return 200;
    return contract::RunFirstInstance(argv[1], argc > 2 ? argv[2] : "");
}
