#include "widgets/TProgressColumn.h"

#include <QLinearGradient>
#include <QPainter>

#include <algorithm>

#include "widgets/AnimationTicker.h"
#include "widgets/InstrumentPaint.h"

namespace {

constexpr int kStripePeriod = 12; // pixels from one stripe to the next

const QColor kWell(0x14, 0x14, 0x14);
const QColor kFillEdge(0x00, 0x8c, 0x00);
const QColor kFillMiddle(0x7c, 0xff, 0x7c);

// A cylinder shading across the column's width.
QLinearGradient cylinder(const QRect& bar, const QColor& edge, const QColor& middle) {
    QLinearGradient shade(bar.left(), 0, bar.right() + 1, 0);
    shade.setColorAt(0.0, edge);
    shade.setColorAt(0.4, middle);
    shade.setColorAt(1.0, edge);
    return shade;
}

} // namespace

TProgressColumn::TProgressColumn(QWidget* parent)
    : QWidget(parent), ticker_(new AnimationTicker(this, 80)) {
    connect(ticker_, &AnimationTicker::ticked, this, qOverload<>(&QWidget::update));
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Preferred);
}

void TProgressColumn::setMaximum(qint64 maximum) {
    maximum_ = std::max<qint64>(maximum, 0);
    update();
}

void TProgressColumn::setValue(qint64 value) {
    if (value == value_)
        return;
    // Kept as given: a total announced later still measures the true count.
    value_ = value;
    update();
}

qint64 TProgressColumn::value() const {
    return std::clamp<qint64>(value_, 0, maximum_);
}

void TProgressColumn::setIndeterminate(bool on) {
    indeterminate_ = on;
    ticker_->setWanted(on);
    update();
}

bool TProgressColumn::isAnimating() const {
    return ticker_->isTicking();
}

double TProgressColumn::fraction() const {
    if (indeterminate_ || maximum_ <= 0)
        return 0.0;
    // In double, so totals of any 64-bit size keep their share.
    return std::clamp(static_cast<double>(value_) / static_cast<double>(maximum_), 0.0, 1.0);
}

QRect TProgressColumn::barRect() const {
    return rect().adjusted(2, 2, -2, -2); // inside the sunken frame
}

QSize TProgressColumn::sizeHint() const {
    return {22, 120};
}

QSize TProgressColumn::minimumSizeHint() const {
    return {8, 24};
}

void TProgressColumn::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QRect bar = instrument::paintSunkenFrame(painter, rect());
    painter.fillRect(bar, kWell);
    if (bar.isEmpty())
        return;

    if (indeterminate_) {
        paintStripes(painter, bar);
    } else {
        const int filled = qRound(fraction() * bar.height());
        if (filled > 0) {
            const QRect level(bar.left(), bar.bottom() - filled + 1, bar.width(), filled);
            painter.fillRect(level, cylinder(bar, kFillEdge, kFillMiddle));
            painter.fillRect(QRect(level.left(), level.top(), level.width(), 1),
                             QColor(0xc8, 0xff, 0xc8));
        }
    }

    // Scale marks every tenth along both sides, clear of the middle.
    const int mark = std::max(2, bar.width() / 5);
    painter.setPen(QColor(0x90, 0x90, 0x90));
    for (int i = 1; i < 10; ++i) {
        const int y = bar.bottom() - qRound(bar.height() * i / 10.0);
        const int length = (i == 5) ? mark + 2 : mark;
        painter.drawLine(bar.left(), y, bar.left() + length - 1, y);
        painter.drawLine(bar.right() - length + 1, y, bar.right(), y);
    }
}

void TProgressColumn::paintStripes(QPainter& painter, const QRect& bar) const {
    // Diagonal stripes climbing one pixel step per frame.
    painter.save();
    painter.setClipRect(bar);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(cylinder(bar, kFillEdge, kFillMiddle));
    const int shift = (ticker_->frame() * 2) % kStripePeriod;
    const int slant = bar.width();
    for (int y = bar.bottom() + slant + kStripePeriod - shift; y > bar.top(); y -= kStripePeriod) {
        const QPointF band[] = {{double(bar.left()), double(y)},
                                {double(bar.right() + 1), double(y - slant)},
                                {double(bar.right() + 1), double(y - slant - kStripePeriod / 2)},
                                {double(bar.left()), double(y - kStripePeriod / 2)}};
        painter.drawPolygon(band, 4);
    }
    painter.restore();
}
