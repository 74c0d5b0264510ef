#include "app/dialer_app.h"

int main(int argc, char** argv) {
    zorvan::CDialerApp app;
    return app.Run(argc, argv);
}
