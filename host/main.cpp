#include "host/HostWindow.h"

#include "control/ctlGlobalsTab.h"

#include <QApplication>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    HostWindow window;
    window.show();
    return app.exec();
}
