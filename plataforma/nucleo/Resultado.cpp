#include "Resultado.h"

#include <utility>

Resultado::Resultado(CausaFallo causa, QString detalle, PalabrasDeCausa palabras)
    : causa(causa)
    , detalle(std::move(detalle))
    , m_palabras(palabras)
{
}

Resultado Resultado::conDetalle(const QString &otro) const
{
    Resultado r = *this;
    r.detalle = otro;
    return r;
}

QString Resultado::razon() const
{
    if (ok())
        return QStringLiteral("sin error");
    const QString palabras = m_palabras ? m_palabras(causa) : QString();
    return palabras.isEmpty() ? QStringLiteral("falla %1").arg(int(causa)) : palabras;
}

QString Resultado::texto() const
{
    if (detalle.isEmpty())
        return razon();
    return QStringLiteral("%1 (%2)").arg(razon(), detalle);
}
