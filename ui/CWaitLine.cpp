#include "ui/CWaitLine.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <algorithm>

#include "update/ProcedureWaits.h"

CWaitLine::CWaitLine(Language language, QWidget* parent) : QWidget(parent), language(language) {
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
    connect(&ticker, &QTimer::timeout, this, &CWaitLine::Tick);
}

void CWaitLine::Wait(int64_t waitKind, int64_t longestMs) {
    if (waitKind == 0) {
        Stop();
        return;
    }
    kind = waitKind;
    maxMs = std::max<int64_t>(longestMs, 0);
    clock.start();
    Tick();
    show();
    ticker.start();
}

void CWaitLine::Stop() {
    kind = 0;
    ticker.stop();
    text->clear();
    hide();
}

void CWaitLine::Tick() {
    const int64_t left = std::max<int64_t>(maxMs - clock.elapsed(), 0);
    const QString now = QString::fromStdString(WaitText(kind, language, (left + 999) / 1000));
    if (now != text->text()) {
        text->setText(now);
    }
}
