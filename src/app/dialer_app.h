#pragma once

namespace zorvan {

// The process: single-instance check, then the main window until "Exit",
// SIGTERM or SIGINT, then the orderly shutdown. Returns the exit status.
class CDialerApp {
public:
    int Run(int argc, char** argv);
};

}  // namespace zorvan
