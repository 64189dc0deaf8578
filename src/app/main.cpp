// Tillstream's window: plays a file of POS data to a receiving device, line by line.
#include "app/TillstreamApp.h"

int main(int argc, char** argv) {
    CTillstreamApp app(argc, argv);
    app.InitInstance();
    return 0;
}
