#pragma once
// The about box: product name with a shadow, a logo, the version line and a few lines about the
// program.

#include <QDialog>
#include <QIcon>
#include <QRectF>

class QPainter;

#include "orrery_version.h"

namespace orrery {

inline constexpr const char* kVersionLine = "Version " ORRERY_VERSION_TEXT;

// The orrery of the about box and of the icon, a sun and two planets on their orbits, scaled from its
// 72 x 72 design to the target.
void paintLogo(QPainter& painter, const QRectF& target);

// The application's icon: the desktop theme's installed one, else the logo drawn in the usual sizes.
QIcon applicationIcon();

class TAboutBox : public QDialog {
    Q_OBJECT
public:
    explicit TAboutBox(QWidget* parent = nullptr);
};

}  // namespace orrery
