#pragma once

#include <QElapsedTimer>
#include <QtGlobal>

// A one-line progress bar with speed and time left, drawn on stderr only when
// stderr is a terminal; redrawn at most a few times a second.
class ProgressBar {
public:
    explicit ProgressBar(bool enabled);
    bool enabled() const { return enabled_; }
    // `start` bytes are already there (a resume); `total` is -1 when unknown.
    void begin(qint64 start, qint64 total);
    void update(qint64 done);
    // Draws the last state and ends the line.
    void finish();

private:
    void draw(bool force);

    bool enabled_;
    bool active_ = false;
    qint64 start_ = 0;
    qint64 total_ = -1;
    qint64 done_ = 0;
    QElapsedTimer clock_;
    qint64 lastDraw_ = -1;
};
