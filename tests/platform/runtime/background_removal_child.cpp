// Hands the file its first argument names to the removal thread and ends at once, the way its
// second argument says: "return" from main(), "exit" through exit() from deep inside.
#include "platform/runtime/BackgroundRemoval.h"

#include <cstdlib>
#include <cstring>

int main(int argc, char** argv) {
    if (argc != 3) return 2;
    if (!vex::runtime::RemoveInBackground(QString::fromLocal8Bit(argv[1]))) return 1;
    if (std::strcmp(argv[2], "exit") == 0) std::exit(0);
    return 0;
}
