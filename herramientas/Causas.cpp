#include "Causas.h"

QString textoCausaHerramienta(CausaFallo causa)
{
    switch (causa) {
    case CausaFallo::SalidaNoPermitida:
        return QStringLiteral("la salida no puede ir donde se pidió");
    case CausaFallo::NoEsReporte:
        return QStringLiteral("no es un libro de resultados de la estación");
    case CausaFallo::Cancelada:
        return QStringLiteral("se canceló a pedido; no se guardó nada");
    case CausaFallo::InformeNoDibujado:
        return QStringLiteral("no se pudo dibujar el informe");
    case CausaFallo::RecopilacionEnCurso:
        return QStringLiteral("otra recopilación está escribiendo la misma salida");
    case CausaFallo::TextoNoGuardable:
        return QStringLiteral("el libro tiene un texto que la recopilación no puede guardar tal "
                              "como está");
    default:
        return {};
    }
}
