#pragma once

#include <QTimer>
#include <QWidget>
#include <cstdint>
#include <functional>

#include "wizard/WizardState.h"

class QLabel;
class QProgressBar;

// A sign of life under a page's status while the procedure waits for the device: a busy bar
// and the logic's countdown text, which it asks for a few times a second while shown.
class CWaitLine : public QWidget {
    Q_OBJECT
public:
    explicit CWaitLine(QWidget* parent = nullptr);

    void Bind(const WaitLineState& state);
    bool Waiting() const { return waiting; }
    // Called while a wait shows, a few times a second.
    std::function<void()> onTick;

    QProgressBar* busy;
    QLabel* text;

private:
    bool waiting = false;
    int64_t startMs = 0;
    QTimer ticker;
};
