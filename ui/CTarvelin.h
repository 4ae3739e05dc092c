#pragma once

#include <QApplication>

// The application: sets up the settings root and the tools, runs the wizard as the one modal
// window and ends when it closes.
class CTarvelin : public QApplication {
    Q_OBJECT
public:
    CTarvelin(int& argc, char** argv);

    // Runs the whole program; false, so the program ends when it returns.
    bool InitInstance();
};
