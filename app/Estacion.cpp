#include "Estacion.h"

#include "Entorno.h"
#include "FormMnuOrbela.h"
#include "FrmLengMod1.h"
#include "FrmLogin.h"
#include "FrmMatMod1H1.h"
#include "Geometria.h"
#include "Module1.h"

#include <QApplication>
#include <QStyleFactory>

#include <memory>

namespace {
std::unique_ptr<Ventana> crearPantalla(Pantalla pantalla, Entorno &entorno, Sesion &sesion)
{
    switch (pantalla) {
    case Pantalla::Registro:
        return std::make_unique<FrmLogin>(entorno, sesion);
    case Pantalla::Menu:
        return std::make_unique<FormMnuOrbela>(entorno, sesion);
    case Pantalla::ExamenMatematica:
        return std::make_unique<FrmMatMod1H1>(entorno, sesion);
    case Pantalla::ExamenLengua:
        return std::make_unique<FrmLengMod1>(entorno, sesion);
    case Pantalla::Fin:
        break;
    }
    return nullptr;
}
} // namespace

void ejecutarEstacion(Entorno &entorno, Sesion &sesion)
{
    Pantalla pantalla = Pantalla::Registro;
    while (auto ventana = crearPantalla(pantalla, entorno, sesion)) {
        ventana->cargar();
        ventana->exec();
        pantalla = ventana->siguiente();
    }
}

void prepararAparienciaEstacion()
{
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    registrarSustitucionesDeFuentes();
    QApplication::setApplicationName(tituloAplicacion());
}
