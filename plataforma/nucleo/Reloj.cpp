#include "Reloj.h"

#include <QTime>

int RelojSistema::segundos() const
{
    return QTime::currentTime().second();
}
