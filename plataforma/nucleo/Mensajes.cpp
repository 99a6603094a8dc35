#include "Mensajes.h"

QString tituloAplicacion()
{
    return QStringLiteral("ORBELA");
}
