#pragma once

#include <QString>

class IAbridorDocumentos {
public:
    virtual ~IAbridorDocumentos() = default;
    // Starts the desktop's viewer for the document and returns at once; the station never
    // waits for it.
    virtual void abrir(const QString &ruta) = 0;
};
