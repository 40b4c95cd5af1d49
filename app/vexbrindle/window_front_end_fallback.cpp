#include "front_ends.h"

// Stands in for the window front end while the program is built without a window.
int RunWindowFrontEnd(int& argc, char** argv, const FrontEndOptions& options) {
    return RunConsoleFrontEnd(argc, argv, options);
}
