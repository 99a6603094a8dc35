#include "Diario.h"
#include "Disco.h"
#include "Entorno.h"
#include "Estacion.h"
#include "MensajesQt.h"
#include "Module1.h"
#include "VisorPdf.h"

#include <QApplication>
#include <QLockFile>

int main(int argc, char **argv)
{
    ignorarLimiteDeTamano();
    // A screen reader finds the station's controls even when the desktop did not announce
    // one before the station started; a setting the desktop made is kept.
    if (!qEnvironmentVariableIsSet("QT_LINUX_ACCESSIBILITY_ALWAYS_ON"))
        qputenv("QT_LINUX_ACCESSIBILITY_ALWAYS_ON", "1");
    QApplication app(argc, argv);
    prepararAparienciaEstacion();
    // Started by the station itself to show a document apart from the exam.
    if (const int codigo = atenderDocumentoAparte(app.arguments()); codigo >= 0)
        return codigo;

    const QString carpeta = QCoreApplication::applicationDirPath();
    MensajesQt mensajes;
    QLockFile cerrojo(rutaCerrojoEstacion(carpeta));
    if (!ocuparCarpeta(cerrojo, mensajes))
        return 1;

    ArchivosLocales archivos;
    RelojSistema reloj;
    VisorPdf abridor;
    DiscoLocal disco;
    LibroXlsx hoja(disco);
    const auto sellador = cargarSellador(carpeta, mensajes);
    hoja.sellarCon(sellador.get());
    Entorno entorno { carpeta, mensajes, archivos, reloj, abridor, hoja, disco };

    Sesion sesion;
    ejecutarEstacion(entorno, sesion);
    return 0;
}
