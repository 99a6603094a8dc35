#pragma once

#include <QtGlobal>

// The processor time (user and system) that process `pid` has spent, in milliseconds; -1 when
// it cannot be known (no such process, or one of another user). What a process does, not how
// long the wall clock ran: on a busy computer a process that works slowly spends little of it,
// one stuck in a loop spends it all.
qint64 tiempoDeProcesadorMs(qint64 pid);
