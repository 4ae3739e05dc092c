#include "ui/CWaitLine.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>

CWaitLine::CWaitLine(QWidget* parent) : QWidget(parent) {
    busy = new QProgressBar;
    busy->setRange(0, 0);  // busy: how long is known only as a bound
    busy->setTextVisible(false);
    busy->setFixedWidth(busy->fontMetrics().horizontalAdvance("0000000000"));
    busy->setMaximumHeight(busy->fontMetrics().height());
    text = new QLabel;
    QFont small = text->font();
    small.setPointSizeF(small.pointSizeF() * 0.9);
    text->setFont(small);
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->addWidget(busy);
    row->addWidget(text, 1);
    // The line keeps its place when hidden, so the page does not jump.
    QSizePolicy policy = sizePolicy();
    policy.setRetainSizeWhenHidden(true);
    setSizePolicy(policy);
    hide();
    // A few ticks a second keep the count within a fraction of a second of the truth.
    ticker.setInterval(200);
    connect(&ticker, &QTimer::timeout, this, [this] {
        if (onTick) {
            onTick();
        }
    });
}

void CWaitLine::Bind(const WaitLineState& state) {
    if (!state.active) {
        if (waiting) {
            waiting = false;
            ticker.stop();
            text->clear();
            hide();
        }
        return;
    }
    const QString now = QString::fromStdString(state.text);
    if (now != text->text()) {
        text->setText(now);
    }
    // A new wait counts from its own start.
    if (!waiting || state.startMs != startMs) {
        waiting = true;
        startMs = state.startMs;
        show();
        ticker.start();
    }
}
