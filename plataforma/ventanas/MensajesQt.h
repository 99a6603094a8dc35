#pragma once

#include "Mensajes.h"

// The message boxes of the desktop.
class MensajesQt final : public IMensajes {
public:
    int mostrar(const QString &texto, int estilo, const QString &titulo,
        const QString &archivoAyuda, int contextoAyuda) override;
};
