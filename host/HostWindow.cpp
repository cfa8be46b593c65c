#include "host/HostWindow.h"

#include "control/ctlGlobalsTab.h"

#include <QTabWidget>

HostWindow::HostWindow(QWidget* parent) : QMainWindow(parent)
{
    auto* tabs = new QTabWidget(this);
    m_tab = new ctlGlobalsTab(tabs);
    tabs->addTab(m_tab, QStringLiteral("Globals"));
    setCentralWidget(tabs);
    setWindowTitle(QStringLiteral("Globals tab host"));
}
