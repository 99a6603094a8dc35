#pragma once

#include <QString>

class IAbridorDocumentos {
public:
    virtual ~IAbridorDocumentos() = default;
    // Shows the document in a window of its own, apart from the exam, and returns at once;
    // the station never waits for it.
    virtual void abrir(const QString &ruta) = 0;
};
