#pragma once

#include <QString>

// Message boxes are asked for with the classic style flags: 0 is OK alone with no icon,
// 276 is Yes/No with the critical icon and the second button (No) as default.
namespace estilo {
constexpr int kSoloAceptar = 0;
constexpr int kSiNo = 4;
constexpr int kCritico = 16;
constexpr int kSegundoBotonPorDefecto = 256;
constexpr int kConfirmarFinalizacion = kSiNo + kCritico + kSegundoBotonPorDefecto;
} // namespace estilo

constexpr int kRespuestaAceptar = 1;
constexpr int kRespuestaSi = 6;
constexpr int kRespuestaNo = 7;

QString tituloAplicacion();

class IMensajes {
public:
    virtual ~IMensajes() = default;
    // Shows the box and returns the button pressed (1 = OK, 6 = Yes, 7 = No). An empty
    // caption shows the application's title.
    virtual int mostrar(const QString &texto, int estilo = estilo::kSoloAceptar,
        const QString &titulo = {}, const QString &archivoAyuda = {}, int contextoAyuda = 0)
        = 0;
};
