// tarvelin: the firmware update wizard.
#include "ui/CTarvelin.h"

int main(int argc, char** argv) {
    CTarvelin application(argc, argv);
    application.InitInstance();
    return 0;
}
