#pragma once
// The about box: product name with a shadow, a logo, the version line and a few lines about the
// program.

#include <QDialog>

#include "orrery_version.h"

namespace orrery {

inline constexpr const char* kVersionLine = "Version " ORRERY_VERSION_TEXT;

class TAboutBox : public QDialog {
    Q_OBJECT
public:
    explicit TAboutBox(QWidget* parent = nullptr);
};

}  // namespace orrery
