#pragma once

#include "Abridor.h"

// Starts the desktop opener detached, with the whole path as one argument so that folders
// with spaces work.
class AbridorEscritorio final : public IAbridorDocumentos {
public:
    void abrir(const QString &ruta) override;
    static QString programa() { return QStringLiteral("xdg-open"); }
};
