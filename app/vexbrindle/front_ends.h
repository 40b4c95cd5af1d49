#pragma once

// The two ways vexbrindle runs the update: in a terminal or in its window. main() parses the
// command line and picks one; each front end creates its own application object, runs the
// update and returns the process's exit status.

struct FrontEndOptions {
    // Answer the restart question with Yes without asking.
    bool bAssumeYes = false;
};

// The terminal front end (console_front_end.cpp).
int RunConsoleFrontEnd(int& argc, char** argv, const FrontEndOptions& options);

// The window front end (window_front_end.cpp).
int RunWindowFrontEnd(int& argc, char** argv, const FrontEndOptions& options);
