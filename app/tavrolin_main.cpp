// The window program: the main window is the program; closing it ends the program.
#include <QApplication>

#include "window/frm_tavrolin.h"

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    frmTavrolin window;  // loads and shows itself
    return app.exec();
}
