#pragma once
// The about box: product name with a shadow, a logo, the version line and a few lines about the
// program.

#include <QDialog>

namespace orrery {

inline constexpr const char* kVersionLine = "Version 4.14 (beta 12)";

class TAboutBox : public QDialog {
    Q_OBJECT
public:
    explicit TAboutBox(QWidget* parent = nullptr);
};

}  // namespace orrery
