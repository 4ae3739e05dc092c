#pragma once

#include <QElapsedTimer>
#include <QTimer>
#include <QWidget>
#include <cstdint>

#include "update/ProcedureTexts.h"

class QLabel;
class QProgressBar;

// A sign of life under a page's status while the procedure waits for the device: a busy bar
// and what it waits for, with the longest the wait may last counted down each second. The
// procedure says when a wait begins and ends; this line never guesses.
class CWaitLine : public QWidget {
    Q_OBJECT
public:
    explicit CWaitLine(Language language, QWidget* parent = nullptr);

    // A wait of this kind that lasts at most `maxMs`; kind 0 says the wait is over.
    void Wait(int64_t kind, int64_t maxMs);
    void Stop();
    bool Waiting() const { return kind != 0; }

    QProgressBar* busy;
    QLabel* text;

private:
    void Tick();

    const Language language;
    int64_t kind = 0;
    int64_t maxMs = 0;
    QElapsedTimer clock;
    QTimer ticker;
};
