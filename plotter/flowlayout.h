#pragma once
// A layout that places its items side by side, each at its natural size, and starts a new row where the
// next one would not fit: controls are never squeezed below what their texts need, in any window width.

#include <QLayout>
#include <QList>

namespace orrery::plotter {

class FlowLayout : public QLayout {
public:
    explicit FlowLayout(QWidget* parent = nullptr);
    ~FlowLayout() override;

    void addItem(QLayoutItem* item) override;
    int count() const override { return int(m_items.size()); }
    QLayoutItem* itemAt(int index) const override { return m_items.value(index); }
    QLayoutItem* takeAt(int index) override;
    Qt::Orientations expandingDirections() const override { return {}; }
    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;
    void setGeometry(const QRect& rect) override;
    // All items in one row.
    QSize sizeHint() const override;
    // The widest item: narrower than that, an item would be cut.
    QSize minimumSize() const override;

private:
    // Places the items in rows inside rect (only when apply is set); returns the height they take.
    int arrange(const QRect& rect, bool apply) const;

    QList<QLayoutItem*> m_items;
};

}  // namespace orrery::plotter
