#include "widgets/TActivityBar.h"

#include <QPainter>

#include <algorithm>

#include "widgets/AnimationTicker.h"
#include "widgets/InstrumentPaint.h"

namespace {

constexpr int kFrame = 2;
constexpr int kLampWidth = 6;
constexpr int kGap = 2;
constexpr double kTrail[] = {1.0, 0.6, 0.35, 0.15};

const QColor kDark(0x0c, 0x26, 0x0c);
const QColor kLit(0x00, 0xff, 0x00);

} // namespace

TActivityBar::TActivityBar(QWidget* parent)
    : QWidget(parent), ticker_(new AnimationTicker(this, 60)) {
    connect(ticker_, &AnimationTicker::ticked, this, qOverload<>(&QWidget::update));
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

void TActivityBar::start() {
    ticker_->setWanted(true);
    update();
}

void TActivityBar::stop() {
    ticker_->setWanted(false);
    update();
}

bool TActivityBar::isActive() const {
    return ticker_->isWanted();
}

bool TActivityBar::isAnimating() const {
    return ticker_->isTicking();
}

int TActivityBar::lampCount() const {
    const int inner = width() - 2 * kFrame;
    return std::max(1, (inner + kGap) / (kLampWidth + kGap));
}

int TActivityBar::headLamp() const {
    const int count = lampCount();
    if (count < 2)
        return 0;
    const int period = 2 * (count - 1);
    const int step = ticker_->frame() % period;
    return step < count ? step : period - step;
}

QRect TActivityBar::lampRect(int i) const {
    // The lamps are centred, so the spare pixels split between both ends.
    const int count = lampCount();
    const int used = count * kLampWidth + (count - 1) * kGap;
    const int left = (width() - used) / 2;
    return QRect(left + i * (kLampWidth + kGap), kFrame + 1, kLampWidth,
                 std::max(1, height() - 2 * kFrame - 2));
}

double TActivityBar::brightness(int lamp) const {
    if (!isActive())
        return 0.0;
    const int count = lampCount();
    const int period = std::max(1, 2 * (count - 1));
    const bool rightward = ticker_->frame() % period < count;
    const int behind = (headLamp() - lamp) * (rightward ? 1 : -1);
    if (behind < 0 || behind >= int(std::size(kTrail)))
        return 0.0;
    return kTrail[behind];
}

QSize TActivityBar::sizeHint() const {
    return {160, 14};
}

QSize TActivityBar::minimumSizeHint() const {
    return {2 * kFrame + kLampWidth, 8};
}

void TActivityBar::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    instrument::paintSunkenFrame(painter, rect());

    const int count = lampCount();
    for (int i = 0; i < count; ++i) {
        const QRect lamp = lampRect(i);
        const QColor color = instrument::blend(kLit, kDark, brightness(i));
        painter.fillRect(lamp, color);
        // A lighter top row gives each lamp some depth.
        painter.fillRect(QRect(lamp.left(), lamp.top(), lamp.width(), 1), color.lighter(130));
    }
}
