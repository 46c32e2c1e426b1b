#pragma once
// The desktop session ending (it sends SIGTERM, or SIGHUP with the terminal,
// or Ctrl-C reaches a program started from one) ends the window program the
// way darvolt-split ends: a run stops at its next block as a cancel does,
// deleting its unfinished part and writing no merge script, and then the
// window closes. Nobody is left to answer a message box at that point, so
// the run's messages go to the log instead (TForm4::Quitting).

#include "platform/interruptsignals.h"

#include <QObject>
#include <QSocketNotifier>

namespace darvolt {

class TForm4;

class TSessionEnd : public QObject
{
    Q_OBJECT

public:
    // Hands the signals' stop flag to the form's runs.
    TSessionEnd(TForm4 &form, darvolt::InterruptSignals &interrupts);

private:
    void signalled();

    TForm4 &m_form;
    QSocketNotifier m_notifier;
};

} // namespace darvolt
