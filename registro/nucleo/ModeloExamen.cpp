#include "ModeloExamen.h"

#include "Reloj.h"

qint16 sortearModelo(QChar digito, int segundos)
{
    const qint16 n = qint16(digito.digitValue() + segundos);
    qint16 modelo = 1;
    for (qint16 i = 0; i < n; ++i) {
        ++modelo;
        if (modelo == 7)
            modelo = 1;
    }
    return modelo;
}

qint16 Modelo_Matematica(const QString &dni, const IReloj &reloj)
{
    const int segundos = reloj.segundos();
    return sortearModelo(dni.isEmpty() ? QLatin1Char('0') : dni.back(), segundos);
}

qint16 Modelo_Lengua(const QString &dni, const IReloj &reloj)
{
    const int segundos = reloj.segundos();
    return sortearModelo(dni.isEmpty() ? QLatin1Char('0') : dni.front(), segundos);
}
