#include "Estacion.h"

#include "Diario.h"
#include "Disco.h"
#include "Entorno.h"
#include "FormMnuOrbela.h"
#include "FrmLengMod1.h"
#include "FrmLogin.h"
#include "FrmMatMod1H1.h"
#include "Geometria.h"
#include "Module1.h"

#include <QApplication>
#include <QDir>
#include <QLockFile>
#include <QStyleFactory>

#include <memory>

namespace {
std::unique_ptr<Formulario> crearPantalla(Pantalla pantalla, Entorno &entorno, Sesion &sesion)
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

QString rutaCerrojoEstacion(const QString &carpetaPrograma)
{
    return QDir(carpetaPrograma).filePath(QStringLiteral(".estacion.lock"));
}

bool ocuparCarpeta(QLockFile &cerrojo, IMensajes &mensajes)
{
    if (tomarCerrojo(cerrojo, 0))
        return true;
    if (cerrojo.error() == QLockFile::LockFailedError)
        mensajes.mostrar(
            QStringLiteral("La estación de examen ya está abierta en esta computadora.\r\n"
                           "Siga en la ventana que ya está abierta; si no la encuentra, "
                           "avise al supervisor.\r\n\r\nPara el supervisor: %1. Cierre la otra "
                           "estación; si no la encuentra, reinicie la computadora.")
                .arg(describirCerrojo(cerrojo)));
    else
        mensajes.mostrar(
            QStringLiteral("No se puede escribir en la carpeta de la estación: los "
                           "resultados no podrían guardarse.\r\nAvise al supervisor."));
    return false;
}

std::unique_ptr<SelladorEstacion> cargarSellador(
    const QString &carpetaPrograma, IMensajes &mensajes)
{
    Resultado motivo;
    auto sellador = SelladorEstacion::cargar(carpetaPrograma, &motivo);
    if (!motivo.ok())
        mensajes.mostrar(
            QStringLiteral("Los resultados de esta estación se guardarán sin sello.\r\nAvise al "
                           "supervisor.\r\n\r\nPara el supervisor: %1. Prepare la estación en "
                           "esta computadora para que sus resultados lleven sello.")
                .arg(motivo.texto()));
    return sellador;
}
