#include "Directorio.h"

#include "Module1.h"

std::optional<QString> buscarEstablecimiento(const QString &codigo)
{
    const QString buscado = Trim(codigo);
    for (const Establecimiento &fila : directorioEstablecimientos()) {
        if (buscado == QLatin1String(fila.codigo))
            return QString::fromUtf8(fila.nombre);
    }
    return std::nullopt;
}
