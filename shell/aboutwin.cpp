#include "aboutwin.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QVBoxLayout>

namespace orrery {

namespace {

// The product name drawn twice, the second slightly offset, for a shadow.
class ShadowTitle : public QWidget {
public:
    explicit ShadowTitle(QWidget* parent) : QWidget(parent) {
        QFont f = font();
        f.setPointSize(20);
        f.setBold(true);
        setFont(f);
        setMinimumSize(260, 44);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setFont(font());
        const QRect r = rect().adjusted(4, 0, 0, 0);
        p.setPen(QColor(128, 128, 128));
        p.drawText(r.translated(3, 3), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Orrery"));
        p.setPen(QColor(0, 0, 128));
        p.drawText(r, Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Orrery"));
    }
};

// The logo in its box.
class Logo : public QWidget {
public:
    explicit Logo(QWidget* parent) : QWidget(parent) { setFixedSize(72, 72); }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        paintLogo(p, rect());
    }
};

}  // namespace

void paintLogo(QPainter& p, const QRectF& target) {
    constexpr qreal kDesignSize = 72;
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.translate(target.topLeft());
    p.scale(target.width() / kDesignSize, target.height() / kDesignSize);
    const QPointF c(36, 36);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(244, 244, 250));
    p.drawEllipse(c, 34, 34);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(120, 120, 160), 1.5));
    p.drawEllipse(c, 18, 18);
    p.drawEllipse(c, 32, 32);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(230, 170, 20));
    p.drawEllipse(c, 8, 8);
    p.setBrush(QColor(40, 90, 200));
    p.drawEllipse(c + QPointF(18, 0), 4, 4);
    p.setBrush(QColor(180, 60, 40));
    p.drawEllipse(c + QPointF(-22.6, -22.6), 5, 5);
    p.restore();
}

QIcon applicationIcon() {
    // Run from a build tree, or on a desktop without the installed icon, the theme has none; the window
    // frames and the children's title bars then show the same picture, drawn here.
    QIcon drawn;
    for (const int size : {16, 22, 24, 32, 48, 64, 128}) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        paintLogo(painter, QRectF(0, 0, size, size));
        painter.end();
        drawn.addPixmap(pixmap);
    }
    return QIcon::fromTheme(QStringLiteral("orrery"), drawn);
}

TAboutBox::TAboutBox(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("About"));
    auto* top = new QHBoxLayout;
    top->addWidget(new Logo(this));
    auto* text = new QVBoxLayout;
    text->addWidget(new ShadowTitle(this));
    auto* version = new QLabel(QString::fromLatin1(kVersionLine), this);
    version->setObjectName(QStringLiteral("VersionLabel"));
    text->addWidget(version);
    text->addWidget(new QLabel(QStringLiteral("Workbench for Brackwater data loggers"), this));
    text->addWidget(new QLabel(QStringLiteral("Quobol compiler, logger link and serial terminal"), this));
    // The plotter links Qt Charts, which Qt offers under the GPL version 3 only; the whole program is
    // therefore offered under the same terms.
    auto* licence =
        new QLabel(QStringLiteral("Free software under the GNU General Public License, version 3 or "
                                  "later (GPL-3.0-or-later). There is NO WARRANTY."),
                   this);
    licence->setObjectName(QStringLiteral("LicenceLabel"));
    licence->setWordWrap(true);
    text->addWidget(licence);
    top->addLayout(text);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(buttons);
}

}  // namespace orrery
