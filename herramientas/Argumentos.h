#pragma once

#include <QStringList>

#include <optional>

// Takes "--nombre VALOR" out of a tool's arguments. None when the option is absent; an empty
// value when it is the last argument, which the tool refuses as a use it does not know.
inline std::optional<QString> tomarOpcion(QStringList &args, const QString &nombre)
{
    const qsizetype i = args.indexOf(nombre);
    if (i < 0)
        return std::nullopt;
    const QString valor = args.value(i + 1);
    args.remove(i, qMin<qsizetype>(2, args.size() - i));
    return valor;
}
