#pragma once

#include "Resultado.h"

// The tools' words for the causes they own (see CausaFallo), and a failure of a tool.
QString textoCausaHerramienta(CausaFallo causa);
inline Resultado falloHerramienta(CausaFallo causa, const QString &detalle = {})
{
    return { causa, detalle, &textoCausaHerramienta };
}
