#pragma once

#include <QColor>
#include <QWidget>

// A ring-shaped speed gauge: a 270-degree ring from the lower left to the lower right,
// divided into three coloured zones at two indication points, filled up to Progress,
// with a needle and the reading in the middle. Progress is kept within 0..Max.
class TSpeedDial : public QWidget {
    Q_OBJECT
    Q_PROPERTY(qint64 maximum READ maximum WRITE setMaximum)
    Q_PROPERTY(qint64 progress READ progress WRITE setProgress)
    Q_PROPERTY(qint64 firstIndication READ firstIndication WRITE setFirstIndication)
    Q_PROPERTY(qint64 secondIndication READ secondIndication WRITE setSecondIndication)
    Q_PROPERTY(QColor firstZoneColor READ firstZoneColor WRITE setFirstZoneColor)
    Q_PROPERTY(QColor secondZoneColor READ secondZoneColor WRITE setSecondZoneColor)
    Q_PROPERTY(QColor thirdZoneColor READ thirdZoneColor WRITE setThirdZoneColor)
    Q_PROPERTY(QString unit READ unit WRITE setUnit)

public:
    explicit TSpeedDial(QWidget* parent = nullptr);

    // A new maximum also places the indication points at 33 % and 66 % of it.
    void setMaximum(qint64 maximum);
    qint64 maximum() const { return maximum_; }
    // Any value is taken; the dial shows it within 0..Max.
    void setProgress(qint64 progress);
    qint64 progress() const;
    void setFirstIndication(qint64 value);
    qint64 firstIndication() const { return first_; }
    void setSecondIndication(qint64 value);
    qint64 secondIndication() const { return second_; }
    void setFirstZoneColor(const QColor& color);
    QColor firstZoneColor() const { return zoneColor_[0]; }
    void setSecondZoneColor(const QColor& color);
    QColor secondZoneColor() const { return zoneColor_[1]; }
    void setThirdZoneColor(const QColor& color);
    QColor thirdZoneColor() const { return zoneColor_[2]; }
    // The unit written under the reading.
    void setUnit(const QString& unit);
    QString unit() const { return unit_; }

    // Share of the ring that is filled, 0..1.
    double fraction() const;
    // The middle of the ring band at the given share of the scale (0 = start).
    QPointF pointOnRing(double share) const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;
    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override { return width; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    struct Geometry {
        QPointF centre;
        double outer;     // bezel radius
        double band;      // radius of the ring band's middle
        double thickness; // width of the ring band
    };
    Geometry geometry() const;
    double share(qint64 value) const;
    void paintRing(QPainter& painter, const Geometry& g) const;
    void paintScale(QPainter& painter, const Geometry& g) const;
    void paintNeedle(QPainter& painter, const Geometry& g) const;
    void paintReading(QPainter& painter, const Geometry& g) const;

    qint64 maximum_ = 100;
    qint64 progress_ = 0;
    qint64 first_ = 33;
    qint64 second_ = 66;
    QColor zoneColor_[3];
    QString unit_ = QStringLiteral("bps");
};
