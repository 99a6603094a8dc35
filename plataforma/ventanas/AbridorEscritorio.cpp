#include "AbridorEscritorio.h"

#include <QProcess>

void AbridorEscritorio::abrir(const QString &ruta)
{
    QProcess::startDetached(programa(), {ruta});
}
