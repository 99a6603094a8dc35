#pragma once

#include <QString>
#include <QStringList>

class IAbridorDocumentos {
public:
    virtual ~IAbridorDocumentos() = default;
    // Starts the desktop's viewer for the document and returns at once; the station never
    // waits for it.
    virtual void abrir(const QString &ruta) = 0;
};

// Starts the desktop opener detached, with the whole path as one argument so that folders
// with spaces work.
class AbridorEscritorio final : public IAbridorDocumentos {
public:
    void abrir(const QString &ruta) override;
    static QString programa() { return QStringLiteral("xdg-open"); }
};
