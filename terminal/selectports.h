#pragma once
// "Select Ports": asked once, on the very first start, for the port the logger is on.

#include <QDialog>

#include "portmap.h"

class QButtonGroup;
class QVBoxLayout;

namespace orrery {

class TSelectPortsDialog : public QDialog {
    Q_OBJECT
public:
    explicit TSelectPortsDialog(QWidget* parent = nullptr);
    void setPorts(const QStringList& available, const serial::PortMap& map);
    // The chosen port name, empty when none is chosen.
    QString chosenPort() const;

private:
    QButtonGroup* m_group = nullptr;
    QVBoxLayout* m_list = nullptr;
    QStringList m_ports;
};

}  // namespace orrery
