#pragma once

#include <QMainWindow>

class ctlGlobalsTab;

// The demo authoring-tool shell around the Globals tab.
class HostWindow : public QMainWindow
{
    Q_OBJECT
public:
    explicit HostWindow(QWidget* parent = nullptr);
    ctlGlobalsTab* tab() const { return m_tab; }

private:
    ctlGlobalsTab* m_tab = nullptr;
};
